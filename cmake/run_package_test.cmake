# Script behind the packaging test: install, configure the consumer, build it, run it.
function(run_step)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "step failed (${result}): ${ARGV}")
  endif()
endfunction()

file(REMOVE_RECURSE "${STAGING_DIR}" "${CONSUMER_BUILD_DIR}")
run_step(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${STAGING_DIR}")
run_step(
  ${CMAKE_COMMAND} -S "${CONSUMER_SOURCE_DIR}" -B "${CONSUMER_BUILD_DIR}" -G "${GENERATOR}"
  "-DCMAKE_PREFIX_PATH=${STAGING_DIR}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
  "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}")
run_step(${CMAKE_COMMAND} --build "${CONSUMER_BUILD_DIR}")
run_step("${CONSUMER_BUILD_DIR}/mosa_profile_example")
