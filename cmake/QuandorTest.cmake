# Every test asks CTest for a share of a processor, in quarters
# (RESOURCE_GROUPS "processor:<quarters>"). A test that computes takes a whole
# processor; a test that mostly waits for the reader line's clock (a reply
# window, a quiet time, a late reply) takes a quarter, so four of them wait
# side by side on one processor's share. The shares count only when CTest is
# given the processors (scripts/quandor writes them: four slots a processor);
# a plain `ctest -j N` runs N tests at once as ever.
set(QUANDOR_TEST_QUARTERS_COMPUTES 4)
set(QUANDOR_TEST_QUARTERS_WAITS 1)
if(QUANDOR_SANITIZE)
  # Sanitized, the link's tests compute about ten times as much; four of
  # them to a processor filled every processor and made replies late.
  set(QUANDOR_TEST_QUARTERS_WAITS 4)
endif()

# quandor_add_test(<name> SOURCES ... LIBS ... [LABELS label] [QUARTERS n] [EACH_CASE])
# One test program per folder of tests. The shared main gives each process
# private settings, data and ODBC folders. QUARTERS: each test's share of a
# processor (a whole one unless given); EACH_CASE: see quandor_discover_tests.
function(quandor_add_test name)
  cmake_parse_arguments(T "EACH_CASE" "QUARTERS" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE QuandorTestSupport ${T_LIBS})
  set(each_case "")
  if(T_EACH_CASE)
    set(each_case EACH_CASE)
  endif()
  quandor_discover_tests(${name} LABEL "${T_LABELS}" QUARTERS "${T_QUARTERS}" ${each_case})
endfunction()

# quandor_discover_tests(<target> [PREFIX p] [ARG a] [LABEL label] [FILTER f]
#                        [FIXTURE name] [QUARTERS n] [EACH_CASE])
# Registers a test program's cases with CTest, listed from the program when
# CTest runs (cmake/QuandorTestSuites.cmake): one CTest test per suite, whose
# cases run in one process, or with EACH_CASE one per case. ARG goes to the
# program (the shared main understands --quandor-backend=odbc|postgres);
# FILTER picks the cases (gtest filter); FIXTURE names a CTest fixture the
# cases need; QUARTERS is each test's share of a processor. A program whose
# every case was skipped exits with 77, which CTest reports as skipped.
function(quandor_discover_tests target)
  cmake_parse_arguments(T "EACH_CASE" "PREFIX;ARG;LABEL;FILTER;FIXTURE;QUARTERS" "" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(NOT T_QUARTERS)
    set(T_QUARTERS ${QUANDOR_TEST_QUARTERS_COMPUTES})
  endif()
  set(properties LABELS ${T_LABEL} TIMEOUT 300 RESOURCE_GROUPS processor:${T_QUARTERS}
                 ENVIRONMENT QT_QPA_PLATFORM=offscreen)
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

# quandor_add_folder_tests(<name> <folder> LIBS ... [THREADS file ...] [THREADS_WAIT])
# The tests of one folder. Every test file that starts threads (the reader
# link, a transfer's worker, the simulated reader, a serial port's reader, a
# thread of its own) goes into a program of its own, labelled "thread",
# which also runs under ThreadSanitizer: files named *ThreadTest.cpp, and the
# files THREADS names. THREADS_WAIT: that program's cases mostly wait for the
# simulated reader's line; each runs in a process of its own, on a quarter of
# a processor.
function(quandor_add_folder_tests name folder)
  cmake_parse_arguments(T "THREADS_WAIT" "" "LIBS;THREADS" ${ARGN})
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
    set(quarters ${QUANDOR_TEST_QUARTERS_COMPUTES})
    set(each_case "")
    if(T_THREADS_WAIT)
      set(quarters ${QUANDOR_TEST_QUARTERS_WAITS})
      set(each_case EACH_CASE)
    endif()
    quandor_add_test(${name}_threads SOURCES ${threaded} LIBS ${T_LIBS} LABELS thread QUARTERS ${quarters}
                     ${each_case})
    target_include_directories(${name}_threads PRIVATE ${folder})
  endif()
  if(plain)
    quandor_add_test(${name} SOURCES ${plain} LIBS ${T_LIBS})
    target_include_directories(${name} PRIVATE ${folder})
  endif()
endfunction()
