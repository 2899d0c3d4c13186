# What a release needs of every Windows binary we build, for the field:
# a build id that debuggers match symbols by, debug information a debugger
# of the build's toolchain reads, and the exploit mitigations the toolchain
# can give. Included by the top-level file after GoogleTest's sources, so
# that these flags reach our own code (product, stand-ins, tests, tools).
#
# Checked on the packaged files of both compilers by
# tests/packaging/hardening_test.sh:
# ASLR (DYNAMIC_BASE with a .reloc section, HIGH_ENTROPY_VA), DEP
# (NX_COMPAT), no section both writable and executable, velora.exe
# TERMINAL_SERVICE_AWARE, the stack protector and _FORTIFY_SOURCE=2.
# Not given, because the toolchains here cannot: Control Flow Guard (GCC
# has none; clang 14 and lld 14 have none for MinGW targets) and CET
# shadow-stack compatibility (GNU ld 2.40 cannot mark it; lld could, but
# nothing here can show that the binaries keep working under a shadow stack).

# velora_split_debug_info(<target>...)
# For the binaries of the bundle (DWARF builds): at every link the debug
# information and the symbol table move into bin/symbols/<binary's
# name>.debug, matched to the binary by its build id. No debug link: while
# it writes a dump, Wine 8's dbghelp faults on a module's DWARF 4, on its
# symbol table, and (a heap overrun, once module paths are about 90
# characters long) on a .gnu_debuglink section; Windows' dbghelp reads none
# of them. Debuggers are pointed at the folder. Packaging takes the files
# into the symbols zip. Called in each target's own folder.
# PDB builds with lld keep their own debug information in the PDB, but the
# MinGW runtime they link (GCC's, built with DWARF) brings DWARF sections
# along, which lld keeps: they are stripped after each link.
set(VELORA_SYMBOLS_OUTPUT_DIR ${VELORA_OUTPUT_DIR}/symbols)
function(velora_split_debug_info)
  if(VELORA_SYMBOLS_FORMAT STREQUAL "pdb" AND NOT MSVC)
    foreach(target IN LISTS ARGN)
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_STRIP} --strip-debug $<TARGET_FILE:${target}> VERBATIM)
    endforeach()
    return()
  elseif(NOT VELORA_SYMBOLS_FORMAT STREQUAL "dwarf")
    return()
  endif()
  file(MAKE_DIRECTORY ${VELORA_SYMBOLS_OUTPUT_DIR})
  foreach(target IN LISTS ARGN)
    set(binary $<TARGET_FILE:${target}>)
    set(debug ${VELORA_SYMBOLS_OUTPUT_DIR}/$<TARGET_FILE_NAME:${target}>.debug)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${binary} ${debug}
      COMMAND ${CMAKE_OBJCOPY} --strip-all ${binary}
      VERBATIM)
  endforeach()
endfunction()

if(MSVC)
  # The Visual C++ defaults already give /GS, /DYNAMICBASE, /HIGHENTROPYVA,
  # /NXCOMPAT and, for executables, /TSAWARE. Release configurations get a
  # PDB too (the build id is its RSDS record), and Control Flow Guard.
  add_compile_options($<$<CONFIG:Release,MinSizeRel>:/Zi> /guard:cf)
  add_link_options(/DEBUG /OPT:REF /OPT:ICF /guard:cf)
  set(VELORA_SYMBOLS_FORMAT pdb)
  return()
endif()

# The stack protector on every function with an array or an address-taken
# local (MinGW-w64 ships libssp, which -fstack-protector-strong at link time
# pulls in), and the checked forms of memcpy, snprintf and their kin where
# the optimiser can see the buffer's size.
add_compile_options(-fstack-protector-strong)
add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
add_link_options(-fstack-protector-strong)
# The CodeView record (binutils ld and lld both write one on request) is
# what a minidump's module list carries, and what symbols are matched by.
add_link_options(-Wl,--build-id)

if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # CodeView in a PDB beside each binary: Visual Studio and WinDbg read it
  # (and so does LLDB); the binary keeps only the PDB's file name.
  add_compile_options($<$<CONFIG:Debug,RelWithDebInfo>:-gcodeview>)
  add_link_options($<$<CONFIG:Debug,RelWithDebInfo>:-Wl,--pdb=>
                   $<$<CONFIG:Debug,RelWithDebInfo>:-Wl,--Xlink=-pdbaltpath:%_PDB%>)
  set(VELORA_SYMBOLS_FORMAT pdb)
else()
  # DWARF 4: LLDB 14 reads no line table of GCC's DWARF 5 in a PE file.
  add_compile_options($<$<CONFIG:Debug,RelWithDebInfo>:-gdwarf-4>)
  set(VELORA_SYMBOLS_FORMAT dwarf)
endif()
