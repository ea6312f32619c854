# Fails when a source file of ours differs from what .clang-format makes of it,
# or does not open with the comment that says what it holds.
#   cmake -DSOURCE_DIR=<repo> -DCLANG_FORMAT=<program> -P check_format.cmake
set(files)
foreach(folder app ui engine util res platform tests bench fuzz)
  file(GLOB_RECURSE found ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h
       ${SOURCE_DIR}/${folder}/*.c)
  list(APPEND files ${found})
endforeach()
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files}
                RESULT_VARIABLE result ERROR_VARIABLE report)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Sources not formatted with .clang-format (run clang-format -i):\n${report}")
endif()
set(uncommented)
foreach(file ${files})
  file(STRINGS ${file} first LIMIT_COUNT 1)
  if(NOT first MATCHES "^(//|/\\*) ")
    list(APPEND uncommented ${file})
  endif()
endforeach()
if(uncommented)
  list(JOIN uncommented "\n" uncommented)
  message(FATAL_ERROR "Sources that do not open with a comment saying what they hold:\n${uncommented}")
endif()
