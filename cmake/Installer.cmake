# The Windows installer, made by wixl (msitools): `cmake --build <dir> --target msi` writes
# packages/TervoloPLUS-<version>-x64.msi (x86 in the 32-bit build) with the programs, the
# conversion kit and the read-me. Expects TERVOLO_KIT_FILES and the signing settings from
# Packaging.cmake.
find_program(TERVOLO_WIXL wixl)
if(NOT TERVOLO_WIXL)
    message(STATUS "wixl not found (run scripts/install-deps.sh): no msi target")
    return()
endif()

# Never change it: by it a new version finds the older ones it replaces.
set(TERVOLO_UPGRADE_CODE "6E0C1D52-8A4B-4F5E-9C71-3B2D5A8E4F10")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TERVOLO_MSI_ARCH x64)
    set(TERVOLO_MSI_WIN64 yes)
    set(TERVOLO_MSI_PROGRAM_FILES ProgramFiles64Folder)
else()
    set(TERVOLO_MSI_ARCH x86)
    set(TERVOLO_MSI_WIN64 no)
    set(TERVOLO_MSI_PROGRAM_FILES ProgramFilesFolder)
endif()

# A component per kit file; wixl derives stable component codes from the files' places.
set(TERVOLO_MSI_KIT_COMPONENTS "")
set(TERVOLO_MSI_KIT_REFS "")
set(_n 0)
foreach(_name IN LISTS TERVOLO_KIT_NAMES)
    math(EXPR _n "${_n} + 1")
    string(APPEND TERVOLO_MSI_KIT_COMPONENTS
        "          <Component Id=\"Kit${_n}\" Guid=\"*\" Win64=\"${TERVOLO_MSI_WIN64}\">\n"
        "            <File Id=\"Kit${_n}\" Name=\"${_name}\" Source=\"$(var.Stage)/${_name}\"\n"
        "                  KeyPath=\"yes\"/>\n"
        "          </Component>\n")
    string(APPEND TERVOLO_MSI_KIT_REFS "      <ComponentRef Id=\"Kit${_n}\"/>\n")
endforeach()
set(TERVOLO_MSI_DIR ${CMAKE_BINARY_DIR}/packaging)
configure_file(${CMAKE_SOURCE_DIR}/packaging/TervoloPLUS.wxs.in ${TERVOLO_MSI_DIR}/TervoloPLUS.wxs.in
               @ONLY)
# The kit's file names may hold generator expressions ($<TARGET_FILE:relconv>).
file(GENERATE OUTPUT ${TERVOLO_MSI_DIR}/TervoloPLUS.wxs INPUT ${TERVOLO_MSI_DIR}/TervoloPLUS.wxs.in)

# Adds target `name` that writes `output`, an installer of version `version` (three numbers)
# from this build's programs, making its folder; the build fails when no installer came out
# (cmake/Wixl.cmake). Signed like the programs when a certificate is given.
function(tervolo_add_msi name version output)
    string(UUID _product NAMESPACE ${TERVOLO_UPGRADE_CODE} NAME "${version}-${TERVOLO_MSI_ARCH}"
           TYPE SHA1 UPPER)
    # wixl takes its sources relative to the folder it runs in: everything is copied into a
    # stage folder beside the .wxs first.
    set(_stage ${TERVOLO_MSI_DIR}/${name})
    set(_commands
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${_stage}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_stage}
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:TervoloPLUS> $<TARGET_FILE:tervolo-cli>
                $<TARGET_FILE:TervoloStation> ${TERVOLO_KIT_FILES} ${_stage}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/README-windows.txt
                ${_stage}/README.txt)
    if(NOT TERVOLO_SIGN_COMMAND)
        # Signed programs come stripped from their build; stripping would break the signature.
        list(APPEND _commands COMMAND ${CMAKE_STRIP} ${_stage}/TervoloPLUS.exe ${_stage}/tervolo-cli.exe
                                      ${_stage}/TervoloStation.exe)
    endif()
    foreach(_built IN LISTS TERVOLO_KIT_BUILT)
        list(APPEND _commands COMMAND ${CMAKE_STRIP} ${_stage}/${_built})
    endforeach()
    list(APPEND _commands
        COMMAND ${CMAKE_COMMAND} -DWIXL=${TERVOLO_WIXL} -DARCH=${TERVOLO_MSI_ARCH}
                -DVERSION=${version} -DPRODUCT_CODE=${_product} -DSTAGE=${name}
                -DSOURCE=TervoloPLUS.wxs -DOUTPUT=${output} -P ${CMAKE_SOURCE_DIR}/cmake/Wixl.cmake)
    if(TERVOLO_SIGN_COMMAND)
        list(APPEND _commands COMMAND ${TERVOLO_SIGN_COMMAND} -DFILE=${output} -P
                                      ${CMAKE_SOURCE_DIR}/cmake/Sign.cmake)
    endif()
    add_custom_command(OUTPUT ${output} ${_commands}
        DEPENDS TervoloPLUS tervolo-cli TervoloStation ${TERVOLO_KIT_FILES} ${TERVOLO_MSI_DIR}/TervoloPLUS.wxs
                ${CMAKE_SOURCE_DIR}/packaging/README-windows.txt ${CMAKE_SOURCE_DIR}/cmake/Wixl.cmake
        WORKING_DIRECTORY ${TERVOLO_MSI_DIR}
        COMMENT "Installer ${output}"
        VERBATIM)
    add_custom_target(${name} DEPENDS ${output})
endfunction()

tervolo_add_msi(msi ${TERVOLO_VERSION_MSI}
                ${CPACK_OUTPUT_FILE_PREFIX}/TervoloPLUS-${TERVOLO_VERSION}-${TERVOLO_MSI_ARCH}.msi)

if(CMAKE_CROSSCOMPILING AND TARGET download_e2e_tests)
    add_subdirectory(${CMAKE_SOURCE_DIR}/tests/win/packaging ${CMAKE_BINARY_DIR}/tests/win/packaging)
endif()
