include(GoogleTest)

# quandor_add_test(<name> SOURCES ... LIBS ... [LABELS ...])
# One test program per folder of tests; every test case becomes its own CTest
# entry so `ctest -j` spreads them over all cores. The shared main gives each
# process private settings, data and ODBC folders.
function(quandor_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE QuandorTestSupport ${T_LIBS})
  set(labels unit ${T_LABELS})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    PROPERTIES LABELS "${labels}" TIMEOUT 300
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUANDOR_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
