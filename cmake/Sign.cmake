# Signs one file (program or installer) with Authenticode, SHA-256, by osslsigncode, in place.
#   cmake -DFILE=<file> -DCERT=<pfx> -DPASSWORD_FILE=<file> [-DTIMESTAMP_URL=<url>]
#         [-DOSSLSIGNCODE=<path>] -P Sign.cmake
if(NOT OSSLSIGNCODE)
    set(OSSLSIGNCODE osslsigncode)
endif()
foreach(_required FILE CERT PASSWORD_FILE)
    if(NOT ${_required})
        message(FATAL_ERROR "Sign.cmake needs -D${_required}=...")
    endif()
endforeach()
set(_args sign -pkcs12 ${CERT} -readpass ${PASSWORD_FILE} -h sha256 -n TervoloPLUS
          -i https://www.quorvatek.com/)
if(TIMESTAMP_URL)
    list(APPEND _args -ts ${TIMESTAMP_URL})
endif()
# osslsigncode refuses to overwrite its input: sign into a neighbour, then replace.
execute_process(COMMAND ${OSSLSIGNCODE} ${_args} -in ${FILE} -out ${FILE}.signed
                RESULT_VARIABLE _status OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
if(NOT _status EQUAL 0)
    file(REMOVE ${FILE}.signed)
    message(FATAL_ERROR "signing ${FILE} failed: ${_out}")
endif()
file(RENAME ${FILE}.signed ${FILE})
