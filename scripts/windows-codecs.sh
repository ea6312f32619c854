#!/usr/bin/env bash
# Cross-builds the codec libraries of the Windows build with mingw-w64, as
# static libraries, from Debian's own source packages: the same upstream
# versions that the Linux build links. Each library is built once and kept in
# a cache outside the checkout, keyed by its source version and the recipe's
# revision, so a second build (and CI on the same machine) only reads it.
#
# Prints the install folder of each library, one per line, for the Windows
# build's CMAKE_PREFIX_PATH. Progress and build logs go to stderr and to
# <cache>/logs/.
#
#   ORV_MINGW_CACHE=/path   where the cache lives (default below)
set -euo pipefail
cd "$(dirname "$0")/.."
SOURCE_DIR=$PWD

default_cache=/var/cache/kestrune-orvane-mingw
if ! mkdir -p "$default_cache" 2>/dev/null || [ ! -w "$default_cache" ]; then
  default_cache=${XDG_CACHE_HOME:-$HOME/.cache}/kestrune-orvane-mingw
fi
CACHE=${ORV_MINGW_CACHE:-$default_cache}
mkdir -p "$CACHE/logs"

TRIPLE=x86_64-w64-mingw32
export CC=$TRIPLE-gcc-posix AR=$TRIPLE-ar RANLIB=$TRIPLE-ranlib
TOOLCHAIN=$SOURCE_DIR/cmake/mingw-w64-x86_64.cmake
GCC_VERSION=$($CC -dumpversion)
JOBS=$(nproc)
# The module links every codec library and must fit its published size: the
# large libraries are compiled for size (their hot loops are SIMD assembly or
# intrinsics either way); libdeflate, which does the PNG compression, for
# speed. Optimisation levels change no output: nothing here is built with
# fast-math.
OPT="-O2"
OPT_SIZE="-Os"
# libtiff's public header, libpng's private one, and the thread headers of
# dav1d and libde265 include <windows.h> into nearly every file, and its
# parsing was about half of each file's compile time. None of them uses what
# the lean form leaves out (sockets, OLE, the shell, printing, dialogs).
WIN_LEAN="-DWIN32_LEAN_AND_MEAN"

say() { echo "windows-codecs: $*" >&2; }

# One build at a time per cache: a second caller waits and then finds the
# libraries built.
exec 9>"$CACHE/lock"
flock 9

# --- Debian source packages, through a private apt state ---------------------
# The machine's own apt configuration stays as it is: the source entries, the
# package lists and apt's cache live under $CACHE/apt.
APT_DIR=$CACHE/apt
APT_OPTS=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$APT_DIR/sources.list.d"
  -o "Dir::State::Lists=$APT_DIR/lists" -o "Dir::Cache=$APT_DIR/cache"
  -o "APT::Sandbox::User=root")
apt_ready=no
prepare_apt() {
  [ "$apt_ready" = yes ] && return
  mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
  rm -rf "$APT_DIR/sources.list.d" && mkdir -p "$APT_DIR/sources.list.d"
  # The same archives that apt already uses, as source entries.
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] && sed 's/^Types: *deb$/Types: deb-src/' "$f" >"$APT_DIR/sources.list.d/$(basename "$f")"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] && sed -n 's/^deb \(.*\)$/deb-src \1/p' "$f" >"$APT_DIR/sources.list.d/$(basename "$f" | sed 's/\.list$//')-src.list"
  done
  apt-get "${APT_OPTS[@]}" -qq update >&2
  apt_ready=yes
}

# The source version behind an installed -dev package.
installed_source_version() {
  dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null
}

