# Packages, made by `cmake --build <build dir> --target package` (CPack):
#   Windows (mingw builds): a zip with TervoloPLUS.exe, tervolo-cli.exe, the conversion kit and a
#   read-me, and with the `msi` target an installer (cmake/Installer.cmake); Linux: a tarball and
#   a Debian package with tervolo-cli, the simulator, their manual pages and a read-me.
# Only the listed components go in, so the test libraries' install rules stay out.
# The conversion kit: tervolo.bat with the utilities and command files it calls, which the
# window runs from its own folder. Its files go beside the programs.
set(TERVOLO_KIT_DIR "${CMAKE_SOURCE_DIR}/kit" CACHE PATH "Folder of the conversion kit")
set(_component COMPONENT runtime)
if(WIN32)
    # Our own kit is its batch and command files with the built relconv.exe; another kit folder
    # is taken whole.
    if(TERVOLO_KIT_DIR STREQUAL "${CMAKE_SOURCE_DIR}/kit")
        set(TERVOLO_KIT_FILES $<TARGET_FILE:relconv>)
        set(TERVOLO_KIT_NAMES $<TARGET_FILE_NAME:relconv>)
        set(TERVOLO_KIT_BUILT $<TARGET_FILE_NAME:relconv>) # ours to strip
        foreach(_file tervolo.bat IMAGE.CMD RT47X_LP.CMD RT37_LP.CMD RT47_LP.CMD)
            list(APPEND TERVOLO_KIT_FILES ${TERVOLO_KIT_DIR}/${_file})
            list(APPEND TERVOLO_KIT_NAMES ${_file})
        endforeach()
    elseif(IS_DIRECTORY "${TERVOLO_KIT_DIR}")
        file(GLOB TERVOLO_KIT_FILES LIST_DIRECTORIES false "${TERVOLO_KIT_DIR}/*")
        set(TERVOLO_KIT_NAMES)
        foreach(_file IN LISTS TERVOLO_KIT_FILES)
            get_filename_component(_name ${_file} NAME)
            list(APPEND TERVOLO_KIT_NAMES ${_name})
        endforeach()
    else()
        set(TERVOLO_KIT_FILES)
        set(TERVOLO_KIT_NAMES)
        message(STATUS "No conversion kit at ${TERVOLO_KIT_DIR}: the packages go without it")
    endif()

    install(TARGETS TervoloPLUS RUNTIME DESTINATION . ${_component})
    if(TARGET tervolo-cli)
        install(TARGETS tervolo-cli RUNTIME DESTINATION . ${_component})
    endif()
    if(TARGET TervoloStation)
        install(TARGETS TervoloStation RUNTIME DESTINATION . ${_component})
    endif()
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/README-windows.txt DESTINATION .
            RENAME README.txt ${_component})
    # Our relconv as a target, so that CPack strips it like the programs.
    set(_kit_files ${TERVOLO_KIT_FILES})
    if(TERVOLO_KIT_BUILT)
        install(TARGETS relconv RUNTIME DESTINATION . ${_component})
        list(FILTER _kit_files EXCLUDE REGEX "^\\$<")
    endif()
    install(PROGRAMS ${_kit_files} DESTINATION . ${_component})
    set(CPACK_GENERATOR ZIP)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(CPACK_SYSTEM_NAME win64)
    else()
        set(CPACK_SYSTEM_NAME win32)
    endif()
    set(CPACK_COMPONENTS_ALL runtime)
else()
    include(GNUInstallDirs)
    install(TARGETS tervolo-cli tervolo-sim RUNTIME DESTINATION bin ${_component})
    # The tarball: a read-me at the top and the control reference in doc/.
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/README-linux.txt DESTINATION .
            RENAME README.txt COMPONENT archive)
    install(FILES ${CMAKE_SOURCE_DIR}/sim/CONTROL.md DESTINATION doc COMPONENT archive)
    # The Debian package: under /usr, the documents where Debian keeps them, manual pages made
    # by help2man from the programs' --help and --version.
    set(_doc share/doc/tervoloplus)
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/README-linux.txt DESTINATION ${_doc}
            RENAME README.txt COMPONENT debian)
    install(FILES ${CMAKE_SOURCE_DIR}/sim/CONTROL.md DESTINATION ${_doc} COMPONENT debian)
    find_program(TERVOLO_HELP2MAN help2man)
    if(TERVOLO_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
        set(_man_dir ${CMAKE_BINARY_DIR}/man)
        set(_pages)
        foreach(_entry "tervolo-cli|download --help|write firmware into handsets over serial ports"
                       "tervolo-sim|--help|simulated handset for TervoloPLUS on a pseudo-terminal")
            string(REPLACE "|" ";" _entry "${_entry}")
            list(GET _entry 0 _program)
            list(GET _entry 1 _help)
            list(GET _entry 2 _name)
            set(_page ${_man_dir}/${_program}.1.gz)
            add_custom_command(OUTPUT ${_page}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${_man_dir}
                COMMAND ${TERVOLO_HELP2MAN} --no-info --no-discard-stderr
                        --version-option=--version --help-option=${_help}
                        --name=${_name} --output=${_man_dir}/${_program}.1
                        $<TARGET_FILE:${_program}>
                COMMAND gzip -9nf ${_man_dir}/${_program}.1
                DEPENDS ${_program}
                VERBATIM)
            list(APPEND _pages ${_page})
        endforeach()
        add_custom_target(man_pages ALL DEPENDS ${_pages})
        install(FILES ${_pages} DESTINATION share/man/man1 COMPONENT debian)
    else()
        message(STATUS "help2man not found: the Debian package goes without manual pages")
    endif()
    set(CPACK_GENERATOR TGZ DEB)
    set(CPACK_SYSTEM_NAME Linux-${CMAKE_SYSTEM_PROCESSOR})
    set(CPACK_DEBIAN_PACKAGE_NAME tervoloplus)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorvatek")
    set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # The summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "tervolo-cli runs downloads on one or several serial \
ports from a console or a script; tervolo-sim simulates a handset on a pseudo-terminal. Serial \
ports need the dialout group.")
    # The tarball and the Debian package hold different documents (cmake/CPackLayout.cmake).
    set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/CPackLayout.cmake)
endif()

set(CPACK_PACKAGE_NAME TervoloPLUS)
set(CPACK_PACKAGE_VENDOR Quorvatek)
set(CPACK_PACKAGE_VERSION ${TERVOLO_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Writes firmware into handsets over serial ports")
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Signed programs are already stripped; stripping them again would break their signatures.
if(TERVOLO_SIGN_COMMAND)
    set(CPACK_STRIP_FILES OFF)
else()
    set(CPACK_STRIP_FILES ON)
endif()
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
include(CPack)

if(WIN32 AND TARGET tervolo-cli)
    include(${CMAKE_SOURCE_DIR}/cmake/Installer.cmake)
endif()
