#!/usr/bin/env bash
# Unpacks the Debian package into a scratch root (no installation), checks
# what a desktop needs is in place, then starts the program through its link
# in usr/bin under an X server of the test's own and waits for the main
# window. The imaging runtime it loads must be the one beside the real
# executable in the scratch root: only then has the start-up check passed.
#   deb_start_test.sh <package.deb> <application id>
set -euo pipefail
DEB=$1
ID=$2
TITLE='Kestrune Orvane  1.0.3.0'
SCRATCH=$(mktemp -d /tmp/orvane-deb-test-XXXXXX)
XVFB_PID=""
APP_PID=""
cleanup() {
  local status=$?
  set +e
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  rm -rf "$SCRATCH"
  exit "$status"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

ROOT="$SCRATCH/root"
dpkg-deb -x "$DEB" "$ROOT"
LINK="$ROOT/usr/bin/kestrune-orvane"
PROGRAM_DIR="$ROOT/usr/lib/kestrune-orvane"
[ -L "$LINK" ] || fail "usr/bin/kestrune-orvane is not a link"
[ "$(readlink -f "$LINK")" = "$PROGRAM_DIR/kestrune-orvane" ] || fail "the link points elsewhere"
[ "$(stat -c %s "$PROGRAM_DIR/gdiplus.dll")" = 1724416 ] || fail "gdiplus.dll has lost its size"
for f in "share/applications/$ID.desktop" "share/metainfo/$ID.metainfo.xml" \
         share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/"$ID.png"; do
  [ -f "$ROOT/usr/$f" ] || fail "usr/$f is missing"
done
dpkg-deb -f "$DEB" Depends | grep -q 'fonts-wqy-microhei' || fail "no font dependency"

# Xvfb picks a free display itself and writes its number to fd 3: no race
# with other tests' servers. Without -noreset the server resets whenever its
# last client leaves (each xdotool poll below), and a program connecting
# during that reset is dropped ("could not connect to display"), more often
# the busier the machine. The cookie keeps other tests' clients, which may
# still name a display number this server has just taken, off it.
export XAUTHORITY="$SCRATCH/Xauthority"
: >"$XAUTHORITY"
COOKIE=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
xauth -q add :0 . "$COOKIE"  # the server reads the cookie whatever the number
Xvfb -displayfd 3 -nolisten tcp -noreset -auth "$XAUTHORITY" -screen 0 1024x768x24 \
  3>"$SCRATCH/display" 2>"$SCRATCH/xvfb.log" &
XVFB_PID=$!
for _ in $(seq 1 300); do
  grep -q '^[0-9][0-9]*$' "$SCRATCH/display" 2>/dev/null && break
  kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb did not start: $(cat "$SCRATCH/xvfb.log")"
  sleep 0.1
done
grep -q '^[0-9][0-9]*$' "$SCRATCH/display" || fail "Xvfb named no display within 30 s"
export DISPLAY=":$(head -n1 "$SCRATCH/display")"
xauth -q add "$DISPLAY" . "$COOKIE"
export QT_QPA_PLATFORM=xcb
mkdir -p "$SCRATCH/home" && mkdir -m 700 "$SCRATCH/runtime"
HOME="$SCRATCH/home" XDG_CONFIG_HOME="$SCRATCH/home/.config" XDG_RUNTIME_DIR="$SCRATCH/runtime" \
  "$LINK" >"$SCRATCH/app.log" 2>&1 &
APP_PID=$!

window=""
for _ in $(seq 1 600); do
  kill -0 "$APP_PID" 2>/dev/null || fail "the program ended: $(cat "$SCRATCH/app.log")"
  window=$(xdotool search --name "^${TITLE}\$" 2>/dev/null | head -n1) || true
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled '$TITLE' within 60 s"
grep -q " $PROGRAM_DIR/gdiplus.dll\$" "/proc/$APP_PID/maps" ||
  fail "the runtime beside the executable was not loaded (the start-up check refused?)"
echo "window $window of process $APP_PID, runtime $PROGRAM_DIR/gdiplus.dll loaded"
