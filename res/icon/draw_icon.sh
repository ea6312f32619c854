#!/bin/sh
# Draws the application icon (two picture cards and a conversion arrow) at
# 48, 32 and 16 pixels and packs them into app.ico, the window's icon group.
# The desktop's icon theme gets those very images and the same design drawn
# at 64, 128 and 256 pixels, in hicolor/. Run from this folder.
set -e
draw() {
  s=$1
  convert -size ${s}x${s} xc:none \
    -fill '#E75610' -stroke none -draw "roundrectangle 0,0 $((s-1)),$((s-1)) $((s/6)),$((s/6))" \
    -fill white -draw "rectangle $((s*3/16)),$((s*3/16)) $((s*9/16)),$((s*9/16))" \
    -fill '#3A8FD8' -draw "rectangle $((s*4/16)),$((s*4/16)) $((s*8/16)),$((s*8/16))" \
    -fill '#F8D23A' -draw "circle $((s*5/16)),$((s*5/16)) $((s*5/16+s/24+1)),$((s*5/16))" \
    -fill white -draw "rectangle $((s*7/16)),$((s*7/16)) $((s*13/16)),$((s*13/16))" \
    -fill '#009800' -draw "polygon $((s*8/16)),$((s*12/16)) $((s*10/16)),$((s*8/16)) $((s*12/16)),$((s*12/16))" \
    -fill white -draw "polygon $((s*10/16)),$((s*2/16)) $((s*14/16)),$((s*4/16)) $((s*10/16)),$((s*6/16))" \
    PNG32:icon-$s.png
}
draw 48; draw 32; draw 16
convert icon-48.png icon-32.png icon-16.png app.ico
rm -f icon-48.png icon-32.png icon-16.png
mkdir -p hicolor
n=0
for s in 48 32 16; do
  convert "app.ico[$n]" PNG32:hicolor/$s.png
  n=$((n + 1))
done
for s in 64 128 256; do
  draw $s
  mv icon-$s.png hicolor/$s.png
done
# Without time stamps, so that drawing again changes no byte.
mogrify -define png:exclude-chunk=date,time hicolor/*.png
