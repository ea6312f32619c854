#!/bin/sh
# The same sources give the same outputs on both systems: the Linux probe
# writes sample pictures in every format, the Linux and the Windows probe
# (under Wine) convert them to every format, and the outputs are compared:
# identical bytes, JPEG pixels within 1.
#   same_outputs.sh <wine-run.sh> <wine64> <prefix> <windows probe> <linux probe> <work folder>
set -eu
wine_run=$1 wine=$2 prefix=$3 windows_probe=$4 linux_probe=$5 work=$6
rm -rf "$work"
mkdir -p "$work"
"$linux_probe" samples "$work/sources"
"$linux_probe" convert "$work/sources" "$work/linux" >"$work/linux.log"
# Wine reaches the host's folders through drive Z:.
"$wine_run" "$wine" "$prefix" "$windows_probe" convert "Z:$work/sources" "Z:$work/windows" \
  >"$work/windows.log"
"$linux_probe" compare "$work/linux" "$work/windows" 1
