#!/usr/bin/env bash
# Assembles the Debian package from a built tree (run by the build's `deb`
# target): installs into a staging root under /usr, adds the package's
# documents, computes the library dependencies from the installed binaries
# and writes <build>/kestrune-orvane_<version>_<arch>.deb.
#   build_deb.sh <source dir> <build dir> <version>
set -euo pipefail
SRC=$1
BUILD=$2
VERSION=$3
PKG=kestrune-orvane
ARCH=$(dpkg --print-architecture)
STAGE="$BUILD/deb/root"
OUT="$BUILD/${PKG}_${VERSION}_${ARCH}.deb"

rm -rf "$BUILD/deb"
mkdir -p "$STAGE/DEBIAN"
# A root of our own: files not group-writable whatever the caller's umask.
umask 022
DESTDIR="$STAGE" cmake --install "$BUILD" --prefix /usr --strip >/dev/null

gzip -9n "$STAGE/usr/share/man/man1/$PKG.1"
DOC="$STAGE/usr/share/doc/$PKG"
install -d "$DOC"
install -m 644 "$SRC/res/package/copyright" "$DOC/copyright"
gzip -9n -c "$SRC/res/package/changelog" > "$DOC/changelog.gz"
chmod 644 "$DOC/changelog.gz"

# dpkg-shlibdeps reads the package names from a debian/control beside it.
WORK="$BUILD/deb/shlibs"
mkdir -p "$WORK/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$PKG" "$PKG" > "$WORK/debian/control"
SHLIBS=$(cd "$WORK" && dpkg-shlibdeps -O \
  -e"$STAGE/usr/lib/$PKG/$PKG" -e"$STAGE/usr/lib/$PKG/gdiplus.dll" 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$SHLIBS" ] || { echo "build_deb.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

SIZE=$(du -sk --exclude=DEBIAN "$STAGE" | cut -f1)
sed -e "s/@VERSION@/$VERSION/" -e "s/@ARCH@/$ARCH/" -e "s/@INSTALLED_SIZE@/$SIZE/" \
    -e "s/@SHLIBS_DEPENDS@/$SHLIBS/" "$SRC/res/package/control.in" > "$STAGE/DEBIAN/control"
(cd "$STAGE" && find usr -type f -print0 | sort -z | xargs -0 md5sum > DEBIAN/md5sums)
chmod 644 "$STAGE/DEBIAN/control" "$STAGE/DEBIAN/md5sums"

dpkg-deb --root-owner-group -Zxz -b "$STAGE" "$OUT" >/dev/null
echo "$OUT"
