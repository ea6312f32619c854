#!/usr/bin/env bash
# Installs what is missing, builds Release and starts the program. Without a
# display it shows the main job under a virtual display: sample images in a
# scratch home's Pictures folder (the window's default source), Start pressed
# with Enter, the outputs listed and a screenshot of the final window saved.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh --target kestrune-orvane
APP="$PWD/build/bin/kestrune-orvane"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$APP"
fi

command -v xdotool >/dev/null || { SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo; \
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends xdotool >/dev/null; }

DEMO=$(mktemp -d /tmp/orvane-demo-XXXXXX)
mkdir -p "$DEMO/home/Pictures/trip" "$DEMO/home/.config"
printf 'XDG_PICTURES_DIR="$HOME/Pictures"\n' > "$DEMO/home/.config/user-dirs.dirs"
convert -size 640x480 gradient:'#2a6fdb-#f6d365' "$DEMO/home/Pictures/sky.jpg"
convert -size 320x240 plasma:fractal -seed 7 "$DEMO/home/Pictures/plasma.png"
convert -size 200x200 xc:none -fill '#e75610' -draw 'circle 100,100 100,20' "$DEMO/home/Pictures/trip/sun.png"
convert -size 300x200 pattern:checkerboard "$DEMO/home/Pictures/trip/board.bmp"
echo "not an image" > "$DEMO/home/Pictures/notes.txt"

SHOT="$DEMO/final-window.png"
mkdir -m 700 "$DEMO/runtime"
HOME="$DEMO/home" XDG_CONFIG_HOME="$DEMO/home/.config" XDG_RUNTIME_DIR="$DEMO/runtime" xvfb-run -a -s "-screen 0 1024x768x24" \
  bash -c '
    "$0" & pid=$!
    for i in $(seq 1 100); do
      win=$(xdotool search --name "Kestrune Orvane" 2>/dev/null | head -n1) && [ -n "$win" ] && break
      sleep 0.1
    done
    sleep 1
    xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
    xdotool key --window "$win" Return
    # Four images, PNG only by default: wait for four outputs, then a moment
    # for the end message to be drawn.
    for i in $(seq 1 200); do
      n=$(ls "$HOME/ORV_Save" 2>/dev/null | wc -l)
      [ "$n" -ge 4 ] && break
      sleep 0.1
    done
    sleep 1
    import -window root "$1"
    kill "$pid"; wait "$pid" 2>/dev/null || true
  ' "$APP" "$SHOT"

echo "Source (the window's default, the Pictures folder): $DEMO/home/Pictures"
echo "Written to C:\\ORV_Save\\ = $DEMO/home/ORV_Save:"
ls -l "$DEMO/home/ORV_Save" || true
echo "Screenshot of the final window: $SHOT"
