#!/usr/bin/env bash
# Builds the imaging benchmark (Release, its own build folder) and runs it on
# the desktop wallpapers' photographs (PNG and JPEG, 4-15 MP) plus copies of
# them scaled down to 1-2 MP, against ImageMagick, GraphicsMagick and libvips.
# Arguments go to the harness: a comma-separated list of tools (ours, vips,
# gm, im). Set KEEP_CORPUS=<folder> to reuse the scaled copies between runs.
set -euo pipefail
cd "$(dirname "$0")/../.."

missing=()
for package in plasma-workspace-wallpapers graphicsmagick libvips-dev imagemagick; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${BUILD_DIR:-build-bench-imaging}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_BENCH=ON \
  -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" \
  --target bench_imaging bench_imaging_ours bench_imaging_vips gdiplus_module

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus=${KEEP_CORPUS:-$work/corpus}
mkdir -p "$corpus"
list=$work/list.txt
source bench/corpus.sh

"$BUILD_DIR/bin/bench_imaging" "$list" "$work" "$@"
