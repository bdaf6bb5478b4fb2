# Packages, made by `cmake --build <build dir> --target package` (CPack):
#   Windows (mingw builds): a zip with TervoloPLUS.exe, tervolo-cli.exe, the conversion kit and a
#   read-me; Linux: a tarball with tervolo-cli, the simulator and a read-me.
# Only the "runtime" component goes in, so the test libraries' install rules stay out.
# The conversion kit: tervolo.bat with the utilities and command files it calls, which the
# window runs from its own folder. Its files go beside the programs.
set(TERVOLO_KIT_DIR "${CMAKE_SOURCE_DIR}/kit" CACHE PATH "Folder of the conversion kit")

set(_component COMPONENT runtime)
if(WIN32)
    install(TARGETS TervoloPLUS RUNTIME DESTINATION . ${_component})
    if(TARGET tervolo-cli)
        install(TARGETS tervolo-cli RUNTIME DESTINATION . ${_component})
    endif()
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/README-windows.txt DESTINATION .
            RENAME README.txt ${_component})
    if(IS_DIRECTORY "${TERVOLO_KIT_DIR}")
        install(DIRECTORY "${TERVOLO_KIT_DIR}/" DESTINATION . ${_component}
                PATTERN "CMakeLists.txt" EXCLUDE)
    else()
        message(STATUS "No conversion kit at ${TERVOLO_KIT_DIR}: the zip goes without it")
    endif()
    set(CPACK_GENERATOR ZIP)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(CPACK_SYSTEM_NAME win64)
    else()
        set(CPACK_SYSTEM_NAME win32)
    endif()
else()
    install(TARGETS tervolo-cli tervolo-sim RUNTIME DESTINATION bin ${_component})
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/README-linux.txt DESTINATION .
            RENAME README.txt ${_component})
    install(FILES ${CMAKE_SOURCE_DIR}/sim/CONTROL.md DESTINATION doc ${_component})
    set(CPACK_GENERATOR TGZ)
    set(CPACK_SYSTEM_NAME Linux-${CMAKE_SYSTEM_PROCESSOR})
endif()

set(CPACK_PACKAGE_NAME TervoloPLUS)
set(CPACK_PACKAGE_VENDOR TervoloPLUS)
set(CPACK_PACKAGE_VERSION ${TERVOLO_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Writes firmware into handsets over serial ports")
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
include(CPack)
