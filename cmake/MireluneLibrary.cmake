# One static library per folder of a tree, included from the tree's root:
#   mirelune_library(NAME ROOT dir SOURCES a.cpp ... [PUBLIC lib ...] [PRIVATE lib ...])
# The PUBLIC links name the layers below it; nothing else is reachable.
function(mirelune_library name)
  cmake_parse_arguments(L "" "ROOT" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${L_ROOT})
  target_link_libraries(${name} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE})
  mirelune_set_warnings(${name})
endfunction()
