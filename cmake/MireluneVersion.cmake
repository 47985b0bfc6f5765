# One version header for the three programs: MireluneVersion.h, generated from
# the project's version and release date.
configure_file(${CMAKE_CURRENT_LIST_DIR}/MireluneVersion.h.in ${PROJECT_BINARY_DIR}/generated/MireluneVersion.h @ONLY)
add_library(mirelune_version INTERFACE)
target_include_directories(mirelune_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
