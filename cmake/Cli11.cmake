# Command lines are read with CLI11 (header-only; Debian's libcli11-dev).
# Native and cross builds alike take the header from the build machine
# through a folder of the build tree that holds nothing else, so that a cross
# build for Windows sees no other header of the build machine.
find_path(MARROWGATE_CLI11_DIR CLI.hpp PATHS /usr/include/CLI /usr/local/include/CLI
          NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT MARROWGATE_CLI11_DIR)
  message(FATAL_ERROR "CLI11 is missing (Debian: libcli11-dev; tools/install-deps.sh installs it)")
endif()
set(only_cli11 ${CMAKE_BINARY_DIR}/cli11-only)
file(MAKE_DIRECTORY ${only_cli11})
file(CREATE_LINK ${MARROWGATE_CLI11_DIR} ${only_cli11}/CLI SYMBOLIC)
add_library(marrowgate_cli11 INTERFACE)
target_include_directories(marrowgate_cli11 SYSTEM INTERFACE ${only_cli11})
