#!/usr/bin/env bash
# Builds the decoders' libFuzzer targets with clang in a build folder of their
# own, writes seed files, and runs every fuzzer for a short while (5 s each,
# one per processor at a time), each with the dictionary of its format
# (fuzz/dict/). Exits
# non-zero when a fuzzer finds a crash, a leak, a hang or undefined
# behaviour; the input that did it is kept under <build>/fuzz-work/crashes/
# and the sanitizer's report is printed. At the end a table gives each
# target's coverage before and after its run, so that one that has stopped
# growing is seen. The corpus under <build>/fuzz-work/corpus/ is kept from
# one run to the next.
#
#   FUZZ_SECONDS=60 scripts/fuzz.sh        # longer: seconds per target
#   FUZZ_BUILD_DIR=build-fuzz              # where to build (default)
#   FUZZ_TARGETS="gif tiff"                # a subset
#   FUZZ_SEED=7                            # another random seed (1 by default, so
#                                          # that a CI run can be repeated)
#   FUZZ_BUILD_ONLY=1                      # build the targets, run nothing
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-5}
JOBS=$(nproc)

# Optimised a little, with line tables only: the sanitizers' reports still
# name file and line, and the build takes a sixth less time than -O2 -g.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DORV_BUILD_FUZZERS=ON -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target fuzzers
# (the test command builds them early, at a low priority, and runs them later)
[ -n "${FUZZ_BUILD_ONLY:-}" ] && exit 0
# Every codec of the runtime's list has a target, named by the build.
TARGETS=(${FUZZ_TARGETS:-$(tr ';' ' ' <"$BUILD/fuzz_targets.txt")})

WORK="$BUILD/fuzz-work"
SEEDS="$WORK/seeds"
rm -rf "$SEEDS" "$WORK/crashes" "$WORK/logs"
mkdir -p "$SEEDS" "$WORK/crashes" "$WORK/logs"
# (x265 leaks a little when encoding the HEIC seeds; that is not ours to find)
ASAN_OPTIONS=detect_leaks=0 "$BUILD/bin/fuzz_seeds" "$SEEDS"

# Inputs that once broke a decoder are run first by their target, every time,
# and so is the kept corpus of inputs that reached new code (fuzz/corpus/).
for d in fuzz/regressions/*/ fuzz/corpus/*/; do
  [ -d "$d" ] && mkdir -p "$SEEDS/$(basename "$d")" && cp "$d"* "$SEEDS/$(basename "$d")/"
done

# Variants that only ImageMagick writes, when it is installed.
if command -v convert >/dev/null 2>&1; then
  pic="$WORK/seed-source.ppm"
  convert -size 40x28 gradient:'#3060d0-#f0c020' -depth 8 "$pic" 2>/dev/null || true
  im() { convert "$pic" "$@" 2>/dev/null || true; }
  im -compress JPEG "$SEEDS/tiff/im-jpeg.tif"
  im -colorspace CMYK "$SEEDS/tiff/im-cmyk.tif"
  im -type Palette "$SEEDS/tiff/im-palette.tif"
  im -colorspace Gray -define tiff:photometric=min-is-white "$SEEDS/tiff/im-miniswhite.tif"
  im -monochrome "$SEEDS/tiff/im-1bit.tif"
  im -orient LeftBottom "$SEEDS/tiff/im-orient8.tif"
  im -interlace GIF "$SEEDS/gif/im-interlaced.gif"
  im -page 60x40+5+3 -transparent '#3060d0' "$SEEDS/gif/im-offset.gif"
  convert "$pic" -rotate 90 "$pic" -delay 10 -loop 0 "$SEEDS/gif/im-animated.gif" 2>/dev/null || true
  convert "$pic" -flip "$pic" -delay 10 "$SEEDS/webp/im-animated.webp" 2>/dev/null || true
  im -define icon:auto-resize=32,16 "$SEEDS/ico/im-multi.ico"
