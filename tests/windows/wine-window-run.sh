#!/bin/sh
# Runs a Windows program that opens windows under Wine, on a virtual display
# of its slot (below), in a Wine prefix of the build folder's own (made on first use):
#   wine-window-run.sh <wine64> <prefix folder> <program.exe> [arguments...]
# Runs started side by side (ctest -j) each take one of a few prefixes
# <prefix folder>-1, -2, ... and hold it while they run: one wineserver has one
# foreground window, so two programs with windows in one prefix would take
# the focus from each other. The prefixes are hard-linked copies of one made
# on first use (<prefix folder>-template), so that only one pays for
# wineboot; their registry files are copies of their own, since Wine writes a
# registry file that has several links in place, into every prefix at once. The
# template gets font substitutes, so that the dialog font and the banner font
# find the Chinese fonts that the Linux build uses, and windows that no window
# manager handles (set_up_prefix); they are set in these prefixes only.
set -eu
wine=$1
base=$2
shift 2
slots=${ORV_WINE_WINDOW_SLOTS:-4}

# The first free prefix; when all are taken, wait for the first.
slot=1
while :; do
  exec 8>"$base-$slot.slot"
  if flock -n 8; then break; fi
  if [ "$slot" -ge "$slots" ]; then
    exec 8>"$base-1.slot"
    flock 8
    slot=1
    break
  fi
  slot=$((slot + 1))
done
prefix=$base-template
. "$(dirname "$0")/wine-prefix.sh"

set_up_prefix() {
  key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  for face in "MS Shell Dlg" "MS Shell Dlg 2"; do
    "$wine" reg add "$key" /v "$face" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
  done
  "$wine" reg add "$key" /v "楷体_GB2312" /d "AR PL UKai CN" /f >/dev/null 2>&1
  # Windows that no window manager manages: with none on the virtual display,
  # Wine waited two seconds for one to withdraw every top-level window it
  # hid or destroyed.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  if [ -n "${ORV_WINE_DPI:-}" ]; then
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$ORV_WINE_DPI" \
      /f >/dev/null 2>&1
  fi
}

# The slot's virtual display, kept between the entries that take the slot
# one after another (wine-display-keeper.sh): Wine's server stays a few
# seconds after its last program, and a program started meanwhile on the
# same display finds it and Wine's services running instead of starting them
# anew, which was about half of a short window test's processor time.
display_file=$base-$slot.display
keeper=""
[ -s "$display_file" ] && read -r display keeper <"$display_file"
if [ -z "$keeper" ] || ! kill -0 "$keeper" 2>/dev/null || [ ! -S "/tmp/.X11-unix/X$display" ]; then
  rm -f "$display_file"
  setsid "$(dirname "$0")/wine-display-keeper.sh" "$base-$slot.slot" "$display_file" \
    "$base-$slot" </dev/null >/dev/null 2>&1 8>&- &
  waited=0
  while [ ! -s "$display_file" ]; do
    if [ "$waited" -ge 200 ]; then
      echo "wine-window-run.sh: the virtual display did not start" >&2
      exit 1
    fi
    sleep 0.05
    waited=$((waited + 1))
  done
  read -r display keeper <"$display_file"
fi
export DISPLAY=":$display"
unset WAYLAND_DISPLAY

prepare_prefix .set-up set_up_prefix
prefix=$base-$slot
export WINEPREFIX="$prefix"
if [ ! -f "$prefix/.set-up" ]; then
  rm -rf "$prefix"
  cp -al "$base-template" "$prefix"
  for reg in "$base-template"/*.reg; do
    cp --remove-destination "$reg" "$prefix/"
  done
fi
status=0
# The slot is held by this script alone: a wineserver started now outlives
# the program by a few seconds and must not keep it (the keeper ends it).
"$wine" "$@" 8>&- || status=$?
exit "$status"
