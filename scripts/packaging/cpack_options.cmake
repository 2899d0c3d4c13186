# Read by cpack once per generator: the zip holds the bundle in one folder,
# the installer is named apart from the zip.
if(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
elseif(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()

# Signing (VeloraBundle.cmake): the environment serves when the build was
# configured without a certificate. CPACK_VELORA_SIGN_DEFINITIONS are
# sign_pe.cmake's settings but the file.
foreach(setting PFX PASSWORD_FILE TIMESTAMP_URL)
  if(NOT CPACK_VELORA_SIGN_${setting} AND NOT "$ENV{VELORA_SIGN_${setting}}" STREQUAL "")
    set(CPACK_VELORA_SIGN_${setting} "$ENV{VELORA_SIGN_${setting}}")
  endif()
endforeach()
set(CPACK_VELORA_SIGN_DEFINITIONS
    "-DPFX=${CPACK_VELORA_SIGN_PFX}" "-DPASSWORD_FILE=${CPACK_VELORA_SIGN_PASSWORD_FILE}"
    "-DTIMESTAMP_URL=${CPACK_VELORA_SIGN_TIMESTAMP_URL}"
    "-DDESCRIPTION=${CPACK_NSIS_DISPLAY_NAME}")
set(CPACK_VELORA_NSIS_SIGNING "")
if(CPACK_VELORA_SIGN_PFX)
  # makensis runs it on the uninstaller before packing it and on the
  # installer once written (%1), and stops on a failure.
  set(command "\"${CMAKE_COMMAND}\"")
  foreach(argument IN LISTS CPACK_VELORA_SIGN_DEFINITIONS ITEMS "-DFILE=%1")
    string(APPEND command " \"${argument}\"")
  endforeach()
  string(APPEND command " -P \"${CPACK_VELORA_SIGN_SCRIPT}\"")
  set(CPACK_VELORA_NSIS_SIGNING "!uninstfinalize '${command}' = 0\n!finalize '${command}' = 0")
endif()
