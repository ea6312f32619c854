# Fails when a test program lists a test that has no ctest entry of its own
# (wine_tests.cmake read the sources and missed it), naming the test.
#   cmake -DPROGRAM=<exe> -DRUNNER=<runner> -DWINE=<wine64> -DPREFIX=<prefix>
#         -DEXPECTED=<Suite.Test,...> -P wine_tests_listed.cmake
cmake_policy(SET CMP0057 NEW)  # if(... IN_LIST ...)
string(REPLACE "," ";" EXPECTED "${EXPECTED}")
execute_process(COMMAND ${RUNNER} ${WINE} ${PREFIX} ${PROGRAM} --gtest_list_tests
                OUTPUT_VARIABLE out RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${result})")
endif()
string(REPLACE "\r" "" out "${out}")
string(REPLACE ";" "," out "${out}")
string(REPLACE "\n" ";" lines "${out}")
set(missing)
set(suite "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.")
    set(suite ${CMAKE_MATCH_1})
  elseif(line MATCHES "^  ([A-Za-z0-9_/]+)")
    if(NOT "${suite}.${CMAKE_MATCH_1}" IN_LIST EXPECTED)
      list(APPEND missing "${suite}.${CMAKE_MATCH_1}")
    endif()
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "Tests without a ctest entry:\n  ${missing}")
endif()
