# A test of the tests (cmake -P): every parameterised case is listed by a name
# that says what it is, not by its index ("Suite.Test/3  # GetParam() = 32-byte
# object <…>"), so that a failure in ctest's list tells what failed.
#   TEST_BINARY  the GoogleTest program to list
execute_process(COMMAND "${TEST_BINARY}" --gtest_list_tests OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TEST_BINARY} --gtest_list_tests failed (${status})")
endif()
string(REGEX MATCHALL "[^\n]*/[0-9]+  # GetParam\\(\\)[^\n]*" unnamed "${listing}")
string(REGEX MATCHALL "\n[A-Za-z0-9_]+/[0-9]+\\." unnamed_suites "${listing}")
if(unnamed OR unnamed_suites)
  list(JOIN unnamed "\n" cases)
  message(FATAL_ERROR "Parameterised cases without a name generator:\n${cases}\n${unnamed_suites}")
endif()
