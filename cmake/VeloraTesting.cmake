# GoogleTest for the builds with tests: the native build uses Debian's
# prebuilt library, the Windows stand-in build compiles GoogleTest's sources
# (Debian ships them under /usr/src/googletest). A build against a prebuilt
# engine builds no test and does not include this file.
include(GoogleTest)

if(WIN32)
  set(VELORA_GOOGLETEST_DIR /usr/src/googletest CACHE PATH
      "GoogleTest's sources, compiled for the Windows tests of the stand-in build")
  if(NOT EXISTS ${VELORA_GOOGLETEST_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "VELORA_GOOGLETEST_DIR (${VELORA_GOOGLETEST_DIR}) holds no GoogleTest "
                        "sources; the Windows stand-in build needs them for its tests. "
                        "A build against a prebuilt engine needs none: give its VELORA_* options.")
  endif()
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${VELORA_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(VELORA_GTEST_MAIN gtest_main)
else()
  find_package(GTest REQUIRED)
  set(VELORA_GTEST_MAIN GTest::gtest_main)
endif()

# velora_add_gtest(<name> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT SECONDS]
#                  [WINDOWS_ONLY SUITE.CASE...])
# (Build target tests_<label>: the binaries of one label.)
# One binary per area; every TEST becomes its own CTest case. Windows binaries
# run under Wine through the toolchain's emulator, so cases are listed from the
# sources instead of by running the binary at build time. TIMEOUT (default
# 180) is each Windows case's time limit, under CTest and in the test kit.
# WINDOWS_ONLY names cases that only a Windows machine can run (what Wine
# does differently, by design): CTest, which runs them under Wine, lists
# them as disabled; the test kit runs them on Windows and says under Wine
# that it leaves them to Windows.
function(velora_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;WINDOWS_ONLY" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 180)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${VELORA_GTEST_MAIN})
  if(WIN32)
    gtest_add_tests(TARGET ${name} SOURCES ${ARG_SOURCES} TEST_PREFIX "${name}." TEST_LIST tests)
    # Each case runs alone under a filter; a filter that matches nothing
    # (a stale binary) must not count as a pass.
    # A hung case (a debugger waiting on a crash, say) fails instead of
    # holding the run.
    if(tests)
      set_tests_properties(${tests} PROPERTIES PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test\\."
                                               TIMEOUT ${ARG_TIMEOUT})
      # The same cases, one process each, go into the test kit for Windows.
      foreach(test IN LISTS tests)
        string(LENGTH "${name}." prefix_length)
        string(SUBSTRING "${test}" ${prefix_length} -1 filter)
        set(kit_case "${name}.exe ${filter} ${ARG_TIMEOUT}")
        if(filter IN_LIST ARG_WINDOWS_ONLY)
          string(APPEND kit_case " windows-only")
          set_tests_properties(${test} PROPERTIES DISABLED TRUE)
          list(REMOVE_ITEM ARG_WINDOWS_ONLY ${filter})
        endif()
        set_property(GLOBAL APPEND PROPERTY VELORA_KIT_CASES "${kit_case}")
      endforeach()
      if(ARG_WINDOWS_ONLY)
        message(FATAL_ERROR "${name}: WINDOWS_ONLY names no case of its sources: ${ARG_WINDOWS_ONLY}")
      endif()
      set_property(GLOBAL APPEND PROPERTY VELORA_KIT_TARGETS ${name})
      # The label lets the test command run them once, through the kit.
      list(APPEND ARG_LABELS kit)
    endif()
  else()
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS "${ARG_LABELS}")
    set(tests "")
  endif()
  if(tests AND ARG_LABELS)
    set_tests_properties(${tests} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  # tests_<label> builds only what the cases of one label run (and, through
  # their dependencies, what those start), for runs that take one label.
  foreach(label IN LISTS ARG_LABELS)
    if(NOT TARGET tests_${label})
      add_custom_target(tests_${label})
    endif()
    add_dependencies(tests_${label} ${name})
  endforeach()
endfunction()
