# Runs a check script on a fixture tree and passes only when the check
# fails (non-zero exit) and its output names the expected fault.
# Arguments: -DCHECK=<script> -DEXPECT=<text> -DARGS=<-Dx=y arguments, joined by |>
cmake_minimum_required(VERSION 3.22)
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND "${CMAKE_COMMAND}" ${args} -P "${CHECK}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(all "${out}${err}")
if(rc EQUAL 0)
  message(FATAL_ERROR "The check passed on its fixture:\n${all}")
endif()
string(FIND "${all}" "${EXPECT}" at)
if(at LESS 0)
  message(FATAL_ERROR "The check failed without naming \"${EXPECT}\":\n${all}")
endif()
message("Caught as expected: ${EXPECT}")
