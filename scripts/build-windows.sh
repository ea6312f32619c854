#!/usr/bin/env bash
# Cross-builds the Windows build into build-windows/ (Release unless
# BUILD_TYPE says otherwise) with Debian's mingw-w64: first the codec
# libraries from Debian's sources (cached outside the checkout), then the
# imaging runtime gdiplus.dll, its tests and the probe. Arguments go to the
# build step, e.g. --target gdiplus_module.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${WINDOWS_BUILD_DIR:-build-windows}
prefixes=$(nice -n 10 scripts/windows-codecs.sh | paste -sd';')
# The Linux build's probe, when there is one, to compare the outputs with.
linux_probe=$PWD/${BUILD_DIR_LINUX:-build}/bin/orv-probe
[ -x "$linux_probe" ] || linux_probe=""
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$prefixes" -DCMAKE_FIND_ROOT_PATH="$prefixes" \
  -DORV_LINUX_PROBE="$linux_probe" >/dev/null
nice -n 10 cmake --build "$BUILD_DIR" -j "$(nproc)" "$@"
