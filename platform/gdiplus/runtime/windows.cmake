# The runtime on Windows: the codec libraries are the static ones that
# scripts/windows-codecs.sh cross-built (found through CMAKE_PREFIX_PATH and
# CMAKE_FIND_ROOT_PATH), linked into gdiplus.dll together with the C++
# runtime, so that the module needs nothing beside it.
set(ORV_CODEC_LIBRARIES)
# In link order: each library before the ones it uses.
foreach(lib tiff webpdemux webp png16 jpeg deflate gif lcms2 z)
  find_library(ORV_WIN_${lib} NAMES lib${lib}.a REQUIRED NO_CACHE)
  list(APPEND ORV_CODEC_LIBRARIES ${ORV_WIN_${lib}})
endforeach()
find_path(ORV_WIN_CODEC_INCLUDES NAMES jpeglib.h REQUIRED NO_CACHE)
foreach(header png.h tiffio.h gif_lib.h webp/decode.h libdeflate.h lcms2.h)
  string(MAKE_C_IDENTIFIER ${header} id)
  find_path(ORV_WIN_INC_${id} NAMES ${header} REQUIRED NO_CACHE)
  list(APPEND ORV_WIN_CODEC_INCLUDE_DIRS ${ORV_WIN_INC_${id}})
endforeach()
list(REMOVE_DUPLICATES ORV_WIN_CODEC_INCLUDE_DIRS)
add_library(orv_win_codecs INTERFACE)
target_include_directories(orv_win_codecs SYSTEM INTERFACE ${ORV_WIN_CODEC_INCLUDES}
                           ${ORV_WIN_CODEC_INCLUDE_DIRS})
target_link_libraries(orv_win_codecs INTERFACE ${ORV_CODEC_LIBRARIES})
set(ORV_CODEC_LIBRARIES orv_win_codecs)

set(ORV_SYSTEM_CODEC_SOURCES physical_memory_windows.cpp threads_windows.cpp
  companion_windows.cpp heap_trim_windows.cpp)
set(ORV_ABSENT_CODECS)
set(ORV_COMPANION_CODECS heif)
set(ORV_SYSTEM_MODULE_SOURCES file_io_windows.cpp windows/gdiplus.rc windows/terminate_handler.cpp)
# Room in the module of fixed size: the runtime's code that no pixel loop
# runs (the codec list, metadata and colour set-up, the formats that are only
# read as glue around their libraries or their companion) is compiled for size.
# So is the file access: its time is the system's calls, not its own code,
# and the threads' hand-out of work (parallel.cpp, flat_api.cpp's calls),
# whose time is the tasks' own.
set_source_files_properties(codec_registry.cpp metadata.cpp colour.cpp codec_ico.cpp
  codec_webp.cpp codec_heif_companion.cpp budget.cpp file_io_windows.cpp file_io_common.cpp
  threads_windows.cpp parallel.cpp flat_api.cpp PROPERTIES COMPILE_OPTIONS -Os)
# ntdll: a file's index without a query of its volume (file_io_windows.cpp).
set(ORV_SYSTEM_MODULE_LIBRARIES ntdll)
set(ORV_MODULE_EXPORT_DIR ${CMAKE_CURRENT_SOURCE_DIR}/windows)

# The HEIF companion DLL, orv-heif.dll beside gdiplus.dll: the decoder of
# codec_heif.cpp with libheif, libde265, dav1d, lcms2 (the profiles made
# from nclx colour statements), zlib and the C++ runtime linked in, behind the small C interface of heif_companion_abi.h (its only
# exports). libheif and libde265 are under the LGPL: as a DLL of its own, the
# part holding them can be replaced. Its pixel sizes are held to the
# module's budget, which every request brings.
find_package(Threads REQUIRED)
foreach(lib heif de265 dav1d)
  find_library(ORV_WIN_${lib} NAMES lib${lib}.a REQUIRED NO_CACHE)
endforeach()
find_path(ORV_WIN_INC_libheif NAMES libheif/heif.h REQUIRED NO_CACHE)
add_library(orv_heif_includes INTERFACE)
target_include_directories(orv_heif_includes SYSTEM INTERFACE ${ORV_WIN_INC_libheif}
                           ${ORV_WIN_INC_lcms2_h})
add_library(heif_companion SHARED codec_heif.cpp heif_companion.cpp heif_sniff.cpp
  heif_quiet.cpp heif_quiet_windows.cpp budget.cpp heap_trim_windows.cpp colour.cpp parallel.cpp
  threads_windows.cpp)
set_target_properties(heif_companion PROPERTIES OUTPUT_NAME orv-heif PREFIX "" SUFFIX ".dll"
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_link_libraries(heif_companion PRIVATE orv_heif_includes
  ${ORV_WIN_heif} ${ORV_WIN_de265} ${ORV_WIN_dav1d} ${ORV_WIN_lcms2} ${ORV_WIN_z} Threads::Threads)
target_link_options(heif_companion PRIVATE -static -s -Wl,--exclude-all-symbols)
orv_strict(heif_companion)

# The finished module: only the functions marked for export leave it; the
# C++ runtime and threads are inside; padded to its published size. Sections
# nothing refers to are dropped (14 KB of the static libraries' code), which
# keeps the module within that size.
function(orv_windows_module target)
  target_link_options(${target} PRIVATE -static -Wl,--exclude-all-symbols -Wl,--gc-sections)
  # Whatever runs the module finds the HEIF companion built beside it.
  add_dependencies(${target} heif_companion)
  orv_strict(${target})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND}
      -DMODULE=$<TARGET_FILE:${target}>
      -DSIZE=1724416
      -DKEEP_DEBUG=OFF
      -DSTRIP=${CMAKE_STRIP}
      -DOBJCOPY=${CMAKE_OBJCOPY}
      -P ${PROJECT_SOURCE_DIR}/cmake/pad_module.cmake
    VERBATIM)
endfunction()

# What the program and the tests link: a delay-load import library of the
# module. The system loader then needs gdiplus.dll only at the first flat API
# call, which comes after the start-up check, so that a missing module is
# reported by the program's own message box, not by the loader. It is found
# as the loader finds any DLL: beside the executable first.
find_program(ORV_DLLTOOL NAMES ${ORV_MINGW_TRIPLE}-dlltool REQUIRED)
set(ORV_GDIPLUS_DELAYLIB ${CMAKE_CURRENT_BINARY_DIR}/libgdiplus_delay.a)
add_custom_command(OUTPUT ${ORV_GDIPLUS_DELAYLIB}
  COMMAND ${ORV_DLLTOOL} --input-def ${CMAKE_CURRENT_SOURCE_DIR}/windows/gdiplus.def
          --dllname gdiplus.dll --output-delaylib ${ORV_GDIPLUS_DELAYLIB}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/gdiplus.def
  VERBATIM)
add_custom_target(gdiplus_delaylib DEPENDS ${ORV_GDIPLUS_DELAYLIB})
set(ORV_GDIPLUS_DELAYLIB ${ORV_GDIPLUS_DELAYLIB} PARENT_SCOPE)
