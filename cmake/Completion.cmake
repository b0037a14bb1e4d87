# Writes the bash completion that TOVRIN prints for itself to OUTPUT; fails the build when
# it cannot, rather than install an empty completion.
execute_process(COMMAND ${TOVRIN} completion bash
                OUTPUT_VARIABLE script RESULT_VARIABLE status ERROR_VARIABLE problem)
if(NOT status EQUAL 0 OR script STREQUAL "")
  message(FATAL_ERROR "tovrin completion bash failed (${status}): ${problem}")
endif()
file(WRITE ${OUTPUT} "${script}")
