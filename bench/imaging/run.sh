#!/usr/bin/env bash
# Builds the imaging benchmark (Release, its own build folder) and runs it on
# the desktop wallpapers' photographs (PNG and JPEG, 4-15 MP) plus copies of
# them scaled down to 1-2 MP, against ImageMagick, GraphicsMagick and libvips.
# Arguments go to the harness: a comma-separated list of tools (ours, vips,
# gm, im). Set KEEP_CORPUS=<folder> to reuse the scaled copies between runs.
set -euo pipefail
cd "$(dirname "$0")/../.."

source bench/prepare.sh

cmake --build "$BUILD_DIR" -j "${JOBS:-2}" \
  --target bench_imaging bench_imaging_ours bench_imaging_vips gdiplus_module

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus=${KEEP_CORPUS:-$work/corpus}
mkdir -p "$corpus"
list=$work/list.txt
make_corpus

"$BUILD_DIR/bin/bench_imaging" "$list" "$work" "$@"
