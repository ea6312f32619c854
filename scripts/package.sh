#!/usr/bin/env bash
# Installs what is missing, builds Release and writes the Debian package
# build/kestrune-orvane_<version>_<arch>.deb (the install tree under /usr,
# library dependencies from dpkg-shlibdeps, the fonts the window needs), then
# checks it with lintian, which must report no error.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh --target deb >/dev/null
deb=$(ls -t "${BUILD_DIR:-build}"/kestrune-orvane_*_"$(dpkg --print-architecture)".deb | head -n1)
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "Package: $deb"
