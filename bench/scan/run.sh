#!/usr/bin/env bash
# Builds the scan benchmark (Release, in its own build folder) and runs it.
# Arguments go to the benchmark: --files N --folders N --reps N --base DIR.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR=${BUILD_DIR:-build-bench-scan}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_BENCH=ON \
  -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" --target bench_scan -j "${JOBS:-2}"
"$BUILD_DIR/bin/bench_scan" "$@"
