# Every test asks CTest for what it uses (RESOURCE_GROUPS). A test that
# computes asks for one of the machine's processors. A test that mostly waits
# on a clock of the program (the reader line's reply windows and quiet times,
# another program's lock until a step's bound, a notice's seconds) asks for
# one of the waiting places instead: 16 of them at once used less than one
# of eight processors. scripts/quandor gives CTest four places a processor
# and keeps a quarter of the processors for them; a plain `ctest -j N` ignores
# both and runs N tests at once. Asking for shares of one pool instead, the
# waiting tests took every share freed one at a time while the computing
# ones, which need a whole processor, queued behind them.
set(QUANDOR_TEST_COMPUTES processor:1)
set(QUANDOR_TEST_WAITS waiting:1)
if(QUANDOR_SANITIZE)
  # Sanitized, the waiting tests compute about ten times as much: they take
  # a processor each, and the sanitizer stages are given every processor.
  set(QUANDOR_TEST_WAITS processor:1)
endif()

# quandor_add_test(<name> SOURCES ... LIBS ... [LABELS label] [USES resource] [EACH_CASE]
#                  [WAITING regex])
# One test program per folder of tests. The shared main gives each process
# private settings, data and ODBC folders. USES, EACH_CASE, WAITING: see
# quandor_discover_tests.
function(quandor_add_test name)
  cmake_parse_arguments(T "EACH_CASE" "USES;WAITING" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE QuandorTestSupport ${T_LIBS})
  set(each_case "")
  if(T_EACH_CASE)
    set(each_case EACH_CASE)
  endif()
  quandor_discover_tests(${name} LABEL "${T_LABELS}" USES "${T_USES}" WAITING "${T_WAITING}" ${each_case})
endfunction()

# quandor_discover_tests(<target> [PREFIX p] [ARG a] [LABEL label] [FILTER f]
#                        [FIXTURE name] [USES resource] [EACH_CASE] [WAITING regex])
# Registers a test program's cases with CTest, listed from the program when
# CTest runs (cmake/QuandorTestSuites.cmake): one CTest test per suite, whose
# cases run in one process, or with EACH_CASE one per case. ARG goes to the
# program (the shared main understands --quandor-backend=odbc|postgres);
# FILTER picks the cases (gtest filter); FIXTURE names a CTest fixture the
# cases need; USES is what each test asks for (a processor unless given).
# WAITING names the suites (a regular expression) that spend their time
# waiting on a clock of the program: they ask for a waiting place. A program whose every case was skipped
# exits with 77, which CTest reports as skipped.
function(quandor_discover_tests target)
  cmake_parse_arguments(T "EACH_CASE" "PREFIX;ARG;LABEL;FILTER;FIXTURE;USES;WAITING" "" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(NOT T_USES)
    set(T_USES ${QUANDOR_TEST_COMPUTES})
  endif()
  set(properties LABELS ${T_LABEL} TIMEOUT 300 ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  if(T_FIXTURE)
    list(APPEND properties FIXTURES_REQUIRED ${T_FIXTURE})
  endif()
  string(MAKE_C_IDENTIFIER "${T_PREFIX}" prefix_key)
  set(base "${CMAKE_CURRENT_BINARY_DIR}/${target}${prefix_key}")
  set(script "${PROJECT_SOURCE_DIR}/cmake/QuandorTestSuites.cmake")
  string(CONCAT include_content
    "if(EXISTS [==[$<TARGET_FILE:${target}>]==])\n"
    "  if(NOT EXISTS [==[${base}_tests.cmake]==] OR\n"
    "     NOT [==[${base}_tests.cmake]==] IS_NEWER_THAN [==[$<TARGET_FILE:${target}>]==] OR\n"
    "     NOT [==[${base}_tests.cmake]==] IS_NEWER_THAN [==[${script}]==] OR\n"
    "     NOT [==[${base}_tests.cmake]==] IS_NEWER_THAN \"\${CMAKE_CURRENT_LIST_FILE}\")\n"
    "    include([==[${script}]==])\n"
    "    quandor_write_suite_tests(\n"
    "      PROGRAM [==[$<TARGET_FILE:${target}>]==]\n"
    "      IN_FOLDER [==[${CMAKE_BINARY_DIR}/bin]==]\n"
    "      NAME_PREFIX [==[${T_PREFIX}]==]\n"
    "      CASE_FILTER [==[${T_FILTER}]==]\n"
    "      EACH_CASE [==[${T_EACH_CASE}]==]\n"
    "      USES ${T_USES}\n"
    "      WAITING_SUITES [==[${T_WAITING}]==]\n"
    "      WAITING_USES ${QUANDOR_TEST_WAITS}\n"
    "      PROGRAM_ARGS [==[${T_ARG}]==]\n"
    "      TEST_PROPERTIES [==[${properties}]==]\n"
    "      LIST_TIMEOUT 60\n"
    "      TESTS_FILE [==[${base}_tests.cmake]==])\n"
    "  endif()\n"
    "  include([==[${base}_tests.cmake]==])\n"
    "else()\n"
    "  add_test([==[${T_PREFIX}${target}_NOT_BUILT]==] [==[${target}_NOT_BUILT]==])\n"
    "endif()\n")
  file(GENERATE OUTPUT "${base}_include.cmake" CONTENT "${include_content}")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${base}_include.cmake")
endfunction()

# quandor_add_folder_tests(<name> <folder> LIBS ... [THREADS file ...] [THREADS_WAIT]
#                          [WAITING regex])
# The tests of one folder. Every test file that starts threads (the reader
# link, a transfer's worker, the simulated reader, a serial port's reader, a
# thread of its own) goes into a program of its own, labelled "thread",
# which also runs under ThreadSanitizer: files named *ThreadTest.cpp, and the
# files THREADS names. THREADS_WAIT: that program's cases mostly wait for the
# simulated reader's line; each runs in a process of its own, in a waiting
# place. WAITING: the suites of either program that wait (see
# quandor_discover_tests).
function(quandor_add_folder_tests name folder)
  cmake_parse_arguments(T "THREADS_WAIT" "WAITING" "LIBS;THREADS" ${ARGN})
  file(GLOB all CONFIGURE_DEPENDS ${folder}/*.cpp)
  file(GLOB threaded CONFIGURE_DEPENDS ${folder}/*ThreadTest.cpp)
  foreach(file IN LISTS T_THREADS)
    if(NOT EXISTS ${folder}/${file})
      message(FATAL_ERROR "quandor_add_folder_tests(${name}): ${folder}/${file} does not exist")
    endif()
    list(APPEND threaded ${folder}/${file})
  endforeach()
  set(plain ${all})
  if(threaded)
    list(REMOVE_ITEM plain ${threaded})
    set(uses ${QUANDOR_TEST_COMPUTES})
    set(each_case "")
    if(T_THREADS_WAIT)
      set(uses ${QUANDOR_TEST_WAITS})
      set(each_case EACH_CASE)
    endif()
    quandor_add_test(${name}_threads SOURCES ${threaded} LIBS ${T_LIBS} LABELS thread USES ${uses}
                     WAITING "${T_WAITING}" ${each_case})
    target_include_directories(${name}_threads PRIVATE ${folder})
  endif()
  if(plain)
    quandor_add_test(${name} SOURCES ${plain} LIBS ${T_LIBS} WAITING "${T_WAITING}")
    target_include_directories(${name} PRIVATE ${folder})
  endif()
endfunction()
