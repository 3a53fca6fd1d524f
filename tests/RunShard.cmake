# Runs one shard of the test binary under the emulator (cmake -P, with
# COMMAND as a |-separated list). Its output is passed on whole; when the
# shard does not pass, the output ends with the test that was running and the
# emulator's report of an unhandled exception, since a crash dump is long and
# a log is read from its end.
string(REPLACE "|" ";" command "${COMMAND}")
execute_process(COMMAND ${command}
                OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE status)
message("${output}")
if(status STREQUAL "0")
  return()
endif()

set(summary "the shard ended with status ${status}")
string(REGEX MATCHALL "\\[ RUN      \\] [^\r\n]*" started "${output}")
if(started)
  list(GET started -1 last)
  string(REPLACE "[ RUN      ] " "" last "${last}")
  string(FIND "${output}" "] ${last} (" finished REVERSE)
  if(finished EQUAL -1)
    string(APPEND summary "\nin ${last}, which did not finish")
  endif()
endif()
string(REGEX MATCHALL "\\[  FAILED  \\] [^ \r\n]+" failed "${output}")
list(REMOVE_DUPLICATES failed)
foreach(line IN LISTS failed)
  string(APPEND summary "\n${line}")
endforeach()
string(REGEX MATCHALL "(Unhandled|wine: )[^\r\n]*|=?>? *[0-9]+ 0x[0-9a-f]+ [^\r\n]*" report "${output}")
list(LENGTH report count)
if(count GREATER 24)
  list(SUBLIST report 0 24 report)
endif()
foreach(line IN LISTS report)
  string(APPEND summary "\n${line}")
endforeach()
message(NOTICE "${summary}")
message(FATAL_ERROR "shard failed")
