#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test the
# program. Installs only missing packages; uses sudo when not root.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ pkg-config git
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libqt6test6 libgl-dev libx11-dev
  libpng-dev libspng-dev libdeflate-dev zlib1g-dev
  libjpeg62-turbo-dev libturbojpeg0-dev libtiff-dev libgif-dev
  libwebp-dev libheif-dev libexif-dev liblcms2-dev
  # reading metadata back in the tests, as an independent reader
  libimage-exiftool-perl
  libgtest-dev libgmock-dev
  # fonts that stand in for the window's Windows fonts
  fonts-wqy-microhei fonts-arphic-ukai
  # opening a folder in the desktop's file manager
  xdg-utils
  # a virtual display, screenshots, and test image making
  xvfb xauth x11-utils xdotool imagemagick
  # a real FAT volume for the save tests, made and mounted through FUSE
  dosfstools fusefat
  # the Debian package and the checks of the desktop files
  dpkg-dev lintian desktop-file-utils appstream
  # the Windows build: cross compiler, zlib for Windows, the tools that build
  # the codec libraries from Debian's sources (with dpkg-dev above), and Wine
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev libz-mingw-w64-dev nasm make wine wine64
  # the Windows installer
  nsis
  # the HEIF companion DLL's decoders: the versions Linux uses, and meson for dav1d
  libde265-dev libdav1d-dev meson
  # HEIC and AVIF sources of the Windows build's comparison with Linux
  libheif-examples
  # lcms2's licence for the Windows package (lcms2 is in its module)
  liblcms2-dev
  # fuzzing, and the style check
  clang libclang-rt-14-dev clang-format
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
