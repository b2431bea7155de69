# Runs GENERATOR with OUT as its output and fails when OUT differs from COMMITTED.
execute_process(COMMAND ${GENERATOR} ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${GENERATOR} failed: ${result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${COMMITTED} RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${COMMITTED} is not what ${GENERATOR} produces")
endif()
