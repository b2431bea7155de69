# Extracts ROLE from the executable EXE with the dump tool DUMP_TOOL and
# fails unless the result equals EXPECTED byte for byte.
execute_process(COMMAND ${DUMP_TOOL} ${EXE} ${ROLE} ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the dump tool could not extract ${ROLE}: ${result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${EXPECTED} RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${ROLE} as extracted differs from ${EXPECTED}")
endif()