# Unpacks source package $1 at version $2 (patches applied) into $3. When the
# archive no longer offers that exact revision (security updates replace
# them), the newest available revision of the same upstream version is used:
# Debian revisions of one upstream version differ only in fixes.
fetch_source() {
  local pkg=$1 version=$2 into=$3 upstream candidates v
  prepare_apt
  upstream=${version%-*}
  candidates=$(apt-cache "${APT_OPTS[@]}" showsrc "$pkg" 2>/dev/null |
    sed -n 's/^Version: //p' | while read -r v; do [ "${v%-*}" = "$upstream" ] && echo "$v"; done |
    sort -r -V | grep -vxF "$version" || true)
  rm -rf "$into" && mkdir -p "$into"
  for v in "$version" $candidates; do
    # (one download at a time: the builds side by side share apt's state)
    if (cd "$into" && flock "$CACHE/fetch.lock" apt-get "${APT_OPTS[@]}" -qq source \
      --only-source "$pkg=$v" >>"$CACHE/logs/$pkg.fetch.log" 2>&1); then
      [ "$v" = "$version" ] || say "$pkg $version is no longer in the archive; using $v" 2>&3
      return 0
    fi
  done
  say "cannot fetch the source of $pkg $upstream (see $CACHE/logs/$pkg.fetch.log)"
  return 1
}

# The unpacked source tree inside a fetch folder.
source_tree() {
  find "$1" -mindepth 1 -maxdepth 1 -type d | head -n1
}

cmake_cross() {
  local src=$1 build=$2
  shift 2
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_C_FLAGS_RELEASE="$OPT_SIZE -DNDEBUG" \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" "$@"
}

# compile_all <object folder> <compiler> [flags...]: compiles each C file
# named on stdin (a line each) into <object folder>/<its name>.o, $JOBS at a
# time, and fails when any of them fails: for the recipes that compile a
# list of files without a build system. Names go to the compiler as they
# are, never through a shell's parsing.
compile_all() {
  local out=$1
  shift
  xargs -d '\n' -P "$JOBS" -I{} sh -c \
    'out=$1 f=$2; shift 2; b=${f##*/}; exec "$@" -c "$f" -o "$out/${b%.c}.o"' \
    sh "$out" {} "$@"
}

# --- recipes: each installs include/ and lib/ into $PREFIX -------------------

build_libdeflate() {
  # (its Makefile names the static library of a Windows build libdeflatestatic.lib)
  make -C "$SRC" -j"$JOBS" CC="$CC" AR="$AR" CFLAGS="$OPT" libdeflatestatic.lib
  install -D -m644 "$SRC/libdeflatestatic.lib" "$PREFIX/lib/libdeflate.a"
  install -D -m644 "$SRC/libdeflate.h" "$PREFIX/include/libdeflate.h"
}

