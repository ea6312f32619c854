#!/bin/sh
# Runs a Windows program under Wine without a display, in a Wine prefix of
# the build folder's own (made on first use, about 10 s):
#   wine-run.sh <wine64> <prefix folder> <program.exe> [arguments...]
set -eu
wine=$1
prefix=$2
shift 2
export WINEPREFIX="$prefix" WINEDEBUG=-all
# No Mono or Gecko installers: nothing here needs them, and they would ask.
# gdiplus.dll is ours, beside the program, as Windows finds it first; Wine
# would otherwise prefer its own built-in one. No debugger: a program that
# crashes must end with a failing exit code, not in a debugger's report that
# ends with 0.
export WINEDLLOVERRIDES="mscoree,mshtml=;gdiplus=n;winedbg.exe=d"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$prefix"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    "$wine" wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$prefix.lock"
exec "$wine" "$@"
