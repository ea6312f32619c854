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

if(ORV_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
endif()
