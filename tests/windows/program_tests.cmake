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
set(E ${PROJECT_SOURCE_DIR}/tests/engine)
set(U ${PROJECT_SOURCE_DIR}/tests/ui)

set(ORV_ENGINE_TEST_SOURCES
  ${E}/report_test.cpp
  ${E}/dest_folder_test.cpp
  ${E}/transcode_test.cpp
  ${E}/run_sources_test.cpp)
add_executable(tests_engine ${ORV_ENGINE_TEST_SOURCES})
target_link_libraries(tests_engine PRIVATE orv_test_support orv_program)
orv_strict(tests_engine)
orv_test_code(tests_engine)

set(ORV_WINDOW_TEST_SOURCES
  ${U}/whole_run_test.cpp
  ${U}/run_control_test.cpp
  ${U}/options_test.cpp
  ${U}/keyboard_test.cpp
  ${U}/folders_test.cpp
  ${U}/random_presses_test.cpp
  ${U}/dropped_folders_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/program_windows_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/idle_timers_test.cpp)
add_executable(tests_ui ${ORV_WINDOW_TEST_SOURCES}
               ${PROJECT_SOURCE_DIR}/tests/platform/framework/test_dialog.cpp ${ORV_RESOURCE_SCRIPT})
target_link_libraries(tests_ui PRIVATE orv_test_support orv_program orv_framework_testing)
orv_strict(tests_ui)
orv_test_code(tests_ui)

orv_add_wine_tests(tests_engine ${CMAKE_CURRENT_SOURCE_DIR}/wine-run.sh
                   ${CMAKE_BINARY_DIR}/wine-prefix SOURCES ${ORV_ENGINE_TEST_SOURCES})

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
# Random presses: under Wine the first ten seeds of the twenty that Linux
# walks. The presses and the run's logic are the same code on both; what
# differs is the loop, the timers and the dialog manager, which ten seeds
# (4,000 presses and turns) walk as well; the twenty took about 55 of the
# Windows test run's 76 processor seconds.
list(APPEND ORV_LINUX_ONLY_WINDOW_TESTS RandomPresses.InvariantsHoldAfterEveryTurnSeeds11To15
            RandomPresses.InvariantsHoldAfterEveryTurnSeeds16To20)
# One entry per window test: each runs on a virtual display of its own, in
# one of a few Wine prefixes that runs side by side take turns with
# (wine-window-run.sh).
orv_add_wine_tests(tests_ui ${CMAKE_CURRENT_SOURCE_DIR}/wine-window-run.sh
                   ${CMAKE_BINARY_DIR}/wine-prefix-windows PER_TEST
                   SOURCES ${ORV_WINDOW_TEST_SOURCES} EXCLUDE ${ORV_LINUX_ONLY_WINDOW_TESTS}
                   ENVIRONMENT ORV_EXPECTED_DPI=96)
# By far the longest entries under Wine (twenty seconds each, against two on
# Linux): started first, so that the others run beside them.
set_tests_properties(Wine.tests_ui.RandomPresses.InvariantsHoldAfterEveryTurnSeeds1To5
                     Wine.tests_ui.RandomPresses.InvariantsHoldAfterEveryTurnSeeds6To10
                     PROPERTIES COST 1000)
# The window as the dialog manager lays it out on a display of 144 dpi (150%):
# prefixes of their own, whose template is made with LogPixels 144.
orv_add_wine_test_variant(tests_ui 144dpi ${CMAKE_CURRENT_SOURCE_DIR}/wine-window-run.sh
                          ${CMAKE_BINARY_DIR}/wine-prefix-windows-144dpi
                          SOURCES ${ORV_WINDOW_TEST_SOURCES}
                          SUITES WindowsTemplate WindowsResolution
                          ENVIRONMENT ORV_WINE_DPI=144 ORV_EXPECTED_DPI=144)
# The first of them makes its prefixes' template (wineboot): started early,
# beside the other entries.
set_tests_properties(Wine.tests_ui.144dpi.WindowsTemplate.TheWindowIsTemplate102AsTheDialogManagerMakesIt
                     PROPERTIES COST 900)

# The setup program: a silent install for the current user, the installed
# program's window, a silent uninstall that leaves nothing behind, in a prefix
# made afresh for it.
add_test(NAME Wine.setup.InstallUninstall
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/installer_test.sh ${ORV_WINE64}
          ${CMAKE_BINARY_DIR}/wine-prefix-installer ${ORV_SETUP})
# A minute or more (a prefix of its own, an install and an uninstall):
# started early, beside the other entries.
set_tests_properties(Wine.setup.InstallUninstall PROPERTIES TIMEOUT 600 COST 700)
