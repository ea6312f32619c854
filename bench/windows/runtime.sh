#!/usr/bin/env bash
# The Windows build's imaging runtime under Wine against the Linux build's,
# on bench/run's photographs (the desktop wallpapers, 4-15 MP, and copies
# scaled to 1-2 MP): the same program (bench/imaging/ours_run.cpp) built for
# both systems loads each picture through the flat API and saves it as PNG,
# BMP, JPEG, GIF and TIFF, at one thread and with the runtime's default
# threads, runs of the two builds taking turns. Prints each step's wall time
# per megapixel and the Windows build's time over the Linux build's, and
# compares the two builds' outputs.
#   bench/windows/runtime.sh [repetitions]
# Set KEEP_CORPUS=<folder> to reuse the scaled copies between runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
reps=${1:-1}
unset OMP_NUM_THREADS

source bench/prepare.sh
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target bench_imaging_ours gdiplus_module
scripts/build-windows.sh --target bench_imaging_ours gdiplus_module >/dev/null
windows_bin=$PWD/${WINDOWS_BUILD_DIR:-build-windows}/bin
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)

work=$(mktemp -d /tmp/orv-winbench-XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;gdiplus=n"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
corpus=${KEEP_CORPUS:-$work/corpus}
list=$work/list.txt
make_corpus
"$wine" wineboot -i >/dev/null 2>&1
wineserver -w
# The same files by their Windows names (drive Z: is the host's root).
while read -r f; do "$wine" winepath -w "$f" 2>/dev/null; done <"$list" >"$work/list-windows.txt"
# The harness reads one path per line; Wine's console ends lines with \r.
sed -i 's/\r$//' "$work/list-windows.txt"

# run <system> <threads>: prints the harness's output (wall time per step).
run() {
  local system=$1 threads=$2 out=$work/out-$1-$2
  rm -rf "$out" && mkdir -p "$out"
  local -a env=(ORV_BENCH_WALL=1)
  [ "$threads" = 1 ] && env+=(OMP_NUM_THREADS=1)
  if [ "$system" = linux ]; then
    env "${env[@]}" "$BUILD_DIR/bin/bench_imaging_ours" "$list" "$out"
  else
    env "${env[@]}" "$wine" "$windows_bin/bench_imaging_ours.exe" "$work/list-windows.txt" \
      "$("$wine" winepath -w "$out" 2>/dev/null | tr -d '\r')" | tr -d '\r'
  fi
}

steps="decode png bmp jpg gif tif"
declare -A total
for r in $(seq 1 "$reps"); do
  for threads in 1 default; do
    for system in linux windows; do
      printed=$(run "$system" "$threads")
      # Each run starts with nothing left to write back: a run writes about
      # 5 MB per megapixel, and the one after it would otherwise wait on the
      # disk for it (the BMP step most). Only the one-thread outputs are
      # compared at the end.
      [ "$threads" = 1 ] || rm -rf "$work/out-$system-$threads"
      sync
      mp=$(awk '$1 == "megapixels" {print $2}' <<<"$printed")
      failed=$(awk '$1 == "failed" {print $2}' <<<"$printed")
      [ "$failed" = 0 ] || echo "$system, $threads threads: $failed saves failed" >&2
      for s in $steps; do
        v=$(awk -v s="$s" '$1 == s {print $2}' <<<"$printed")
        key=$system,$threads,$s
        # The best of the repetitions.
        if [ -z "${total[$key]:-}" ] || awk -v a="$v" -v b="${total[$key]}" 'BEGIN {exit !(a < b)}'; then
          total[$key]=$v
        fi
      done
      total[mp]=$mp
    done
  done
done

mp=${total[mp]}
echo "== $mp MP; wall ms/MP of each step, best of $reps (Linux, Windows under Wine, ratio)"
for threads in 1 default; do
  printf '%-8s' "$threads"
  lsum=0 wsum=0
  for s in $steps; do
    l=${total[linux,$threads,$s]} w=${total[windows,$threads,$s]}
    lsum=$(awk -v a="$lsum" -v b="$l" 'BEGIN {print a + b}')
    wsum=$(awk -v a="$wsum" -v b="$w" 'BEGIN {print a + b}')
    awk -v s="$s" -v l="$l" -v w="$w" -v mp="$mp" \
      'BEGIN {printf "  %s %.1f/%.1f %.2fx", s, l * 1000 / mp, w * 1000 / mp, w / l}'
  done
  awk -v l="$lsum" -v w="$wsum" -v mp="$mp" \
    'BEGIN {printf "  | all %.1f/%.1f %.2fx\n", l * 1000 / mp, w * 1000 / mp, w / l}'
done

echo "== outputs of the two builds (one thread)"
same=0 differ=0
for f in "$work/out-linux-1"/*; do
  if cmp -s "$f" "$work/out-windows-1/$(basename "$f")"; then same=$((same + 1)); else
    differ=$((differ + 1)); echo "differs: $(basename "$f")"; fi
done
echo "identical: $same, different: $differ"
