#!/bin/sh
# Runs a Windows program under Wine without a display, in a Wine prefix of
# the build folder's own (made on first use, about 10 s):
#   wine-run.sh <wine64> <prefix folder> <program.exe> [arguments...]
set -eu
wine=$1
prefix=$2
shift 2
. "$(dirname "$0")/wine-prefix.sh"
unset DISPLAY WAYLAND_DISPLAY
prepare_prefix system.reg
exec "$wine" "$@"
