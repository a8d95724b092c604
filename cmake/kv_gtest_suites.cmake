# Run by CTest when it reads the test list: registers one CTest test per GoogleTest
# suite of a test program, so that a program starts once per suite rather than once per
# case (each start costs about a second under the 32-bit emulator with the sanitizers).
# A failing case still prints its own "[  FAILED  ] Suite.Case" line in the output.
#
# Inputs (set by the including file): KV_GTEST_NAME, KV_GTEST_EXE, KV_GTEST_LIST,
# KV_GTEST_DIR, KV_GTEST_TIMEOUT.
#
# KV_TEST_LAUNCHER in CTest's environment (for example "qemu-i386") starts every test
# program through that launcher: scripts/test uses it to run the suites through the 32-bit
# emulator on a machine that runs 32-bit programs natively.

if(NOT EXISTS "${KV_GTEST_EXE}")
  # Not built: one test that fails and says so, rather than silently running nothing.
  add_test("${KV_GTEST_NAME}_NOT_BUILT" "${KV_GTEST_NAME}_NOT_BUILT")
  return()
endif()

if(NOT EXISTS "${KV_GTEST_LIST}" OR "${KV_GTEST_EXE}" IS_NEWER_THAN "${KV_GTEST_LIST}")
  execute_process(COMMAND "${KV_GTEST_EXE}" --gtest_list_tests
                  WORKING_DIRECTORY "${KV_GTEST_DIR}"
                  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    file(REMOVE "${KV_GTEST_LIST}")
    add_test("${KV_GTEST_NAME}_LIST_FAILED" "${KV_GTEST_EXE}" --gtest_list_tests)
    return()
  endif()
  string(REPLACE "\n" ";" lines "${listing}")
  set(suites "")
  foreach(line IN LISTS lines)
    # A suite line starts in column 0 and ends its name with a dot ("Suite." or
    # "Prefix/Suite/0.  # TypeParam = ..."); case lines are indented.
    if(line MATCHES "^([^ #][^ ]*)\\.( |$)")
      list(APPEND suites "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES suites)
  string(REPLACE ";" "\n" body "${suites}")
  file(WRITE "${KV_GTEST_LIST}" "${body}\n")
endif()

set(launcher "")
if(DEFINED ENV{KV_TEST_LAUNCHER} AND NOT "$ENV{KV_TEST_LAUNCHER}" STREQUAL "")
  separate_arguments(launcher UNIX_COMMAND "$ENV{KV_TEST_LAUNCHER}")
endif()

file(STRINGS "${KV_GTEST_LIST}" suites)
foreach(suite IN LISTS suites)
  set(test "${KV_GTEST_NAME}:${suite}")
  add_test("${test}" ${launcher} "${KV_GTEST_EXE}" "--gtest_filter=${suite}.*")
  set_tests_properties("${test}" PROPERTIES WORKING_DIRECTORY "${KV_GTEST_DIR}"
                       TIMEOUT "${KV_GTEST_TIMEOUT}")
endforeach()
