#!/bin/sh
# The setup program under Wine, in a prefix of its own made afresh: a silent
# install for the current user (files, Start-menu shortcut, uninstall entry),
# the installed program started until its window shows, a silent uninstall,
# and nothing of it left: no file, no folder, no shortcut, no registry key.
#   installer_test.sh <wine64> <prefix folder> <setup.exe>
set -eu
wine=$1
prefix=$2
setup=$3
. "$(dirname "$0")/wine-prefix.sh"
rm -rf "$prefix" "$prefix/.ready"
prepare_prefix .ready

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\KestruneOrvane'
value() { "$wine" reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v v="$1" '$1 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }

local_appdata=$("$wine" cmd /c echo '%LOCALAPPDATA%' 2>/dev/null | tr -d '\r"')
programs=$("$wine" cmd /c echo '%APPDATA%\Microsoft\Windows\Start Menu\Programs' 2>/dev/null | tr -d '\r"')
install_dir=$(unix_path "$local_appdata\\Programs\\Kestrune Orvane")
shortcut=$(unix_path "$programs\\Kestrune Orvane.lnk")
[ -n "$install_dir" ] && [ -n "$shortcut" ] || fail "no user folders in the prefix"

"$wine" "$setup" /S
wineserver -w
for f in kestrune-orvane.exe gdiplus.dll uninstall.exe; do
  [ -f "$install_dir/$f" ] || fail "$f is not in $install_dir"
done
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
[ "$(value DisplayName)" = "Kestrune Orvane" ] || fail "DisplayName: $(value DisplayName)"
[ "$(value DisplayVersion)" = "1.0.3.0" ] || fail "DisplayVersion: $(value DisplayVersion)"
for v in DisplayIcon UninstallString QuietUninstallString EstimatedSize; do
  [ -n "$(value $v)" ] || fail "no $v in the uninstall entry"
done
case "$(value QuietUninstallString)" in
  *uninstall.exe\"\ /S) ;;
  *) fail "QuietUninstallString: $(value QuietUninstallString)" ;;
esac

# The installed program, started as the shortcut starts it, shows its window
# (within two minutes: the first window of a fresh prefix waits for Wine to
# read the fonts). The Wine session of the registry queries must have ended:
# a program joining it would find its desktop without a display.
wineserver -w
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  "$0" "$1" & pid=$!
  for i in $(seq 1 1200); do
    # The main window, not a message box of the same caption: it is tall.
    found=""
    for w in $(xdotool search --name "Kestrune Orvane  1.0.3.0" 2>/dev/null); do
      h=$(xdotool getwindowgeometry "$w" | sed -n "s/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p")
      if [ "${h:-0}" -gt 300 ]; then found=1; fi
    done
    if [ -n "$found" ]; then echo "window shown"; break; fi
    sleep 0.1
  done
  # For the failure message: what the screen held.
  [ -n "$found" ] || for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    echo "on screen: $(xdotool getwindowname "$w") $(xdotool getwindowgeometry "$w" | tail -n 1)"
  done
  wineserver -k
  wait $pid 2>/dev/null || true
' "$wine" "$local_appdata\\Programs\\Kestrune Orvane\\kestrune-orvane.exe" \
  >"$prefix.window.log" 2>&1
grep -q "window shown" "$prefix.window.log" ||
  fail "the installed program showed no window: $(cat "$prefix.window.log")"

"$wine" "$install_dir/uninstall.exe" /S
wineserver -w  # the uninstaller runs on from a copy of itself
[ ! -e "$install_dir" ] || fail "left behind: $(find "$install_dir")"
[ ! -e "$shortcut" ] || fail "the shortcut is left"
if "$wine" reg query "$key" >/dev/null 2>&1; then fail "the uninstall entry is left"; fi
echo "installed, started, uninstalled: nothing left"
