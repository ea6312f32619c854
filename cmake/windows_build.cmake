# The Windows build: the imaging runtime as gdiplus.dll, the program and its
# package (cmake/windows_program.cmake), the runtime's tests (run under Wine
# by ctest) and a command-line probe. The codec libraries come from
# scripts/windows-codecs.sh.
enable_language(RC)
set(CMAKE_POSITION_INDEPENDENT_CODE OFF)
# Executables carry the C++ runtime inside, as the module does, so that
# nothing but gdiplus.dll has to lie beside them.
add_link_options(-static)

add_subdirectory(platform/gdiplus)
include(cmake/windows_program.cmake)

# The imaging benchmark's own side, the same source as on Linux, which
# bench/windows/runtime.sh runs under Wine against the Linux build's.
add_executable(bench_imaging_ours EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/bench/imaging/ours_run.cpp)
target_link_libraries(bench_imaging_ours PRIVATE orv_gdiplus)
target_link_options(bench_imaging_ours PRIVATE -municode)  # wmain: arguments in UTF-16
orv_strict(bench_imaging_ours)

if(ORV_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
endif()
