# Included by CTest (from a test program's include file, see
# quandor_discover_tests) when the program is newer than its list of tests:
# asks the program for its cases and writes the CTest tests that run them.
#
# A test process costs far more to start than most of our cases take to run
# (about 60 shared libraries to map and relocate, an application object), and
# on a virtual machine starting many processes at once scales badly. So by
# default the cases of one suite run in one process, one CTest test per
# suite. EACH_CASE gives every case a process of its own: for the long cases
# that mostly wait for the simulated reader's line, where the start costs
# nothing by comparison and running them side by side is what saves time.

# Writes TESTS_FILE with one add_test per suite (or per case, EACH_CASE).
# Each asks CTest for USES (a resource group, "processor:1"), or WAITING_USES
# where its suite matches WAITING_SUITES (a regular expression for the whole
# name).
# Every TEST_PROPERTIES value is one word: a list value would fall apart.
function(quandor_write_suite_tests)
  # The keywords are named so that no test property (TIMEOUT, LABELS, ...) in
  # TEST_PROPERTIES can be taken for one.
  cmake_parse_arguments(S "" "PROGRAM;IN_FOLDER;NAME_PREFIX;CASE_FILTER;EACH_CASE;TESTS_FILE;LIST_TIMEOUT;USES;WAITING_SUITES;WAITING_USES"
                        "PROGRAM_ARGS;TEST_PROPERTIES" ${ARGN})
  set(list_command "${S_PROGRAM}" --gtest_list_tests)
  if(S_CASE_FILTER)
    list(APPEND list_command "--gtest_filter=${S_CASE_FILTER}")
  endif()
  execute_process(COMMAND ${list_command}
                  WORKING_DIRECTORY "${S_IN_FOLDER}"
                  TIMEOUT ${S_LIST_TIMEOUT}
                  OUTPUT_VARIABLE output ERROR_VARIABLE errors
                  RESULT_VARIABLE result)
  get_filename_component(program "${S_PROGRAM}" NAME)
  if(NOT result EQUAL 0)
    # A test that lists again, so the run fails and shows why.
    string(REPLACE ";" " " shown "${list_command}")
    message(WARNING "${shown} failed (${result}):\n${output}\n${errors}")
    set(content "add_test([==[${S_NAME_PREFIX}${program}.CannotListItsTests]==]")
    foreach(word IN LISTS list_command)
      string(APPEND content " [==[${word}]==]")
    endforeach()
    string(APPEND content ")\n")
    file(WRITE "${S_TESTS_FILE}" "${content}")
    return()
  endif()

  # The list: "Suite." on a line of its own, then "  Case" lines; either may
  # end in a comment ("  # GetParam() = ..."). Other lines (a library's
  # warning) are not tests.
  string(REPLACE ";" "\\;" output "${output}")
  string(REPLACE "\n" ";" lines "${output}")
  set(suites "")
  set(suite "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE " +#.*$" "" line "${line}")
    if(line MATCHES "^([^ ]+)\\.$")
      set(suite "${CMAKE_MATCH_1}")
      string(MAKE_C_IDENTIFIER "${suite}" key)
      if(NOT DEFINED cases_${key})
        list(APPEND suites "${suite}")
        set(cases_${key} "")
      endif()
    elseif(suite AND line MATCHES "^  ([^ ]+)$")
      list(APPEND cases_${key} "${suite}.${CMAKE_MATCH_1}")
    else()
      set(suite "")
    endif()
  endforeach()

  set(properties "")
  foreach(value IN LISTS S_TEST_PROPERTIES)
    string(APPEND properties " [==[${value}]==]")
  endforeach()
  set(args "")
  foreach(value IN LISTS S_PROGRAM_ARGS)
    string(APPEND args " [==[${value}]==]")
  endforeach()
  set(content "")
  set(names "")
  foreach(suite IN LISTS suites)
    string(MAKE_C_IDENTIFIER "${suite}" key)
    set(uses ${S_USES})
    if(S_WAITING_SUITES AND suite MATCHES "^(${S_WAITING_SUITES})$")
      set(uses ${S_WAITING_USES})
    endif()
    if(S_EACH_CASE)
      set(groups ${cases_${key}})
    else()
      string(REPLACE ";" ":" groups "${cases_${key}}")
    endif()
    foreach(filter IN LISTS groups)
      set(name "${S_NAME_PREFIX}${suite}")
      if(S_EACH_CASE)
        set(name "${S_NAME_PREFIX}${filter}")
      endif()
      string(APPEND names " [==[${name}]==]")
      string(APPEND content
             "add_test([==[${name}]==] [==[${S_PROGRAM}]==] [==[--gtest_filter=${filter}]==]${args})\n"
             "set_tests_properties([==[${name}]==] PROPERTIES WORKING_DIRECTORY [==[${S_IN_FOLDER}]==]"
             " SKIP_RETURN_CODE 77 RESOURCE_GROUPS ${uses}${properties})\n")
    endforeach()
  endforeach()
  # Two programs with a suite of one name would make two CTest tests of one
  # name, and CTest would quietly run only one of them.
  string(PREPEND content
         "get_property(seen GLOBAL PROPERTY quandor_test_names)\n"
         "foreach(name IN ITEMS${names})\n"
         "  list(FIND seen \"\${name}\" at)\n"
         "  if(at GREATER -1)\n"
         "    message(FATAL_ERROR \"Two test programs have a test named \${name}: rename one suite.\")\n"
         "  endif()\n"
         "endforeach()\n"
         "set_property(GLOBAL APPEND PROPERTY quandor_test_names${names})\n")
  file(WRITE "${S_TESTS_FILE}" "${content}")
endfunction()
