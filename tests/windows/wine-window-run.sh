#!/bin/sh
# Runs a Windows program that opens windows under Wine, on a virtual display
# of its own, in a Wine prefix of the build folder's own (made on first use):
#   wine-window-run.sh <wine64> <prefix folder> <program.exe> [arguments...]
# The prefix gets font substitutes, so that the dialog font and the banner
# font find the Chinese fonts that the Linux build uses; they are set in this
# prefix only.
set -eu
wine=$1
prefix=$2
shift 2
. "$(dirname "$0")/wine-prefix.sh"

substitute_fonts() {
  key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  for face in "MS Shell Dlg" "MS Shell Dlg 2"; do
    "$wine" reg add "$key" /v "$face" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
  done
  "$wine" reg add "$key" /v "楷体_GB2312" /d "AR PL UKai CN" /f >/dev/null 2>&1
  if [ -n "${ORV_WINE_DPI:-}" ]; then
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$ORV_WINE_DPI" \
      /f >/dev/null 2>&1
  fi
}
prepare_prefix .fonts-substituted substitute_fonts
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$@"
