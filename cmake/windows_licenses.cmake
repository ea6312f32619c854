# Writes the licences folder of the Windows package (cmake -P):
#   -DOUT=<folder> -DPREFIXES=<the codec libraries' install folders, ;-separated>
# For every library linked into the executable, gdiplus.dll or orv-heif.dll:
# the copyright file of its Debian package (the source package's
# debian/copyright, as Debian installs it), the full texts of the licences
# those files name from /usr/share/common-licenses, and README.txt, which
# names each library's Debian source package and version and the module
# that holds it. A library whose package is not installed fails the build.
set(libraries
  # name | Debian package with its copyright file | cache name of its
  # cross-built source (- when not cross-built) | where
  "libjpeg-turbo|libjpeg62-turbo-dev|libjpeg-turbo|gdiplus.dll"
  "libpng|libpng-dev|libpng1.6|gdiplus.dll"
  "zlib|libz-mingw-w64-dev|-|gdiplus.dll, orv-heif.dll"
  "giflib|libgif-dev|giflib|gdiplus.dll"
  "libwebp|libwebp-dev|libwebp|gdiplus.dll"
  "libtiff|libtiff-dev|tiff|gdiplus.dll"
  "libdeflate|libdeflate-dev|libdeflate|gdiplus.dll"
  "lcms2|liblcms2-dev|lcms2|gdiplus.dll, orv-heif.dll"
  "libheif|libheif-dev|libheif|orv-heif.dll (LGPL: replaceable, see below)"
  "libde265|libde265-dev|libde265|orv-heif.dll (LGPL: replaceable, see below)"
  "dav1d|libdav1d-dev|dav1d|orv-heif.dll"
  "gcc-runtime|gcc-mingw-w64-base|-|every module: libstdc++ and libgcc, under the GCC Runtime Library Exception"
  "mingw-w64-runtime|mingw-w64-common|-|every module: the mingw-w64 start-up code and winpthreads")

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/common-licenses)
set(readme "Licences of the libraries in kestrune-orvane.exe, gdiplus.dll and orv-heif.dll.

Each <library>.txt is the copyright file of the library's Debian package;
common-licenses/ holds the full texts those files refer to. The libraries
are built from these Debian source packages (apt-get source NAME=VERSION, or
https://snapshot.debian.org/package/NAME/VERSION/):

")
set(common "")
foreach(entry IN LISTS libraries)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 name)
  list(GET fields 1 package)
  list(GET fields 2 cache)
  list(GET fields 3 where)
  set(copyright /usr/share/doc/${package}/copyright)
  if(NOT EXISTS ${copyright})
    message(FATAL_ERROR "${copyright} is missing: run scripts/deps.sh")
  endif()
  configure_file(${copyright} ${OUT}/${name}.txt COPYONLY)
  # The source version: as the cross-build recorded it, else the package's.
  set(source "")
  foreach(prefix IN LISTS PREFIXES)
    get_filename_component(base ${prefix} NAME)
    if(NOT cache STREQUAL "-" AND base MATCHES "^${cache}-[0-9]" AND EXISTS ${prefix}/share/source-package)
      file(STRINGS ${prefix}/share/source-package source LIMIT_COUNT 1)
    endif()
  endforeach()
  if(NOT source)
    execute_process(COMMAND dpkg-query -W "-f=\${source:Package} \${source:Version}" ${package}
      OUTPUT_VARIABLE source COMMAND_ERROR_IS_FATAL ANY)
  endif()
  string(APPEND readme "  ${name}: ${source}\n      in ${where}\n")
  file(READ ${copyright} text)
  string(REGEX MATCHALL "/usr/share/common-licenses/[A-Za-z0-9.+-]*[A-Za-z0-9+]" named "${text}")
  list(APPEND common ${named})
endforeach()
list(REMOVE_DUPLICATES common)
foreach(licence IN LISTS common)
  if(EXISTS ${licence})
    get_filename_component(licence_name ${licence} NAME)
    get_filename_component(real ${licence} REALPATH)
    configure_file(${real} ${OUT}/common-licenses/${licence_name} COPYONLY)
  endif()
endforeach()
# The LGPL version 3 supplements the GPL version 3, whose text goes with it.
foreach(licence LGPL-3 GPL-3)
  configure_file(/usr/share/common-licenses/${licence} ${OUT}/common-licenses/${licence} COPYONLY)
endforeach()
string(APPEND readme "
Some of these sources are changed before they are built, each change made
and described by scripts/windows-codecs.sh in the program's source:
libjpeg-turbo's SSE2 Huffman coder counts bit lengths with an instruction
instead of tables (the same output) and its C Huffman coder is left out,
and libde265 is built without its encoder's files.

libheif and libde265 are under the GNU Lesser General Public License,
version 3 or later (common-licenses/LGPL-3 with common-licenses/GPL-3). They
are linked only into orv-heif.dll, which the program loads from its own
folder at run time; you may replace orv-heif.dll with one built from
modified versions of them. Its interface is the C interface of
platform/gdiplus/runtime/heif_companion_abi.h in the program's source, and
scripts/windows-codecs.sh with platform/gdiplus/runtime/windows.cmake build
it from the source packages above.
")
file(WRITE ${OUT}/README.txt "${readme}")
