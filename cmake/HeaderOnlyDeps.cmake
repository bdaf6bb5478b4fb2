# The header-only libraries of the console program: CLI11 (libcli11-dev) and nlohmann/json
# (nlohmann-json3-dev), found under the build machine's /usr/include. The cross builds must not
# see the rest of that folder (glibc's headers), so only the two libraries' folders are linked
# into a folder of the build tree, which every build adds to its include path.
if(TARGET tervolo_header_deps)
    return()
endif()

find_path(TERVOLO_CLI11_INCLUDE CLI/CLI.hpp
    PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
find_path(TERVOLO_JSON_INCLUDE nlohmann/json.hpp
    PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT TERVOLO_CLI11_INCLUDE)
    message(FATAL_ERROR "CLI11 not found: install libcli11-dev (scripts/install-deps.sh)")
endif()
if(NOT TERVOLO_JSON_INCLUDE)
    message(FATAL_ERROR "nlohmann/json not found: install nlohmann-json3-dev (scripts/install-deps.sh)")
endif()

set(_deps_dir ${CMAKE_BINARY_DIR}/header-deps)
file(MAKE_DIRECTORY ${_deps_dir})
file(CREATE_LINK ${TERVOLO_CLI11_INCLUDE}/CLI ${_deps_dir}/CLI SYMBOLIC)
file(CREATE_LINK ${TERVOLO_JSON_INCLUDE}/nlohmann ${_deps_dir}/nlohmann SYMBOLIC)

add_library(tervolo_header_deps INTERFACE)
target_include_directories(tervolo_header_deps SYSTEM INTERFACE ${_deps_dir})
