#!/usr/bin/env bash
# The menu entry and the AppStream data pass their validators without a
# warning, and the themed icons at 16, 32 and 48 pixels are the very images of
# the window's icon group.
#   desktop_files_test.sh <res dir> <application id>
set -uo pipefail
RES=$1
ID=$2
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

# Hints (two main categories: the entry is asked to be in both) are no fault.
out=$(desktop-file-validate "$RES/desktop/$ID.desktop" 2>&1) || fail "desktop-file-validate: $out"
grep -v ': hint: ' <<<"$out" | grep . && fail "desktop-file-validate reports the above"
grep -qx 'Exec=kestrune-orvane' "$RES/desktop/$ID.desktop" || fail "Exec is not the program alone"
grep -qx "Icon=$ID" "$RES/desktop/$ID.desktop" || fail "Icon is not $ID"

out=$(appstreamcli validate --no-net --pedantic "$RES/desktop/$ID.metainfo.xml" 2>&1) ||
  fail "appstreamcli: $out"
grep -qE '^[EWIP]: ' <<<"$out" && fail "appstreamcli reports: $out"

n=0
for size in 48 32 16; do
  png="$RES/icon/hicolor/$size.png"
  diff=$(compare -metric AE "$RES/icon/app.ico[$n]" "$png" null: 2>&1) || true
  [ "$diff" = 0 ] || fail "$png differs from icon $n of the icon group ($diff pixels)"
  n=$((n + 1))
done
for size in 16 32 48 64 128 256; do
  got=$(identify -format '%wx%h' "$RES/icon/hicolor/$size.png" 2>&1)
  [ "$got" = "${size}x${size}" ] || fail "hicolor/$size.png is $got"
done
exit $status
