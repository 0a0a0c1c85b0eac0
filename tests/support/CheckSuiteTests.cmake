# cmake -DSCRIPT=<QuandorTestSuites.cmake> -DWORK=<folder> -P CheckSuiteTests.cmake
# Registers the cases of a fake test program and reads back what CTest would
# run: one test per suite, every case in its filter once; one per case with
# EACH_CASE; a program that cannot list its cases becomes a failing test.
include(${SCRIPT})
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# The list a test program prints, with what may come with it: a library's
# warning first, parameter comments, a typed suite.
file(WRITE ${WORK}/program [=[#!/bin/sh
if [ "$2" = "--gtest_filter=-Skipped.*" ]; then filtered=1; fi
echo "QStandardPaths: wrong permissions on runtime directory, 0755 instead of 0700"
echo "Plain."
echo "  First"
echo "  Second"
echo "Rows/Table.  # TypeParam = int"
echo "  Holds/0  # GetParam() = (1, \"a b\")"
echo "  Holds/1  # GetParam() = (2, \"c\")"
[ -n "$filtered" ] || { echo "Skipped."; echo "  Only"; }
]=])
file(CHMOD ${WORK}/program PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(WRITE ${WORK}/broken "#!/bin/sh\necho 'cannot start'\nexit 3\n")
file(CHMOD ${WORK}/broken PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

function(expect file what)
  file(READ ${file} text)
  foreach(line IN LISTS ARGN)
    string(FIND "${text}" "${line}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${what}: no\n  ${line}\nin\n${text}")
    endif()
  endforeach()
endfunction()

function(expect_not file what)
  file(READ ${file} text)
  foreach(line IN LISTS ARGN)
    string(FIND "${text}" "${line}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "${what}: unexpected\n  ${line}\nin\n${text}")
    endif()
  endforeach()
endfunction()

quandor_write_suite_tests(PROGRAM ${WORK}/program IN_FOLDER ${WORK} NAME_PREFIX "pg:" CASE_FILTER "-Skipped.*"
                          PROGRAM_ARGS --quandor-backend=postgres TEST_PROPERTIES LABELS unit TIMEOUT 300
                          USES processor:1 WAITING_SUITES "Rows/.*|Plai" WAITING_USES waiting:1
                          LIST_TIMEOUT 10 TESTS_FILE ${WORK}/suites.cmake)
expect(${WORK}/suites.cmake "per suite"
  "add_test([==[pg:Plain]==] [==[${WORK}/program]==] [==[--gtest_filter=Plain.First:Plain.Second]==] [==[--quandor-backend=postgres]==])"
  "add_test([==[pg:Rows/Table]==] [==[${WORK}/program]==] [==[--gtest_filter=Rows/Table.Holds/0:Rows/Table.Holds/1]==]"
  "set_tests_properties([==[pg:Plain]==] PROPERTIES WORKING_DIRECTORY [==[${WORK}]==] SKIP_RETURN_CODE 77 RESOURCE_GROUPS processor:1 [==[LABELS]==] [==[unit]==] [==[TIMEOUT]==] [==[300]==])"
  "set_tests_properties([==[pg:Rows/Table]==] PROPERTIES WORKING_DIRECTORY [==[${WORK}]==] SKIP_RETURN_CODE 77 RESOURCE_GROUPS waiting:1 ")
expect_not(${WORK}/suites.cmake "per suite" "Skipped" "QStandardPaths" "GetParam")

quandor_write_suite_tests(PROGRAM ${WORK}/program IN_FOLDER ${WORK} EACH_CASE TRUE USES waiting:1
                          LIST_TIMEOUT 10 TESTS_FILE ${WORK}/cases.cmake)
expect(${WORK}/cases.cmake "per case"
  "add_test([==[Plain.First]==] [==[${WORK}/program]==] [==[--gtest_filter=Plain.First]==])"
  "add_test([==[Plain.Second]==]"
  "add_test([==[Rows/Table.Holds/1]==]"
  "add_test([==[Skipped.Only]==]"
  "set_tests_properties([==[Plain.First]==] PROPERTIES WORKING_DIRECTORY [==[${WORK}]==] SKIP_RETURN_CODE 77 RESOURCE_GROUPS waiting:1)")

quandor_write_suite_tests(PROGRAM ${WORK}/broken IN_FOLDER ${WORK} USES processor:1 LIST_TIMEOUT 10
                          TESTS_FILE ${WORK}/broken.cmake)
expect(${WORK}/broken.cmake "a program that cannot list" "add_test([==[broken.CannotListItsTests]==]")
