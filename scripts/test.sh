#!/usr/bin/env bash
# Installs what is missing, builds, runs every test and a short fuzzing pass.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 600)
if [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh
fi
