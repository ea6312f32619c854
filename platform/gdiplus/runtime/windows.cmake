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

set(ORV_SYSTEM_CODEC_SOURCES physical_memory_windows.cpp allowed_cpus_windows.cpp)
set(ORV_ABSENT_CODECS heif)
set(ORV_SYSTEM_MODULE_SOURCES file_io_windows.cpp windows/gdiplus.rc windows/terminate_handler.cpp)
# Room in the module of fixed size: the runtime's code that no pixel loop
# runs (the codec list, metadata and colour set-up, the formats that are only
# read as glue around their libraries) is compiled for size.
set_source_files_properties(codec_registry.cpp metadata.cpp colour.cpp codec_ico.cpp
  codec_webp.cpp codec_heif_absent.cpp budget.cpp PROPERTIES COMPILE_OPTIONS -Os)
set(ORV_SYSTEM_MODULE_LIBRARIES)
set(ORV_MODULE_EXPORT_DIR ${CMAKE_CURRENT_SOURCE_DIR}/windows)

# The finished module: only the functions marked for export leave it; the
# C++ runtime and threads are inside; padded to its published size.
function(orv_windows_module target)
  target_link_options(${target} PRIVATE -static -Wl,--exclude-all-symbols)
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
