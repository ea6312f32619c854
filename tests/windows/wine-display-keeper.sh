#!/bin/sh
# Keeps the virtual display of one slot of wine-window-run.sh between the
# entries that take the slot one after another:
#   wine-display-keeper.sh <slot lock file> <display file> <Wine prefix>
# Starts Xvfb and writes "<display number> <own process id>" to the display
# file. Once the slot has been free at two checks in a row (a few seconds
# without an entry), it ends, while holding the slot, Wine's server of the
# prefix and the display, and removes the file: an entry that holds the slot
# therefore finds either a display that lasts while it runs, or none.
set -u
lock=$1
display_file=$2
prefix=$3

# Xvfb picks a free display itself and writes its number (-displayfd), so
# that servers started side by side never race for one. -noreset: a server
# that resets when its last client leaves drops a program connecting then.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp -noreset 9>"$fifo" 2>/dev/null &
xvfb=$!
if ! read -r display <"$fifo"; then
  rm -f "$fifo"
  exit 1
fi
rm -f "$fifo"
echo "$display $$" >"$display_file.new"
mv "$display_file.new" "$display_file"

free=0
# (a build folder removed meanwhile ends it too)
while sleep 2 && kill -0 "$xvfb" 2>/dev/null && [ -d "$(dirname "$lock")" ]; do
  exec 7>"$lock"
  if flock -n 7; then
    free=$((free + 1))
    [ "$free" -ge 2 ] && break
  else
    free=0
  fi
  exec 7>&-
done
# (the slot still held, when the loop ended on it being free)
WINEPREFIX=$prefix wineserver -k 2>/dev/null
kill "$xvfb" 2>/dev/null
rm -f "$display_file"
