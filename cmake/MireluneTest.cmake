# One Qt Test executable per class or feature, registered with CTest.
#   mirelune_add_test(NAME SOURCES a.cpp ... [LIBS lib ...] [TIMEOUT s] [ENV K=V ...])
function(mirelune_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test mirelune_test_support ${T_LIBS})
  mirelune_set_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}")
endfunction()

# One more CTest entry for an existing test executable, run with other
# settings (e.g. another database behind the service).
#   mirelune_add_test_variant(NAME EXECUTABLE exe [TIMEOUT s] [ENV K=V ...])
function(mirelune_add_test_variant name)
  cmake_parse_arguments(T "" "EXECUTABLE;TIMEOUT" "ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_test(NAME ${name} COMMAND ${T_EXECUTABLE})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}")
endfunction()
