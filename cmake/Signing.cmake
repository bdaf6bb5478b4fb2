# Authenticode signing (osslsigncode, SHA-256) of both programs and the installer, when a
# certificate is given: -DTERVOLO_SIGN_CERT=<pfx> -DTERVOLO_SIGN_PASSWORD_FILE=<file>. Without
# it nothing is signed.
set(TERVOLO_SIGN_CERT "" CACHE FILEPATH "PKCS#12 (.pfx) certificate to sign with; empty: no signing")
set(TERVOLO_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the certificate's password")
set(TERVOLO_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures")

if(TERVOLO_SIGN_CERT AND WIN32)
    find_program(TERVOLO_OSSLSIGNCODE osslsigncode REQUIRED)
    if(NOT TERVOLO_SIGN_PASSWORD_FILE)
        message(FATAL_ERROR "TERVOLO_SIGN_CERT needs TERVOLO_SIGN_PASSWORD_FILE")
    endif()
    # Run with -DFILE=<file> -P cmake/Sign.cmake.
    set(TERVOLO_SIGN_COMMAND ${CMAKE_COMMAND} -DCERT=${TERVOLO_SIGN_CERT}
        -DPASSWORD_FILE=${TERVOLO_SIGN_PASSWORD_FILE} -DOSSLSIGNCODE=${TERVOLO_OSSLSIGNCODE}
        -DTIMESTAMP_URL=${TERVOLO_SIGN_TIMESTAMP_URL})
endif()

# Signs a program where it is built, stripped first: stripping afterwards (CPack does it
# otherwise) would break the signature. Call it in the folder that adds the program.
function(tervolo_sign_program target)
    if(TERVOLO_SIGN_COMMAND)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_STRIP} $<TARGET_FILE:${target}>
            COMMAND ${TERVOLO_SIGN_COMMAND} -DFILE=$<TARGET_FILE:${target}>
                    -P ${CMAKE_SOURCE_DIR}/cmake/Sign.cmake
            VERBATIM)
    endif()
endfunction()
