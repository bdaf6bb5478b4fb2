# The version of both programs and of every package, set in one place: -DTERVOLO_VERSION=1.2
# (up to four numbers). The resources, the About box, tervolo-cli's journal, the package names
# and the installers all take it from here.
set(TERVOLO_VERSION "1.0" CACHE STRING "Version of the programs and packages (1 to 4 numbers)")
if(NOT TERVOLO_VERSION MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
    message(FATAL_ERROR "TERVOLO_VERSION must be up to four numbers joined by dots, not '${TERVOLO_VERSION}'")
endif()
string(REPLACE "." ";" _parts "${TERVOLO_VERSION}")
list(LENGTH _parts _count)
while(_count LESS 4)
    list(APPEND _parts 0)
    math(EXPR _count "${_count} + 1")
endwhile()
list(GET _parts 0 TERVOLO_VERSION_MAJOR)
list(GET _parts 1 TERVOLO_VERSION_MINOR)
list(GET _parts 2 TERVOLO_VERSION_PATCH)
list(GET _parts 3 TERVOLO_VERSION_BUILD)
# Windows Installer compares only the first three fields: major and minor up to 255, the third
# up to 65535; a version resource holds four 16-bit numbers.
if(TERVOLO_VERSION_MAJOR GREATER 255 OR TERVOLO_VERSION_MINOR GREATER 255
   OR TERVOLO_VERSION_PATCH GREATER 65535 OR TERVOLO_VERSION_BUILD GREATER 65535)
    message(FATAL_ERROR "TERVOLO_VERSION ${TERVOLO_VERSION}: major and minor up to 255, the rest up to 65535")
endif()
set(TERVOLO_VERSION_COMMAS
    "${TERVOLO_VERSION_MAJOR},${TERVOLO_VERSION_MINOR},${TERVOLO_VERSION_PATCH},${TERVOLO_VERSION_BUILD}")
set(TERVOLO_VERSION_MSI "${TERVOLO_VERSION_MAJOR}.${TERVOLO_VERSION_MINOR}.${TERVOLO_VERSION_PATCH}")

set(TERVOLO_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/base/version.h.in ${TERVOLO_GENERATED_DIR}/tervolo_version.h @ONLY)

# A version resource for a Windows program: file and product version, product name, company.
function(tervolo_version_resource target description)
    set(TERVOLO_FILE_DESCRIPTION "${description}")
    set(TERVOLO_ORIGINAL_FILENAME "${target}.exe")
    set(_rc ${TERVOLO_GENERATED_DIR}/${target}_version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/res/version.rc.in ${_rc} @ONLY)
    target_sources(${target} PRIVATE ${_rc})
endfunction()
