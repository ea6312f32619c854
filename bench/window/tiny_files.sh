#!/usr/bin/env bash
# Many tiny pictures through the real window, the Linux build against the
# Windows build under Wine: the time from Start (Enter) to the last output.
# With two timer steps per file this is what a run costs beyond the imaging
# work itself, and what a system timer's 10 ms floor per step would cost.
#   bench/window/tiny_files.sh [files] [repetitions]
# Needs build/bin/kestrune-orvane and build-windows/dist's staged program.
# Wine's calls into its server wait for the scheduler, so on a busy machine
# the Windows figure grows with the load: take the best of a few runs. The
# Linux figure grows as much or more (0.19 s on a quiet machine, 0.3-0.8 s
# while other work keeps both cores busy, real-time priority or not), so a
# ratio holds only for runs of one quiet moment.
set -euo pipefail
cd "$(dirname "$0")/../.."
files=${1:-300}
reps=${2:-3}
linux_app=$PWD/build/bin/kestrune-orvane
windows_dir=${WINDOWS_DIR:-$(ls -d "$PWD"/build-windows/dist/kestrune-orvane-*-win64 | head -n 1)}
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$linux_app" ] && [ -d "$windows_dir" ] || { echo "build both programs first" >&2; exit 1; }

work=$(mktemp -d /tmp/orv-tiny-XXXXXX)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
convert -size 8x8 plasma:fractal -seed 3 "$work/tiny.png"

# run <label> <pictures folder> <outputs folder> <command...>: starts the
# program on a virtual display, presses Enter once its window shows (the
# default source is the Pictures folder), and times until every output exists.
run() {
  local label=$1 pictures=$2 outputs=$3
  shift 3
  rm -rf "$pictures" "$outputs"
  mkdir -p "$pictures"
  for i in $(seq 1 "$files"); do cp "$work/tiny.png" "$pictures/t$i.png"; done
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    files=$1 outputs=$2 label=$3; shift 3
    "$@" >/dev/null 2>&1 & pid=$!
    for i in $(seq 1 600); do
      win=$(xdotool search --name "Kestrune Orvane" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
      sleep 0.1
    done
    sleep 2
    xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
    start=$(date +%s.%N)
    xdotool key --window "$win" Return
    # Counted by the shell itself, so that the watching costs the run little.
    shopt -s nullglob
    while :; do
      present=("$outputs"/*)
      [ "${#present[@]}" -ge "$files" ] && break
      sleep 0.01
    done
    end=$(date +%s.%N)
    echo "$label: $files files in $(echo "$end - $start" | bc) s"
    kill $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
  ' bash "$files" "$outputs" "$label" "$@"
}

mkdir -p "$work/home/.config"
printf 'XDG_PICTURES_DIR="$HOME/Pictures"\n' >"$work/home/.config/user-dirs.dirs"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;gdiplus=n"
HOME=$work/home "$wine" wineboot -i >/dev/null 2>&1
wineserver -w
wine_pictures=$(HOME=$work/home "$wine" winepath -u "$(HOME=$work/home "$wine" cmd /c echo '%USERPROFILE%\Pictures' 2>/dev/null | tr -d '\r')" 2>/dev/null)
for r in $(seq 1 "$reps"); do
  HOME=$work/home XDG_CONFIG_HOME=$work/home/.config \
    run linux "$work/home/Pictures" "$work/home/ORV_Save" "$linux_app"
  HOME=$work/home run "windows (Wine)" "$wine_pictures" "$WINEPREFIX/drive_c/ORV_Save" \
    "$wine" "$windows_dir/kestrune-orvane.exe"
  wineserver -k 2>/dev/null || true
done
