# Test programs under Wine as ctest entries of their own, so that ctest runs
# them side by side and its summary names the one that fails:
#
#   orv_add_wine_tests(<target> <runner> <prefix folder> SOURCES <files...>
#                      [PER_TEST] [EXCLUDE <Suite.Test>...] [ENVIRONMENT <VAR=value>...])
#
# The tests are read from the sources (TEST and TEST_F; the build has no
# other kind). One entry per test suite, `Wine.<target>.<Suite>`, or with
# PER_TEST one per test, `Wine.<target>.<Suite>.<Test>`; excluded tests get no
# entry and are left out of their suite's filter. The runner (wine-run.sh or
# wine-window-run.sh) is the target's emulator. One more entry,
# `Wine.<target>.EveryTestHasAnEntry`, fails when the program lists a test that
# the sources did not show (a test macro this reading does not know).
#
#   orv_add_wine_test_variant(<target> <variant> <runner> <prefix folder>
#                             SOURCES <files...> SUITES <Suite>...
#                             [ENVIRONMENT <VAR=value>...])
#
# The tests of the given suites once more, one entry per test,
# `Wine.<target>.<variant>.<Suite>.<Test>`, run by <runner> in prefixes of
# their own (a display of another resolution, say); the target's own entries
# stay as they are.

# The tests the sources hold, as Suite.Test.
function(orv_wine_tests_in out)
  set(tests)
  foreach(source IN LISTS ARGN)
    file(READ ${source} text)
    string(REGEX MATCHALL "\n(TEST|TEST_F)\\([ \t\n]*[A-Za-z0-9_]+,[ \t\n]*[A-Za-z0-9_]+\\)" found
           "${text}")
    foreach(match IN LISTS found)
      string(REGEX REPLACE ".*\\([ \t\n]*([A-Za-z0-9_]+),[ \t\n]*([A-Za-z0-9_]+)\\)" "\\1.\\2" name
             "${match}")
      list(APPEND tests ${name})
    endforeach()
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARGN})
  set(${out} ${tests} PARENT_SCOPE)
endfunction()

function(orv_add_wine_tests target runner prefix)
  cmake_parse_arguments(ARG "PER_TEST" "" "SOURCES;EXCLUDE;ENVIRONMENT" ${ARGN})
  orv_wine_tests_in(tests ${ARG_SOURCES})
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR
                                             "${runner};${ORV_WINE64};${prefix}")
  set(listed ${tests})
  if(ARG_EXCLUDE)
    list(REMOVE_ITEM tests ${ARG_EXCLUDE})
  endif()

  set(entries)
  if(ARG_PER_TEST)
    foreach(test IN LISTS tests)
      add_test(NAME Wine.${target}.${test} COMMAND ${target} --gtest_filter=${test})
      list(APPEND entries Wine.${target}.${test})
    endforeach()
  else()
    set(suites)
    foreach(test IN LISTS tests)
      string(REGEX REPLACE "\\..*" "" suite "${test}")
      list(APPEND suites ${suite})
    endforeach()
    list(REMOVE_DUPLICATES suites)
    set(negative "")
    if(ARG_EXCLUDE)
      list(JOIN ARG_EXCLUDE ":" negative)
      set(negative ":-${negative}")
    endif()
    foreach(suite IN LISTS suites)
      add_test(NAME Wine.${target}.${suite} COMMAND ${target} --gtest_brief=1
                                               "--gtest_filter=${suite}.*${negative}")
      list(APPEND entries Wine.${target}.${suite})
    endforeach()
  endif()
  set_tests_properties(${entries} PROPERTIES TIMEOUT 600)
  if(ARG_ENVIRONMENT)
    set_tests_properties(${entries} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()

  list(JOIN listed "," listed)
  add_test(NAME Wine.${target}.EveryTestHasAnEntry
    COMMAND ${CMAKE_COMMAND} "-DPROGRAM=$<TARGET_FILE:${target}>" "-DRUNNER=${runner}"
            "-DWINE=${ORV_WINE64}" "-DPREFIX=${prefix}" "-DEXPECTED=${listed}"
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wine_tests_listed.cmake)
endfunction()

function(orv_add_wine_test_variant target variant runner prefix)
  cmake_parse_arguments(ARG "" "" "SOURCES;SUITES;ENVIRONMENT" ${ARGN})
  orv_wine_tests_in(tests ${ARG_SOURCES})
  set(entries)
  foreach(test IN LISTS tests)
    string(REGEX REPLACE "\\..*" "" suite "${test}")
    if(suite IN_LIST ARG_SUITES)
      # The runner named here, not the target's emulator: another prefix.
      add_test(NAME Wine.${target}.${variant}.${test}
        COMMAND ${runner} ${ORV_WINE64} ${prefix} $<TARGET_FILE:${target}> --gtest_filter=${test})
      list(APPEND entries Wine.${target}.${variant}.${test})
    endif()
  endforeach()
  if(NOT entries)
    message(FATAL_ERROR "${target}: no test of ${ARG_SUITES} for the ${variant} entries")
  endif()
  set_tests_properties(${entries} PROPERTIES TIMEOUT 600)
  if(ARG_ENVIRONMENT)
    set_tests_properties(${entries} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
endfunction()
