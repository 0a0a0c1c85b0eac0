include(GoogleTest)

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

# quandor_add_test(<name> SOURCES ... LIBS ... [LABELS label] [QUARTERS n])
# One test program per folder of tests; every test case becomes its own CTest
# entry so `ctest -j` spreads them over all cores. The shared main gives each
# process private settings, data and ODBC folders. QUARTERS: each case's
# share of a processor (a whole one unless given).
function(quandor_add_test name)
  cmake_parse_arguments(T "" "QUARTERS" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE QuandorTestSupport ${T_LIBS})
  quandor_discover_tests(${name} LABEL "${T_LABELS}" QUARTERS "${T_QUARTERS}")
endfunction()

# quandor_discover_tests(<target> [PREFIX p] [ARG a] [LABEL label] [FILTER f]
#                        [FIXTURE name] [QUARTERS n])
# Registers a test program's cases with CTest. ARG goes to the program (the
# shared main understands --quandor-backend=odbc|postgres); FILTER picks the
# cases (gtest filter); FIXTURE names a CTest fixture the cases need;
# QUARTERS is each case's share of a processor.
# Discovery hands every property value on word by word, so a list value (two
# labels, two variables) would fall apart into stray words: each property
# gets exactly one value.
function(quandor_discover_tests target)
  cmake_parse_arguments(T "" "PREFIX;ARG;LABEL;FILTER;FIXTURE;QUARTERS" "" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  set(fixture "")
  if(T_FIXTURE)
    set(fixture FIXTURES_REQUIRED ${T_FIXTURE})
  endif()
  if(NOT T_QUARTERS)
    set(T_QUARTERS ${QUANDOR_TEST_QUARTERS_COMPUTES})
  endif()
  set(filter "")
  if(T_FILTER)
    set(filter TEST_FILTER ${T_FILTER})
  endif()
  gtest_discover_tests(${target}
    TEST_PREFIX "${T_PREFIX}"
    EXTRA_ARGS ${T_ARG}
    ${filter}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    PROPERTIES LABELS ${T_LABEL} TIMEOUT 300 RESOURCE_GROUPS processor:${T_QUARTERS}
               ENVIRONMENT QT_QPA_PLATFORM=offscreen ${fixture})
endfunction()

# quandor_add_folder_tests(<name> <folder> LIBS ... [THREADS file ...] [THREADS_WAIT])
# The tests of one folder. Every test file that starts threads (the reader
# link, a transfer's worker, the simulated reader, a serial port's reader, a
# thread of its own) goes into a program of its own, labelled "thread",
# which also runs under ThreadSanitizer: files named *ThreadTest.cpp, and the
# files THREADS names. THREADS_WAIT: that program's cases mostly wait for the
# simulated reader's line.
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
    if(T_THREADS_WAIT)
      set(quarters ${QUANDOR_TEST_QUARTERS_WAITS})
    endif()
    quandor_add_test(${name}_threads SOURCES ${threaded} LIBS ${T_LIBS} LABELS thread QUARTERS ${quarters})
    target_include_directories(${name}_threads PRIVATE ${folder})
  endif()
  if(plain)
    quandor_add_test(${name} SOURCES ${plain} LIBS ${T_LIBS})
    target_include_directories(${name} PRIVATE ${folder})
  endif()
endfunction()
