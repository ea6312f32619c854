#!/usr/bin/env bash
# Installs what is missing, builds, runs every test and a short fuzzing pass;
# then cross-builds for Windows and runs the Windows tests under Wine.
# Exits non-zero on any failure.
#
# The parts overlap where one of them waits rather than computes: the
# packages the builds do not start with are installed while they run, the
# Windows codec libraries are fetched while the Linux build runs, the fuzzers
# are built at a low priority beside the builds, and once the Windows build
# is done the Linux tests and the fuzzers run beside the Windows tests. Each
# part's output is kept in build/test-logs/ and printed when the part fails;
# the time each part took is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS=0

logs=$PWD/build/test-logs
rm -rf "$logs"
mkdir -p "$logs"
declare -A started finished status

# begin <part> <command...>: runs the command in the background, its output
# in $logs/<part>.log. end <part>: waits for it and records how it went.
declare -A pids
begin() {
  local part=$1
  shift
  started[$part]=$SECONDS
  (
    rc=0
    "$@" || rc=$?
    times >"$logs/$part.cpu"
    exit $rc
  ) >"$logs/$part.log" 2>&1 &
  pids[$part]=$!
}
end() {
  local part=$1
  status[$part]=0
  wait "${pids[$part]}" || status[$part]=$?
  finished[$part]=$SECONDS
  if [ "${status[$part]}" -ne 0 ]; then
    echo "== $part failed (exit ${status[$part]}):"
    tail -n 200 "$logs/$part.log"
  fi
}
run() {
  begin "$@"
  end "$1"
}

linux_tests() {
  cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 600
}
# The Wine tests wait on Wine and on their windows more than they compute:
# twice as many at a time as there are processors. A window test that fails
# is run once more: one in a few hundred entries started side by side under
# load ended within a fraction of a second without a word (Wine or its
# display failing to start, not the test); a real fault fails both times.
windows_tests() {
  cd build-windows && ctest --output-on-failure -j "$(($(nproc) * 2))" --timeout 900 \
    --repeat until-pass:2
}

ok() { [ "${status[$1]:-1}" -eq 0 ]; }

# sudo asks for its password, when it needs one, before anything runs in the
# background.
if [ "$(id -u)" -ne 0 ] && ! scripts/deps.sh check; then sudo -v; fi
run deps scripts/deps.sh build
if ! ok deps; then exit 1; fi
begin deps-rest scripts/deps.sh rest
begin windows-codecs nice -n 10 scripts/windows-codecs.sh
begin linux-build scripts/build.sh
end deps-rest
# The fuzzers are built on what the builds and tests leave of the processors
# (their runs come after the Windows build, at the normal priority).
if ok deps-rest && [ -x scripts/fuzz.sh ]; then
  begin fuzz-build env FUZZ_BUILD_ONLY=1 nice -n 15 scripts/fuzz.sh
fi
end linux-build
end windows-codecs
# The Windows build names the Linux probe to compare outputs with, and Wine.
if ok windows-codecs && ok deps-rest; then run windows-build scripts/build-windows.sh; fi
# The builds keep both processors busy; the tests of both systems and the
# fuzzers' runs then share them, since the Wine tests wait on Wine and their
# windows as much as they compute.
if ok windows-build; then begin windows-tests windows_tests; fi
if ok deps-rest; then begin linux-tests linux_tests; fi
if [ -n "${pids[fuzz-build]:-}" ]; then
  end fuzz-build
  if ok fuzz-build; then run fuzz scripts/fuzz.sh; fi
fi
[ -n "${pids[linux-tests]:-}" ] && end linux-tests
[ -n "${pids[windows-tests]:-}" ] && end windows-tests

# The processor time of a part (user and system, of every process it
# waited for; Wine's server, which outlives its clients, is not counted).
cpu() {
  # times: the shell's own line, then its children's.
  awk 'NR == 2 { t = 0; for (i = 1; i <= NF; i++) { split($i, a, /[ms]/); t += a[1] * 60 + a[2] }
                 printf "%d", t }' "$logs/$1.cpu" 2>/dev/null || echo "?"
}

echo "time per part (seconds from the start; processor seconds):"
failed=0
for part in deps deps-rest windows-codecs fuzz-build linux-build linux-tests windows-build \
  windows-tests fuzz; do
  [ -n "${started[$part]:-}" ] || continue
  printf '  %-15s %5d -> %5d  cpu %5s  %s\n' "$part" "${started[$part]}" "${finished[$part]}" \
    "$(cpu "$part")" "$([ "${status[$part]}" -eq 0 ] && echo ok || echo FAILED)"
  [ "${status[$part]}" -eq 0 ] || failed=1
done
grep -h "tests passed\|all .* fuzzers passed" "$logs"/*.log || true
exit "$failed"
