#!/bin/sh
# The same sources give the same outputs on both systems: the Linux probe
# writes sample pictures in every format (and libheif's encoder HEIC and
# AVIF ones), the Linux and the Windows probe
# (under Wine) convert them to every format, and the outputs are compared:
# identical bytes, JPEG included.
#   same_outputs.sh <wine-run.sh> <wine64> <prefix> <windows probe> <linux probe> <work folder>
set -eu
wine_run=$1 wine=$2 prefix=$3 windows_probe=$4 linux_probe=$5 work=$6
rm -rf "$work"
mkdir -p "$work"
"$linux_probe" samples "$work/sources"
# Phone-style sources made by libheif's own encoder (heif-enc): HEIC of 8
# and 10 bits (from a 16-bit PNG), and AVIF, with and without alpha.
src=$work/sources
heif-enc -q 90 -o "$src/smooth.heic" "$src/smooth.png" >/dev/null
convert "$src/smooth.png" -depth 16 "PNG48:$work/smooth16.png"
heif-enc -q 90 -b 10 -o "$src/smooth-10bit.heic" "$work/smooth16.png" >/dev/null
heif-enc -q 80 -A -o "$src/smooth.avif" "$src/smooth.png" >/dev/null
heif-enc -q 80 -A -o "$src/alpha.avif" "$src/alpha.png" >/dev/null
# Metadata that crosses the HEIF companion's interface on Windows: a HEIC
# made from the tagged JPEG (its wide-gamut profile, EXIF and XMP), and an
# AVIF whose nclx statement says BT.2020 primaries with BT.709's transfer,
# which the decoder turns into a profile. This heif-enc writes "unspecified"
# whatever its nclx options say, so the statement is set in the file.
heif-enc -q 90 -o "$src/tagged.heic" "$src/tagged.jpg" >/dev/null
heif-enc -q 80 -A -o "$src/wide.avif" "$src/smooth.png" >/dev/null
perl -0777 -pi -e 's/colrnclx\x00\x02\x00\x02/colrnclx\x00\x09\x00\x01/ or die "no nclx statement\n"' \
  "$src/wide.avif"
"$linux_probe" convert "$work/sources" "$work/linux" >"$work/linux.log"
# Wine reaches the host's folders through drive Z:.
"$wine_run" "$wine" "$prefix" "$windows_probe" convert "Z:$work/sources" "Z:$work/windows" \
  >"$work/windows.log"
"$linux_probe" compare "$work/linux" "$work/windows"
