# The program's engine and window tests, the same sources as on Linux, built
# against the Windows backend of platform/ and run by ctest under Wine: the
# engine tests headless, the window tests on a virtual display of their own.
# Left out: startup_state_test.cpp and run_control_drawing_test.cpp (they read
# the Qt widgets and renderings of the Linux framework: fonts, pixel sizes,
# what the screen shows), folder_window_x11_test.cpp (the X server's window list) and
# scan_test.cpp (it compares the scan with the host's own directory reading
# and makes what only a Linux file system holds: names that are not UTF-8,
# 70,000 hard links, paths beyond 4,095 bytes) and naming_test.cpp (it
# writes its files under host names made by the Linux path mapping).
set(S ${PROJECT_SOURCE_DIR}/tests/support)
set(E ${PROJECT_SOURCE_DIR}/tests/engine)
set(U ${PROJECT_SOURCE_DIR}/tests/ui)

add_library(orv_windows_test_main STATIC
  ${S}/test_main.cpp ${S}/temp_dir.cpp ${S}/temp_dir_windows.cpp ${S}/unprivileged_windows.cpp
  ${S}/scoped_env.cpp ${S}/scoped_env_windows.cpp)
target_link_libraries(orv_windows_test_main PUBLIC gtest orv_framework orv_win32)
target_sources(orv_windows_test_main INTERFACE $<TARGET_OBJECTS:orv_res>)
orv_strict(orv_windows_test_main)

add_executable(tests_engine
  ${E}/report_test.cpp
  ${E}/dest_folder_test.cpp
  ${E}/transcode_test.cpp
  ${E}/run_sources_test.cpp)
target_link_libraries(tests_engine PRIVATE orv_windows_test_main orv_program)
orv_strict(tests_engine)

add_executable(tests_ui
  ${S}/dialog_session.cpp
  ${S}/scoped_home_windows.cpp
  ${S}/image_files.cpp
  ${S}/image_convert.cpp
  ${U}/whole_run_test.cpp
  ${U}/run_control_test.cpp
  ${U}/options_test.cpp
  ${U}/keyboard_test.cpp
  ${U}/folders_test.cpp
  ${U}/random_presses_test.cpp
  ${U}/dropped_folders_test.cpp
  program_windows_test.cpp
  idle_timers_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/platform/framework/test_dialog.cpp
  ${ORV_RESOURCE_SCRIPT})
target_link_libraries(tests_ui PRIVATE orv_windows_test_main orv_program orv_framework_testing
                      orv_probe_convert)
orv_strict(tests_ui)

add_test(NAME WineEngineTests
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine-run.sh ${ORV_WINE64} ${CMAKE_BINARY_DIR}/wine-prefix
          $<TARGET_FILE:tests_engine> --gtest_brief=1)
# Window tests whose expectations hold only on Linux's file system and path
# mapping: names that differ only in case are two files there
# (NameClashesFollowThePolicy, OverwriteIntoTheSourceFolderKeepsTheOriginals);
# symbolic links need a privilege on Windows (OverwriteReplacesNoSourceOfTheRun);
# names that are not UTF-8 or hold a backslash exist only there
# (AnyFileNameComesBackInTheOutputName); a file named with a trailing
# backslash is found there (OpenButtonsFollowTheTypedPathWithoutRewritingIt);
# "/" is a host path (DroppedFolders); drive C: is the test's home folder
# there, and Wine's dialog manager also stops at each radio button that has a
# tab stop (TabWalksTheTemplateOrderAndEntersTheGroupAtItsCheckedRadio).
set(ORV_LINUX_ONLY_WINDOW_TESTS
  WholeRun.NameClashesFollowThePolicy
  WholeRun.OverwriteIntoTheSourceFolderKeepsTheOriginals
  WholeRun.OverwriteReplacesNoSourceOfTheRun
  WholeRun.AnyFileNameComesBackInTheOutputName
  Folders.OpenButtonsFollowTheTypedPathWithoutRewritingIt
  DroppedFolders.TheFolderGoesToTheEditItLandsOnOrElseToTheSource
  Keyboard.TabWalksTheTemplateOrderAndEntersTheGroupAtItsCheckedRadio)
list(JOIN ORV_LINUX_ONLY_WINDOW_TESTS ":" ORV_LINUX_ONLY_WINDOW_TESTS)
add_test(NAME WineWindowTests
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine-window-run.sh ${ORV_WINE64}
          ${CMAKE_BINARY_DIR}/wine-prefix-windows $<TARGET_FILE:tests_ui> --gtest_brief=1
          --gtest_filter=-${ORV_LINUX_ONLY_WINDOW_TESTS})
set_tests_properties(WineWindowTests PROPERTIES ENVIRONMENT ORV_EXPECTED_DPI=96)
# The window as the dialog manager lays it out on a display of 144 dpi (150%).
add_test(NAME WineWindowTests144Dpi
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine-window-run.sh ${ORV_WINE64}
          ${CMAKE_BINARY_DIR}/wine-prefix-windows-144dpi $<TARGET_FILE:tests_ui> --gtest_brief=1
          --gtest_filter=WindowsTemplate.*:WindowsResolution.*)
set_tests_properties(WineWindowTests144Dpi PROPERTIES
  ENVIRONMENT "ORV_WINE_DPI=144;ORV_EXPECTED_DPI=144")
set_tests_properties(WineEngineTests WineWindowTests WineWindowTests144Dpi PROPERTIES TIMEOUT 900)

# The setup program: a silent install for the current user, the installed
# program's window, a silent uninstall that leaves nothing behind.
add_test(NAME WineInstallUninstall
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/installer_test.sh ${ORV_WINE64}
          ${CMAKE_BINARY_DIR}/wine-prefix-installer ${ORV_SETUP})
set_tests_properties(WineInstallUninstall PROPERTIES TIMEOUT 600)
