# The program itself in the Windows build: the same program code as on
# Linux, over the Windows backend of platform/ (the real Win32 API), and the
# package a Windows user unpacks and runs.
add_subdirectory(util)
add_subdirectory(platform/win32)
add_subdirectory(platform/framework)
add_subdirectory(res)

add_library(orv_program STATIC)
target_link_libraries(orv_program PUBLIC orv_util orv_framework orv_filefind orv_win32 orv_gdiplus)
orv_strict(orv_program)
add_subdirectory(engine)
add_subdirectory(ui)
add_subdirectory(app)

# dist/kestrune-orvane-<version>-win64.zip: the executable, gdiplus.dll and
# the HEIF companion orv-heif.dll in one folder (the C++ runtime is linked
# into each), with licenses/, the licence texts of every library in them
# (cmake/windows_licenses.cmake).
set(ORV_DIST_NAME kestrune-orvane-${PROJECT_VERSION}-win64)
set(ORV_DIST_STAGE ${CMAKE_BINARY_DIR}/dist/${ORV_DIST_NAME})
set(ORV_DIST_ZIP ${CMAKE_BINARY_DIR}/dist/${ORV_DIST_NAME}.zip)
add_custom_command(
  OUTPUT ${ORV_DIST_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ORV_DIST_STAGE} ${ORV_DIST_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ORV_DIST_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kestrune-orvane> $<TARGET_FILE:gdiplus_module>
          $<TARGET_FILE:heif_companion> ${ORV_DIST_STAGE}
  COMMAND ${CMAKE_COMMAND} -DOUT=${ORV_DIST_STAGE}/licenses "-DPREFIXES=${CMAKE_PREFIX_PATH}"
          -P ${PROJECT_SOURCE_DIR}/cmake/windows_licenses.cmake
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/dist
          ${CMAKE_COMMAND} -E tar cf ${ORV_DIST_ZIP} --format=zip ${ORV_DIST_NAME}
  DEPENDS kestrune-orvane gdiplus_module heif_companion
          ${PROJECT_SOURCE_DIR}/cmake/windows_licenses.cmake
  COMMENT "Packaging ${ORV_DIST_NAME}.zip"
  VERBATIM)
add_custom_target(dist ALL DEPENDS ${ORV_DIST_ZIP})

# dist/kestrune-orvane-<version>-setup.exe: the zip's staged folder as a setup
# program (NSIS, res/windows/installer.nsi) that installs for the current user
# only; its lists of files are read from the staged folder at each build.
find_program(ORV_MAKENSIS makensis REQUIRED)
set(ORV_SETUP ${CMAKE_BINARY_DIR}/dist/kestrune-orvane-${PROJECT_VERSION}-setup.exe)
set(ORV_SETUP_FILES ${CMAKE_BINARY_DIR}/installer)
add_custom_command(
  OUTPUT ${ORV_SETUP}
  COMMAND ${CMAKE_COMMAND} -DSTAGE=${ORV_DIST_STAGE} -DOUT=${ORV_SETUP_FILES}
          -P ${PROJECT_SOURCE_DIR}/cmake/installer_files.cmake
  COMMAND ${ORV_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION}
          -DFILES=${ORV_SETUP_FILES} -DICON=${PROJECT_SOURCE_DIR}/res/icon/app.ico
          -DOUTFILE=${ORV_SETUP} ${PROJECT_SOURCE_DIR}/res/windows/installer.nsi
  DEPENDS ${ORV_DIST_ZIP} ${PROJECT_SOURCE_DIR}/res/windows/installer.nsi
          ${PROJECT_SOURCE_DIR}/cmake/installer_files.cmake
  COMMENT "Writing the setup program kestrune-orvane-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
add_custom_target(setup ALL DEPENDS ${ORV_SETUP})
