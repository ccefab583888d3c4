# One bounded fuzzing run: the seed corpus, then RUNS new inputs from a fixed seed (at most a
# minute). New inputs go to a fresh folder under WORK_DIR, never into the committed corpus; a
# failing input is kept in WORK_DIR/findings.
file(REMOVE_RECURSE "${WORK_DIR}/corpus")
file(MAKE_DIRECTORY "${WORK_DIR}/corpus" "${WORK_DIR}/findings")
execute_process(
  COMMAND "${FUZZER}" -seed=1 -runs=${RUNS} -max_total_time=60 -timeout=10 -max_len=4096
          -print_final_stats=1 "-artifact_prefix=${WORK_DIR}/findings/" "${WORK_DIR}/corpus"
          "${CORPUS}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); the input is in ${WORK_DIR}/findings")
endif()
