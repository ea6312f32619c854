# Brings the freshly linked runtime module to its exact published size:
#   cmake -DMODULE=<file> -DSIZE=<bytes> -DKEEP_DEBUG=ON|OFF [-DSTRIP=<strip>
#         -DOBJCOPY=<objcopy>] -P pad_module.cmake
# With KEEP_DEBUG the debug information moves to <file>.debug (found by
# debuggers through a debug link); the module itself is always stripped of
# what loading does not need, then extended with zero bytes. Bytes after the
# last section of an ELF file, and after the last section of a PE file, are
# never mapped, so the padded module loads as before. A cross build names the
# target's strip and objcopy.
cmake_minimum_required(VERSION 3.25)

foreach(var MODULE SIZE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "pad_module.cmake: ${var} is not set")
  endif()
endforeach()

if(OBJCOPY)
  set(ORV_OBJCOPY ${OBJCOPY})
else()
  find_program(ORV_OBJCOPY NAMES objcopy REQUIRED)
endif()
if(STRIP)
  set(ORV_STRIP ${STRIP})
else()
  find_program(ORV_STRIP NAMES strip REQUIRED)
endif()
find_program(ORV_TRUNCATE NAMES truncate REQUIRED)

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "pad_module.cmake: '${ARGV}' failed: ${error}")
  endif()
endfunction()

if(KEEP_DEBUG)
  run(${ORV_OBJCOPY} --only-keep-debug ${MODULE} ${MODULE}.debug)
endif()
run(${ORV_STRIP} --strip-unneeded ${MODULE})
if(KEEP_DEBUG)
  # The link keeps the debug file's base name: debuggers look beside the module.
  run(${ORV_OBJCOPY} --add-gnu-debuglink=${MODULE}.debug ${MODULE})
endif()

file(SIZE ${MODULE} actual)
if(actual GREATER SIZE)
  message(FATAL_ERROR
    "The runtime module ${MODULE} is ${actual} bytes after stripping, more than the "
    "${SIZE} bytes it must have. Make the module smaller (fewer or smaller static "
    "dependencies) or link the large libraries dynamically.")
endif()
run(${ORV_TRUNCATE} --size=${SIZE} ${MODULE})
