#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test the
# program. Installs only missing packages; uses sudo when not root.
#
#   scripts/deps.sh         everything
#   scripts/deps.sh build   what the builds start with: the Linux build and
#                           the Windows codec libraries
#   scripts/deps.sh rest    the rest: Wine, the Windows installer, the
#                           tests' tools, the fuzzers' compiler
#   scripts/deps.sh check   installs nothing; fails when anything is missing
# The test command installs the rest while the builds run: unpacking
# packages keeps one processor busy, and compiling fills the other.
set -euo pipefail

BUILD_PACKAGES=(
  # build; clang-format too, since the style test is set up when the build
  # is configured
  cmake ninja-build g++ pkg-config git clang-format
  qt6-base-dev libqt6test6 libgl-dev libx11-dev
  libpng-dev libspng-dev libdeflate-dev zlib1g-dev
  libjpeg62-turbo-dev libturbojpeg0-dev libtiff-dev libgif-dev
  libwebp-dev libheif-dev libexif-dev liblcms2-dev
  libgtest-dev libgmock-dev
  # the Windows codec libraries: cross compiler, zlib for Windows, the tools
  # that build them from Debian's sources, and the -dev packages of the
  # HEIF companion's decoders (the versions Linux uses), with meson for dav1d
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev libz-mingw-w64-dev nasm make dpkg-dev meson
  libde265-dev libdav1d-dev
)
REST_PACKAGES=(
  # running the program: Qt's platform plugins and its own translations
  qt6-qpa-plugins qt6-translations-l10n
  # reading metadata back in the tests, as an independent reader
  libimage-exiftool-perl
  # fonts that stand in for the window's Windows fonts
  fonts-wqy-microhei fonts-arphic-ukai
  # opening a folder in the desktop's file manager
  xdg-utils
  # a virtual display, screenshots, and test image making
  xvfb xauth x11-utils xdotool imagemagick
  # a real FAT volume for the save tests, made and mounted through FUSE
  dosfstools fusefat
  # the Debian package and the checks of the desktop files
  lintian desktop-file-utils appstream
  # Wine, which runs the Windows tests, and the Windows installer
  wine wine64 nsis
  # HEIC and AVIF sources of the Windows build's comparison with Linux
  libheif-examples
  # fuzzing
  clang libclang-rt-14-dev
)
case "${1:-all}" in
  build) PACKAGES=("${BUILD_PACKAGES[@]}") ;;
  rest) PACKAGES=("${REST_PACKAGES[@]}") ;;
  all | check) PACKAGES=("${BUILD_PACKAGES[@]}" "${REST_PACKAGES[@]}") ;;
  *)
    echo "usage: $0 [build|rest|check]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
[ "${1:-}" != check ] || exit 1

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
