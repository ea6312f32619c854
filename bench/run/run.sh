#!/usr/bin/env bash
# A whole run through the real window (offscreen) on the imaging benchmark's
# photo corpus, into all five formats: against the same imaging work done
# directly (the run's own overhead), and against ImageMagick, GraphicsMagick
# and libvips doing that work, in one run.
#   bench/run/run.sh [repetitions]
set -euo pipefail
cd "$(dirname "$0")/../.."

source bench/prepare.sh

cmake --build "$BUILD_DIR" -j "${JOBS:-2}" \
  --target run_bench bench_imaging bench_imaging_ours bench_imaging_vips gdiplus_module

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus=${KEEP_CORPUS:-$work/corpus}
list=$work/list.txt
make_corpus

# The run's source folder: links to every file of the corpus.
mkdir -p "$work/source"
i=0
while read -r f; do i=$((i + 1)); ln -s "$f" "$work/source/$i-$(basename "$f")"; done <"$list"

echo "== The program's whole run against the same work done directly"
# It times itself at one thread and with the runtime's default threads.
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bin/run_bench" "$work/source" "$work/scratch" "${1:-1}"
echo
echo "== The same corpus through the other tools (and the runtime alone)"
"$BUILD_DIR/bin/bench_imaging" "$list" "$work" ours,threads,vips,gm,im