fi
mkdir -p "$SEEDS/dispatch"
for d in "$SEEDS"/*/; do
  [ "$(basename "$d")" = dispatch ] && continue
  for f in "$d"*; do [ -f "$f" ] && cp "$f" "$SEEDS/dispatch/$(basename "$d")-$(basename "$f")"; done
done

# Sanitizer reports go to files: the HEIF decoder points stderr at /dev/null
# while libheif works, and a report written then would otherwise be lost.
# A small quarantine: with chunk checksums ignored, PNG inputs that declare
# pictures of tens of megabytes now get decoded, and the default quarantine
# kept over a gigabyte of freed buffers alive.
# A path in the options is quoted: the sanitizers split them at spaces.
option_path() {
  case $1 in
    *"'"*) printf '"%s"' "$1" ;;
    *) printf "'%s'" "$1" ;;
  esac
}
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:quarantine_size_mb=64:log_path=$(option_path "$PWD/$WORK/logs/asan")"
export LSAN_OPTIONS="suppressions=$(option_path "$PWD/fuzz/lsan.supp"):print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$(option_path "$PWD/$WORK/logs/ubsan")"

# Every format's target has a dictionary of its markers and chunk names; the
# dispatch target gets them all.
for t in "${TARGETS[@]}"; do
  if [ "$t" != dispatch ] && [ ! -f "fuzz/dict/$t.dict" ]; then
    echo "fuzz_$t has no dictionary: write fuzz/dict/$t.dict"
    exit 1
  fi
done
cat fuzz/dict/*.dict >"$WORK/dispatch.dict"
dictionary() { [ "$1" = dispatch ] && echo "$WORK/dispatch.dict" || echo "fuzz/dict/$1.dict"; }

# One row of the coverage table from a target's log: libFuzzer's edge and
# feature counts once the corpus is loaded (INITED) and at the end.
coverage_row() {
  local t=$1 log="$WORK/logs/$1.log" first last runs
  first=$(grep -m1 -o 'INITED cov: [0-9]* ft: [0-9]*' "$log" | awk '{print $3, $5}')
  last=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*' "$log" | tail -n1 | awk '{print $2, $4, $6}')
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  read -r c0 f0 <<<"${first:-? ?}"
  read -r c1 f1 n1 <<<"${last:-? ? ?}"
  local note=""
  [ "$c0" = "$c1" ] && [ "$f0" = "$f1" ] && note="  no growth"
  printf '  %-9s %10s %7s -> %-7s %7s -> %-7s %7s%s\n' \
    "$t" "${runs:-?}" "$c0" "$c1" "$f0" "$f1" "$n1" "$note"
}

# One fuzzer per processor at a time (each is single-threaded); each leaves
# its exit status beside its log, and the results are told in list order.
fuzz_one() {
  local t=$1 corpus="$WORK/corpus/$1" log="$WORK/logs/$1.log" rc=0
  mkdir -p "$corpus" "$SEEDS/$t"
  "$BUILD/bin/fuzz_$t" -max_total_time="$SECONDS_EACH" -seed="${FUZZ_SEED:-1}" -max_len=65536 -rss_limit_mb=2048 \
    -timeout=20 -print_final_stats=1 -artifact_prefix="$WORK/crashes/$t-" \
    -dict="$(dictionary "$t")" "$corpus" "$SEEDS/$t" >"$log" 2>&1 || rc=$?
  echo "$rc" >"$WORK/logs/$t.status"
}
running=0
for t in "${TARGETS[@]}"; do
  if [ "$running" -ge "$JOBS" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  fuzz_one "$t" &
  running=$((running + 1))
done
wait

failed=()
for t in "${TARGETS[@]}"; do
  log="$WORK/logs/$t.log"
  if [ "$(cat "$WORK/logs/$t.status" 2>/dev/null)" = 0 ]; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    echo "fuzz_$t: ok (${runs:-?} runs in ${SECONDS_EACH}s)"
  else
    echo "fuzz_$t: FAILED"
    tail -n 30 "$log"
    failed+=("$t")
  fi
done

echo "coverage per target (edges and features: corpus loaded -> end of this run):"
printf '  %-9s %10s %18s %18s %7s\n' target runs edges features corpus
for t in "${TARGETS[@]}"; do coverage_row "$t"; done

if [ ${#failed[@]} -gt 0 ]; then
  for r in "$WORK"/logs/asan.* "$WORK"/logs/ubsan.*; do [ -f "$r" ] && cat "$r"; done
  echo "crashing inputs:"; ls -l "$WORK/crashes"
  echo "fuzzers that failed: ${failed[*]}"
  exit 1
fi
echo "all ${#TARGETS[@]} fuzzers passed"
