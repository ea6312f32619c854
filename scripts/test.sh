#!/usr/bin/env bash
# Installs what is missing, builds, runs every test and a short fuzzing pass;
# then cross-builds for Windows and runs the Windows tests under Wine.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 600)
scripts/build-windows.sh
(cd build-windows && ctest --output-on-failure -j "$(nproc)" --timeout 900)
if [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh
fi
