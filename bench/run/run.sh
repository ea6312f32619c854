#!/usr/bin/env bash
# A whole run through the real window against the same imaging work done
# directly, on photographs from plasma-workspace-wallpapers.
#   bench/run/run.sh [repetitions]
set -euo pipefail
cd "$(dirname "$0")/../.."
command -v convert >/dev/null && dpkg -s plasma-workspace-wallpapers >/dev/null 2>&1 || {
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends plasma-workspace-wallpapers imagemagick >/dev/null
}
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCH=ON >/dev/null
ninja -C build-bench run_bench >/dev/null
CORPUS=$(mktemp -d /tmp/orv-run-corpus-XXXXXX)
SCRATCH=$(mktemp -d /tmp/orv-run-scratch-XXXXXX)
trap 'rm -rf "$CORPUS" "$SCRATCH"' EXIT
# Twelve photographs of 2 to 15 megapixels, PNG and JPEG.
find /usr/share/wallpapers -path '*contents/images/*' \
     \( -name '1920x1080.jpg' -o -name '1920x1080.png' -o -name '3840x2160.*' -o -name '5120x2880.*' \) \
  | sort | head -n 12 | while read -r f; do
    cp "$f" "$CORPUS/$(echo "$f" | cut -d/ -f5)-$(basename "$f")"
  done
QT_QPA_PLATFORM=offscreen build-bench/bin/run_bench "$CORPUS" "$SCRATCH" "${1:-3}"
