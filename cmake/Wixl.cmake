# One installer by wixl, for the msi targets (cmake/Installer.cmake). wixl reports success
# after "open file failed" and its assertions, having written nothing, so the installer file
# decides: the build fails unless wixl ended well, said nothing critical and wrote a file.
#   cmake -DWIXL=... -DARCH=x64|x86 -DVERSION=a.b.c -DPRODUCT_CODE=... -DSTAGE=<folder>
#         -DSOURCE=<.wxs> -DOUTPUT=<.msi> -P Wixl.cmake        (run in the .wxs's folder)
get_filename_component(_folder "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${_folder}")
# An installer an earlier build left must not pass for this one.
file(REMOVE "${OUTPUT}")
execute_process(
    COMMAND "${WIXL}" -a ${ARCH} -D Version=${VERSION} -D ProductCode=${PRODUCT_CODE}
            -D Stage=${STAGE} -o "${OUTPUT}" "${SOURCE}"
    RESULT_VARIABLE _status
    OUTPUT_VARIABLE _said
    ERROR_VARIABLE _said)
if(_said)
    message("${_said}")
endif()
set(_size 0)
if(EXISTS "${OUTPUT}")
    file(SIZE "${OUTPUT}" _size)
endif()
if(NOT _status EQUAL 0 OR _said MATCHES "CRITICAL" OR _size EQUAL 0)
    file(REMOVE "${OUTPUT}")
    message(FATAL_ERROR "wixl wrote no installer ${OUTPUT} (exit status ${_status}, ${_size} bytes)")
endif()
