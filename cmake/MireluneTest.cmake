# Time limit and environment of one CTest entry. Instrumented builds run
# several times slower; the limits only catch hangs, so they grow with them,
# and so do the tests' own deadlines (support/TestTiming.h).
function(mirelune_test_properties name timeout env)
  if(NOT timeout)
    set(timeout 120)
  endif()
  if(MIRELUNE_SANITIZE)
    math(EXPR timeout "${timeout} * 4")
    set(env "MIRELUNE_TEST_TIME_SCALE=4;MIRELUNE_TEST_SANITIZED=1;${env}")
  endif()
  # Later entries of the list win, so a test may name another platform.
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${timeout}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${env}")
endfunction()

# One Qt Test executable per class or feature, registered with CTest.
#   mirelune_add_test(NAME SOURCES a.cpp ... [LIBS lib ...] [TIMEOUT s] [ENV K=V ...])
function(mirelune_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test mirelune_test_support ${T_LIBS})
  mirelune_set_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  mirelune_test_properties(${name} "${T_TIMEOUT}" "${T_ENV}")
endfunction()

# One more CTest entry for an existing test executable, run with other
# settings (e.g. another database behind the service).
#   mirelune_add_test_variant(NAME EXECUTABLE exe [TIMEOUT s] [ENV K=V ...])
function(mirelune_add_test_variant name)
  cmake_parse_arguments(T "" "EXECUTABLE;TIMEOUT" "ENV" ${ARGN})
  add_test(NAME ${name} COMMAND ${T_EXECUTABLE})
  mirelune_test_properties(${name} "${T_TIMEOUT}" "${T_ENV}")
endfunction()
