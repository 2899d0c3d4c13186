# Run by cpack after the packages are made (CPACK_POST_BUILD_SCRIPTS): says
# whether the installer came out 64-bit or, from an NSIS without 64-bit
# stubs, 32-bit (NSIS.template.in chooses), as read from its PE header.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.exe$")
    continue()
  endif()
  # The PE header's offset, little-endian at 0x3C; its machine field follows
  # the four-byte signature.
  file(READ ${package} offset OFFSET 60 LIMIT 4 HEX)
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" offset "${offset}")
  math(EXPR machine_at "0x${offset} + 4")
  file(READ ${package} machine OFFSET ${machine_at} LIMIT 2 HEX)
  get_filename_component(name ${package} NAME)
  if(machine STREQUAL "6486")
    message(STATUS "NSIS installer: 64-bit (amd64-unicode): ${name}")
  elseif(machine STREQUAL "4c01")
    message(STATUS "NSIS installer: 32-bit (x86-unicode; this NSIS has no amd64-unicode stubs): "
                   "${name}")
  else()
    message(FATAL_ERROR "NSIS installer of an unknown machine (${machine}): ${name}")
  endif()
endforeach()
