# JSON is read and written with nlohmann-json (header-only; Debian's
# nlohmann-json3-dev). A cross build for Windows looks in its own folders
# only: there the header is taken from the build machine, through a folder
# that holds nothing else, so that no other header of the build machine is
# seen.
find_package(nlohmann_json 3 QUIET)
if(NOT nlohmann_json_FOUND)
  find_path(MARROWGATE_NLOHMANN_DIR json.hpp PATHS /usr/include/nlohmann /usr/local/include/nlohmann
            NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
  if(NOT MARROWGATE_NLOHMANN_DIR)
    message(FATAL_ERROR "nlohmann-json is missing (Debian: nlohmann-json3-dev; tools/install-deps.sh installs it)")
  endif()
  set(only_json ${CMAKE_BINARY_DIR}/nlohmann-json-only)
  file(MAKE_DIRECTORY ${only_json})
  file(CREATE_LINK ${MARROWGATE_NLOHMANN_DIR} ${only_json}/nlohmann SYMBOLIC)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${only_json})
endif()
