# The header-only libraries of the console program: CLI11 (libcli11-dev) and nlohmann/json
# (nlohmann-json3-dev). The mingw builds take them from the build machine's /usr/include, but
# must not see the rest of that folder (glibc's headers): only the two libraries' folders are
# linked into a folder of the build tree, which those builds add to their include path.
# Without them an MSVC build leaves tervolo-cli out; every other build stops.
if(TARGET tervolo_header_deps)
    return()
endif()

find_path(TERVOLO_CLI11_INCLUDE CLI/CLI.hpp)
find_path(TERVOLO_JSON_INCLUDE nlohmann/json.hpp)
if(CMAKE_CROSSCOMPILING)
    find_path(TERVOLO_CLI11_INCLUDE CLI/CLI.hpp
        PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
    find_path(TERVOLO_JSON_INCLUDE nlohmann/json.hpp
        PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
endif()
if(NOT TERVOLO_CLI11_INCLUDE OR NOT TERVOLO_JSON_INCLUDE)
    set(_missing "CLI11 (libcli11-dev) or nlohmann/json (nlohmann-json3-dev) not found")
    if(MSVC)
        message(WARNING "${_missing}: tervolo-cli is not built")
        return()
    endif()
    message(FATAL_ERROR "${_missing}: run scripts/install-deps.sh")
endif()

add_library(tervolo_header_deps INTERFACE)
if(CMAKE_CROSSCOMPILING)
    set(_deps_dir ${CMAKE_BINARY_DIR}/header-deps)
    file(MAKE_DIRECTORY ${_deps_dir})
    file(CREATE_LINK ${TERVOLO_CLI11_INCLUDE}/CLI ${_deps_dir}/CLI SYMBOLIC)
    file(CREATE_LINK ${TERVOLO_JSON_INCLUDE}/nlohmann ${_deps_dir}/nlohmann SYMBOLIC)
    target_include_directories(tervolo_header_deps SYSTEM INTERFACE ${_deps_dir})
else()
    target_include_directories(tervolo_header_deps SYSTEM INTERFACE
        ${TERVOLO_CLI11_INCLUDE} ${TERVOLO_JSON_INCLUDE})
endif()
