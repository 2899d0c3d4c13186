# Run by cpack for each package, on the files it has installed into its
# staging folder and before it packs them (CPACK_PRE_BUILD_SCRIPTS): each
# binary we build goes in stripped (as the build left it), its debug
# information into the symbols zip beside the packages, matched by the
# binary's build id.
#
# From the CPack configuration (VeloraBundle.cmake, cpack_options.cmake):
#   CPACK_VELORA_OWN_BINARIES    our binaries, relative to the bundle's root
#   CPACK_VELORA_SYMBOLS_FORMAT  dwarf: the .debug files the build split off
#                                with objcopy; pdb: the linker's PDB files
#   CPACK_VELORA_SYMBOLS_DIR     where the build left them (bin/)
#   CPACK_VELORA_SYMBOLS_ZIP     the symbols zip's file name
#   CPACK_VELORA_SIGN_*          signing settings; without a certificate the
#                                packages are unsigned, and cpack says so once
set(staging "${CPACK_TEMPORARY_DIRECTORY}")
set(symbols "${CPACK_TOPLEVEL_DIRECTORY}/symbols/${CPACK_PACKAGE_FILE_NAME}")
file(REMOVE_RECURSE "${symbols}")
file(MAKE_DIRECTORY "${symbols}")

foreach(binary IN LISTS CPACK_VELORA_OWN_BINARIES)
  set(file "${staging}/${binary}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "release_binaries: ${binary} is not in the package")
  endif()
  get_filename_component(name "${binary}" NAME)
  if(CPACK_VELORA_SYMBOLS_FORMAT STREQUAL "dwarf")
    # The build stripped the binary and split its debug information off
    # (velora_split_debug_info); the build id stays.
    set(debug "${CPACK_VELORA_SYMBOLS_DIR}/symbols/${name}.debug")
    if(NOT EXISTS "${debug}")
      message(FATAL_ERROR "release_binaries: no ${debug}")
    endif()
    file(COPY "${debug}" DESTINATION "${symbols}")
  else()
    # The binary holds no debug information, only its PDB's name and id.
    # lld writes it beside the binary, under the binary's stem.
    get_filename_component(stem "${binary}" NAME_WLE)
    get_filename_component(dir "${binary}" DIRECTORY)
    set(pdb "${CPACK_VELORA_SYMBOLS_DIR}/${dir}/${stem}.pdb")
    if(NOT EXISTS "${pdb}")
      message(FATAL_ERROR "release_binaries: no ${pdb} "
                          "(package a configuration with debug information)")
    endif()
    file(COPY "${pdb}" DESTINATION "${symbols}")
  endif()
endforeach()

set(zip "${CPACK_PACKAGE_DIRECTORY}/${CPACK_VELORA_SYMBOLS_ZIP}")
file(GLOB symbol_files RELATIVE "${symbols}" "${symbols}/*")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip ${symbol_files}
                WORKING_DIRECTORY "${symbols}" COMMAND_ERROR_IS_FATAL ANY)

# Signed before the package takes it: the signature covers the stripped
# file, and the build id the symbols are matched by stays.
get_property(told GLOBAL PROPERTY VELORA_SIGNING_TOLD)
if(CPACK_VELORA_SIGN_PFX)
  execute_process(COMMAND "${CMAKE_COMMAND}" ${CPACK_VELORA_SIGN_DEFINITIONS}
                          "-DFILE=${staging}/velora.exe" -P "${CPACK_VELORA_SIGN_SCRIPT}"
                  COMMAND_ERROR_IS_FATAL ANY)
  if(NOT told)
    message(STATUS "Packages signed with ${CPACK_VELORA_SIGN_PFX}")
  endif()
elseif(NOT told)
  message(STATUS "Packages unsigned: no code-signing certificate "
                 "(VELORA_SIGN_PFX and VELORA_SIGN_PASSWORD_FILE; see the README)")
endif()
set_property(GLOBAL PROPERTY VELORA_SIGNING_TOLD ON)
