# Sourced by the Wine runners once they have set $wine and $prefix: the
# environment every test program runs in, and prepare_prefix, which makes the
# build folder's own prefix on first use.
export WINEPREFIX="$prefix" WINEDEBUG=-all
# No Mono or Gecko installers: nothing here needs them, and they would ask.
# gdiplus.dll is ours, beside the program, as Windows finds it first; Wine
# would otherwise prefer its own built-in one. No debugger: a program that
# crashes must end with a failing exit code, not in a debugger's report that
# ends with 0.
export WINEDLLOVERRIDES="mscoree,mshtml=;gdiplus=n;winedbg.exe=d"

# prepare_prefix <marker> [set-up command...]: unless the prefix holds the
# file <marker>, makes it (wineboot), runs the set-up command in it and leaves
# the marker. Runs of the same prefix wait for each other on its lock.
prepare_prefix() {
  marker=$1
  shift
  mkdir -p "$prefix"
  (
    flock 9
    if [ ! -f "$prefix/$marker" ]; then
      "$wine" wineboot -i >/dev/null 2>&1
      if [ $# -gt 0 ]; then "$@"; fi
      wineserver -w
      [ -f "$prefix/$marker" ] || touch "$prefix/$marker"
    fi
  ) 9>"$prefix.lock"
}
