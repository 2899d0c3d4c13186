# Signs one PE file in place with Authenticode (cmake -P), through
# osslsigncode: run by cpack on velora.exe in each package's staging folder
# (release_binaries.cmake) and by makensis on the uninstaller before it is
# packed and on the installer once written (!uninstfinalize, !finalize).
#   -DFILE=           the PE file
#   -DPFX=            the certificate and its key, as a PKCS#12 file
#   -DPASSWORD_FILE=  a file holding the PFX's password: osslsigncode reads
#                     it there, so it is never on a command line or in a log
#   -DTIMESTAMP_URL=  optional: an RFC 3161 time-stamping server, so that the
#                     signature outlives the certificate
#   -DDESCRIPTION=    the signed content's name, shown by Windows' prompts
cmake_minimum_required(VERSION 3.25)
foreach(required FILE PFX PASSWORD_FILE)
  if(NOT ${required})
    message(FATAL_ERROR "sign_pe: no ${required} given")
  endif()
endforeach()
foreach(input "${FILE}" "${PFX}" "${PASSWORD_FILE}")
  if(NOT EXISTS "${input}")
    message(FATAL_ERROR "sign_pe: no file ${input}")
  endif()
endforeach()
find_program(OSSLSIGNCODE osslsigncode)
if(NOT OSSLSIGNCODE)
  message(FATAL_ERROR "sign_pe: osslsigncode is not installed")
endif()

set(timestamp)
if(TIMESTAMP_URL)
  set(timestamp -ts "${TIMESTAMP_URL}")
endif()
set(signed "${FILE}.signed")
file(REMOVE "${signed}")
execute_process(
  COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${PFX}" -readpass "${PASSWORD_FILE}" -h sha256
          -n "${DESCRIPTION}" ${timestamp} -in "${FILE}" -out "${signed}"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT EXISTS "${signed}")
  file(REMOVE "${signed}")
  message(FATAL_ERROR "sign_pe: signing ${FILE} failed (${status}):\n${output}")
endif()
file(RENAME "${signed}" "${FILE}")
message(STATUS "Signed ${FILE}")
