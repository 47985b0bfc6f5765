# The terminal password prompt and the progress output, in a library of
# their own so that their tests can link them without the CLI's main().
# Included by src/cli/CMakeLists.txt.
include_guard(GLOBAL)

add_library(mirelune_cli_lib STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ProgressPrinter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgressPrinter.h
  ${CMAKE_CURRENT_LIST_DIR}/TerminalPasswordPrompt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TerminalPasswordPrompt.h)
target_include_directories(mirelune_cli_lib PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(mirelune_cli_lib PUBLIC mirelune_core)
mirelune_set_warnings(mirelune_cli_lib)