build_libjpeg_turbo() {
  # SIMD as on Linux (nasm assembles it), the libjpeg 6.2 interface as Debian's.
  # Bit lengths are counted with the processor's count-leading-zeros instead
  # of tables, for room in the module: in the C code by USE_CLZ_INTRINSIC, and
  # in the SSE2 Huffman coder, whose 96 KB of tables (a bit length for every
  # 16-bit value, either sign) become five instructions: bsr of 2|v|+1, |v|
  # taken as the coder stores it (one's complement for negative values), is
  # the bit length of v, and 0 for 0 without bsr's undefined case. The bits
  # written are the same as through the tables.
  local asm=$SRC/simd/x86_64/jchuff-sse2.asm nbits
  nbits='    mov         REG, rbp\n    sar         REG, 63\n    xor         REG, rbp\n'
  nbits+='    lea         REG, [REG * 2 + 1]\n    bsr         rcx, REG'
  perl -0pi -e '
    s/^times 1 .*\n//mg; s/^jpeg_nbits_table:\n//m; s/^%define NBITS\(x\).*\n//m;
    s/^%define MASK_BITS\(x\).*$/%define MASK_BITS(x)  nbits_base + (x) * 4/m;
    s/\[rel jpeg_nbits_table\]/[rel jpeg_mask_bits]/g;' "$asm"
  # The DC code's bit length is counted in rbx (temp), which the coder
  # writes next anyway; the AC code's in r8, which it loads right after.
  perl -0pi -e "s/^ *movzx +nbitsq, byte \\[NBITS\\(codeq\\)\\].*\$/${nbits//REG/rbx}/m;
    s/^ *movzx +nbits, byte \\[NBITS\\(codeq\\)\\].*\$/${nbits//REG/r8}/m" "$asm"
  if grep -q "NBITS\|jpeg_nbits_table" "$asm" || [ "$(grep -c "^    bsr  *rcx" "$asm")" -ne 2 ]; then
    echo "the SSE2 Huffman coder still counts bits with its tables"; exit 1
  fi
  # SSE2 is part of x86-64, so that coder always runs, whatever JSIMD_*
  # variables say, and the C one (44 KB at -Os) is left out. The room pays
  # for the files that decoding and writing spend their C time in, compiled
  # for speed: 5-8% less time decoding the benchmark's photographs, 13-20%
  # less writing them, measured with the library's own tools.
  perl -0pi -e 's/entropy->simd = jsimd_can_huff_encode_one_block\(\);/entropy->simd = TRUE;/ or die;
    s/(\/\* Encode the MCU data blocks \*\/\n  if \()entropy->simd(\) \{)/${1}TRUE${2}/ or die' \
    "$SRC/jchuff.c"
  echo 'set_source_files_properties(jdhuff.c jdphuff.c jdcoefct.c jdmainct.c jdsample.c jdpostct.c
    jchuff.c jccoefct.c jcdctmgr.c jcmainct.c jcprepct.c PROPERTIES COMPILE_OPTIONS -O2)' \
    >>"$SRC/CMakeLists.txt"
  cmake_cross "$SRC" "$WORK/build" -DCMAKE_C_FLAGS="-DUSE_CLZ_INTRINSIC" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF
  cmake --build "$WORK/build" -j"$JOBS" --target jpeg-static
  install -D -m644 "$WORK/build/libjpeg.a" "$PREFIX/lib/libjpeg.a"
  install -D -m644 -t "$PREFIX/include" "$WORK/build/jconfig.h" "$SRC/jpeglib.h" \
    "$SRC/jmorecfg.h" "$SRC/jerror.h"
}

build_libpng() {
  local z=/usr/$TRIPLE/include
  cp "$SRC/scripts/pnglibconf.h.prebuilt" "$SRC/pnglibconf.h"
  local files=(png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset
    pngtrans pngwio pngwrite pngwtran pngwutil intel/intel_init intel/filter_sse2_intrinsics)
  mkdir -p "$WORK/obj"
  for f in "${files[@]}"; do echo "$SRC/$f.c"; done |
    compile_all "$WORK/obj" $CC $OPT_SIZE $WIN_LEAN -DPNG_INTEL_SSE_OPT=1 -I"$SRC" -I"$z"
  $AR rcs "$WORK/libpng16.a" "$WORK"/obj/*.o
  install -D -m644 "$WORK/libpng16.a" "$PREFIX/lib/libpng16.a"
  install -D -m644 -t "$PREFIX/include" "$SRC/png.h" "$SRC/pngconf.h" "$SRC/pnglibconf.h"
}

build_giflib() {
  mkdir -p "$WORK/obj"
  for f in dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray quantize; do
    echo "$SRC/$f.c"
  done | compile_all "$WORK/obj" $CC $OPT -std=gnu99 -I"$SRC"
  $AR rcs "$WORK/libgif.a" "$WORK"/obj/*.o
  install -D -m644 "$WORK/libgif.a" "$PREFIX/lib/libgif.a"
  install -D -m644 "$SRC/gif_lib.h" "$PREFIX/include/gif_lib.h"
}

build_libwebp() {
  local off=()
  for t in ANIM_UTILS CWEBP DWEBP GIF2WEBP IMG2WEBP VWEBP WEBPINFO LIBWEBPMUX WEBPMUX EXTRAS; do
    off+=("-DWEBP_BUILD_$t=OFF")
  done
  cmake_cross "$SRC" "$WORK/build" -DBUILD_SHARED_LIBS=OFF "${off[@]}"
  cmake --build "$WORK/build" -j"$JOBS" --target webp webpdemux
  install -D -m644 -t "$PREFIX/lib" "$WORK/build/libwebp.a" "$WORK/build/libwebpdemux.a"
  install -D -m644 -t "$PREFIX/include/webp" "$SRC"/src/webp/decode.h "$SRC"/src/webp/demux.h \
    "$SRC"/src/webp/types.h "$SRC"/src/webp/mux_types.h
}

build_tiff() {
  # Deflate through libdeflate and JPEG inside TIFF, as on Linux; the rarer
  # compressions (JBIG, LZMA, ZSTD, LERC, WebP-in-TIFF) are left out.
  cmake_cross "$SRC" "$WORK/build" -DBUILD_SHARED_LIBS=OFF -DCMAKE_C_FLAGS="$WIN_LEAN" \
    -DCMAKE_PREFIX_PATH="$(dep_prefix libdeflate);$(dep_prefix libjpeg-turbo)" \
    -DCMAKE_FIND_ROOT_PATH="$(dep_prefix libdeflate);$(dep_prefix libjpeg-turbo)" \
    -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
    -Djbig=OFF -Dlzma=OFF -Dzstd=OFF -Dlerc=OFF -Dwebp=OFF -Djpeg12=OFF \
    -Dzlib=ON -Dlibdeflate=ON -Djpeg=ON -Dtiff-opengl=OFF
  grep -q "^libdeflate:BOOL=ON" "$WORK/build/CMakeCache.txt"
  cmake --build "$WORK/build" -j"$JOBS" --target tiff
  install -D -m644 "$WORK/build/libtiff/libtiff.a" "$PREFIX/lib/libtiff.a"
  install -D -m644 -t "$PREFIX/include" "$SRC/libtiff/tiffio.h" "$SRC/libtiff/tiff.h" \
    "$SRC/libtiff/tiffvers.h" "$WORK/build/libtiff/tiffconf.h"
}

# The HEIF decoders and libheif go into the HEIF companion DLL, not into the
# module, so they have no size to fit: -O2, C and C++, and none of their
# tools, tests or encoders.
cmake_cross_o2() {
  cmake_cross "$@" -DCMAKE_C_FLAGS_RELEASE="$OPT -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="$OPT -DNDEBUG"
}

# Which Debian source revision a library was really built from (fetch_source
# may have fallen back to another revision of the same upstream version), for
# the package's notice of where the source of each library is.
record_source() {
  local dsc
  dsc=$(find "$WORK/src" -maxdepth 1 -name '*.dsc' | head -n1)
  mkdir -p "$PREFIX/share"
  basename "$dsc" .dsc | sed 's/_/ /' >"$PREFIX/share/source-package"
}

build_libde265() {
  # Only the decoder is used: the encoder's sources, a third of the
  # library's compile time, are left out of it.
  perl -0pi -e 's/^  en265\.cc\n//m or die; s/^add_subdirectory \(encoder\)\n//m or die;
    s/ \$\{ENCODER_OBJECTS\}// or die' "$SRC/libde265/CMakeLists.txt"
  cmake_cross_o2 "$SRC" "$WORK/build" -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_C_FLAGS="$WIN_LEAN" -DCMAKE_CXX_FLAGS="$WIN_LEAN" \
    -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF
  cmake --build "$WORK/build" -j"$JOBS" --target install
  record_source
}

build_dav1d() {
  # meson, with a cross file for Debian's mingw-w64; the assembly as on
  # Linux (nasm), 8-bit and high bit depths, no logging to stderr. nasm
  # sizes the jumps in one pass (-O1): with its default search for the
  # shortest forms the assembly took 110 of the library's 152 processor
  # seconds, in one pass 80, for code 1.7% larger.
  printf '%s\n' "[binaries]" "c = '$CC'" "ar = '$AR'" "strip = '$TRIPLE-strip'" \
    "windres = '$TRIPLE-windres'" "nasm = ['nasm', '-O1']" "[host_machine]" "system = 'windows'" \
    "cpu_family = 'x86_64'" "cpu = 'x86_64'" "endian = 'little'" >"$WORK/cross.ini"
  meson setup "$WORK/build" "$SRC" --cross-file "$WORK/cross.ini" --prefix "$PREFIX" \
    --libdir lib --buildtype release -Doptimization=2 --default-library static \
    -Denable_tools=false -Denable_tests=false -Denable_examples=false -Dlogging=false \
    -Dbitdepths=8,16 -Denable_asm=true -Dc_args="$WIN_LEAN"
  ninja -C "$WORK/build" -j"$JOBS" install
  record_source
}

build_libheif() {
  # libde265 and dav1d built in, as Debian's libheif1 has them (of its two
  # AV1 decoders it picks dav1d first); no plugin folder is searched; the
  # compressed headers of Debian's build, with the mingw zlib. Only our
  # prefixes answer pkg-config, never the host's .pc files.
  local deps="$(dep_prefix libde265);$(dep_prefix dav1d)"
  PKG_CONFIG_LIBDIR="$(dep_prefix libde265)/lib/pkgconfig:$(dep_prefix dav1d)/lib/pkgconfig" \
    PKG_CONFIG_PATH="" cmake_cross_o2 "$SRC" "$WORK/build" -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_PREFIX_PATH="$deps" -DCMAKE_FIND_ROOT_PATH="$deps" \
    -DENABLE_PLUGIN_LOADING=OFF -DWITH_EXAMPLES=OFF -DWITH_LIBDE265=ON -DWITH_DAV1D=ON \
    -DWITH_AOM_DECODER=OFF -DWITH_AOM_ENCODER=OFF -DWITH_X265=OFF -DWITH_RAV1E=OFF \
    -DWITH_SvtEnc=OFF -DWITH_DEFLATE_HEADER_COMPRESSION=ON
  grep -q "^LIBDE265_LIBRARY:FILEPATH=$(dep_prefix libde265)/" "$WORK/build/CMakeCache.txt"
  grep -q "^DAV1D_LIBRARY:FILEPATH=$(dep_prefix dav1d)/" "$WORK/build/CMakeCache.txt"
  cmake --build "$WORK/build" -j"$JOBS" --target install
  record_source
}

build_lcms2() {
  # Little CMS 2, for the colour conversions of pictures that carry a profile:
  # its library sources compiled for size, as one static library, without
  # the half-float pixel formats that nothing here asks for.
  mkdir -p "$WORK/obj"
  printf '%s\n' "$SRC"/src/*.c |
    compile_all "$WORK/obj" $CC $OPT_SIZE -DNDEBUG -DCMS_NO_HALF_SUPPORT -I"$SRC/include"
  $AR rcs "$WORK/liblcms2.a" "$WORK"/obj/*.o
  install -D -m644 "$WORK/liblcms2.a" "$PREFIX/lib/liblcms2.a"
  install -D -m644 -t "$PREFIX/include" "$SRC/include/lcms2.h"
}

# --- the libraries: source package, the -dev package that names the Linux
# version, recipe, recipe revision (raise it when a recipe changes) ---------
LIBS=(
  "libdeflate      libdeflate-dev      build_libdeflate      3"
  "libjpeg-turbo   libjpeg62-turbo-dev build_libjpeg_turbo   7"
  "libpng1.6       libpng-dev          build_libpng          4"
  "giflib          libgif-dev          build_giflib          3"
  "libwebp         libwebp-dev         build_libwebp         3"
  "tiff            libtiff-dev         build_tiff            4"
  "libde265        libde265-dev        build_libde265        3"
  "dav1d           libdav1d-dev        build_dav1d           3"
  "libheif         libheif-dev         build_libheif         1"
  "lcms2           liblcms2-dev        build_lcms2           2"
)

# The libraries whose recipes read other libraries' prefixes, and those.
declare -A NEEDS=([tiff]="libdeflate libjpeg-turbo" [libheif]="libde265 dav1d")

declare -A PREFIXES
dep_prefix() { echo "${PREFIXES[$1]}"; }

# The libraries are built side by side, a few at a time: a build spends much
# of its time in steps that use one processor (fetching and unpacking the
# source, configuring, archiving), which the others' compiling fills: on
# two idle processors a cold cache took 197 s instead of 240 s one library
# at a time, the processors then busy throughout.
MAX_BUILDS=$((JOBS * 2))
declare -A BUILDING=()  # process id -> library
failed=0

# The end of the build of process $1 with status $2: a failure is reported.
ended() {
  local pkg=${BUILDING[$1]}
  unset "BUILDING[$1]"
  if [ "$2" -ne 0 ]; then
    say "building $pkg failed; the last lines of its log:"
    tail -n 30 "$CACHE/logs/$pkg.log" >&2
    rm -rf "${PREFIXES[$pkg]}"
    failed=1
  fi
}
# Waits for the build of process $1, or for whichever build ends first.
finish() {
  local status=0
  wait "$1" || status=$?
  ended "$1" "$status"
}
finish_any() {
  local pid="" status=0
  wait -n -p pid "${!BUILDING[@]}" || status=$?
  ended "$pid" "$status"
}

# start <entry>: unless the cache holds it, builds the library in the
# background, once the libraries it needs are built.
start() {
  local pkg dev recipe revision version key pid dep
  read -r pkg dev recipe revision <<<"$1"
  version=$(installed_source_version "$dev")
  if [ -z "$version" ]; then
    say "$dev is not installed: run scripts/deps.sh first"
    exit 1
  fi
  # Key: the Linux package's version, the recipe's revision and the
  # compiler; libtiff's and libheif's also name the libraries they are
  # built against.
  key="$pkg-${version//:/_}-r$revision-gcc$GCC_VERSION"
  for dep in ${NEEDS[$pkg]:-}; do key="$key+$(basename "$(dep_prefix "$dep")")"; done
  PREFIX=$CACHE/$key
  PREFIXES[$pkg]=$PREFIX
  [ -f "$PREFIX/.complete" ] && return 0
  for dep in ${NEEDS[$pkg]:-}; do
    for pid in "${!BUILDING[@]}"; do
      [ "${BUILDING[$pid]:-}" = "$dep" ] && finish "$pid"
    done
  done
  while [ "${#BUILDING[@]}" -ge "$MAX_BUILDS" ]; do finish_any; done
  [ "$failed" -eq 0 ] || return 0
  say "building $pkg $version for Windows (log: $CACHE/logs/$pkg.log)"
  prepare_apt
  WORK=$(mktemp -d "$CACHE/work-$pkg-XXXXXX")
  rm -rf "$PREFIX"
  (
    set -e
    fetch_source "$pkg" "$version" "$WORK/src"
    SRC=$(source_tree "$WORK/src")
    "$recipe"
    touch "$PREFIX/.complete"
    rm -rf "$WORK"
  ) 3>&2 >"$CACHE/logs/$pkg.log" 2>&1 &
  BUILDING[$!]=$pkg
}

# Those that need none first, so that nothing waits behind a dependent.
for entry in "${LIBS[@]}"; do
  read -r pkg _ <<<"$entry"
  if [ -z "${NEEDS[$pkg]:-}" ]; then start "$entry"; fi
done
for entry in "${LIBS[@]}"; do
  read -r pkg _ <<<"$entry"
  if [ -n "${NEEDS[$pkg]:-}" ]; then start "$entry"; fi
done
for pid in "${!BUILDING[@]}"; do finish "$pid"; done
if [ "$failed" -ne 0 ]; then
  rm -rf "$CACHE"/work-*
  exit 1
fi

for entry in "${LIBS[@]}"; do
  read -r pkg _ <<<"$entry"
  echo "${PREFIXES[$pkg]}"
done
