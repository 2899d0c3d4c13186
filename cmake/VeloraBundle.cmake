# The application bundle, its packages and the prebuilt-engine path.
#
# The bundle is the folder a user runs: velora.exe, flutter_windows.dll, the
# two plugin libraries and data/ (icudtl.dat, flutter_assets/, app.so). Every
# build lays it out in bin/, one folder for every configuration (so tests,
# the run command and a debugger start velora.exe from the build tree);
# install copies exactly these files (and, for MSVC, its runtime), and CPack
# packs the install as a zip and a per-user NSIS installer.
#
# A prebuilt engine replaces the stand-ins through the cache options below;
# our own CMake files stay as they are.

set(VELORA_DATA_OUTPUT_DIR ${VELORA_OUTPUT_DIR}/data)
set(VELORA_VERSION ${PROJECT_VERSION})
# Flutter's form of the version, build number after the plus: 1.0.0+1.
set(VELORA_VERSION_TEXT
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}+${PROJECT_VERSION_TWEAK}")
string(REPLACE "." "," VELORA_VERSION_COMMAS "${VELORA_VERSION}")
set(VELORA_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/resources/velora_version.h.in
               ${VELORA_GENERATED_DIR}/velora_version.h @ONLY)

# name of the import target -> the cache options that name its files
set(VELORA_PREBUILT_LIBRARIES flutter_windows desktop_drop_plugin texture_rgba_renderer_plugin)
set(VELORA_ENGINE_DLL "" CACHE FILEPATH "Prebuilt flutter_windows.dll (replaces the stand-in)")
set(VELORA_ENGINE_IMPORT_LIB "" CACHE FILEPATH "Import library of the prebuilt flutter_windows.dll")
set(VELORA_DESKTOP_DROP_PLUGIN_DLL "" CACHE FILEPATH "Prebuilt desktop_drop_plugin.dll")
set(VELORA_DESKTOP_DROP_PLUGIN_IMPORT_LIB "" CACHE FILEPATH
    "Import library of the prebuilt desktop_drop_plugin.dll")
set(VELORA_TEXTURE_RGBA_RENDERER_PLUGIN_DLL "" CACHE FILEPATH
    "Prebuilt texture_rgba_renderer_plugin.dll")
set(VELORA_TEXTURE_RGBA_RENDERER_PLUGIN_IMPORT_LIB "" CACHE FILEPATH
    "Import library of the prebuilt texture_rgba_renderer_plugin.dll")
set(VELORA_APP_DATA_DIR "" CACHE PATH
    "The app's data/ folder as its Flutter build makes it (flutter_assets, icudtl.dat, and app.so or, from a debug build, flutter_assets/kernel_blob.bin)")
set(_velora_prebuilt_options
    VELORA_ENGINE_DLL VELORA_ENGINE_IMPORT_LIB
    VELORA_DESKTOP_DROP_PLUGIN_DLL VELORA_DESKTOP_DROP_PLUGIN_IMPORT_LIB
    VELORA_TEXTURE_RGBA_RENDERER_PLUGIN_DLL VELORA_TEXTURE_RGBA_RENDERER_PLUGIN_IMPORT_LIB
    VELORA_APP_DATA_DIR)

# All of them or none: the stand-in app only runs on the stand-in engine,
# and the stand-in plugins link against the stand-in engine.
set(_velora_given "")
set(_velora_missing "")
foreach(option IN LISTS _velora_prebuilt_options)
  if(${option})
    list(APPEND _velora_given ${option})
    if(NOT EXISTS "${${option}}")
      message(FATAL_ERROR "${option} names ${${option}}, which does not exist")
    endif()
  else()
    list(APPEND _velora_missing ${option})
  endif()
endforeach()
if(_velora_given AND _velora_missing)
  message(FATAL_ERROR "A prebuilt engine needs all of its files; missing: ${_velora_missing}")
endif()
if(_velora_given AND NOT WIN32)
  message(FATAL_ERROR "The prebuilt engine options are for the Windows build")
endif()
if(_velora_given)
  set(VELORA_PREBUILT_ENGINE ON)
  foreach(data_file icudtl.dat flutter_assets)
    if(NOT EXISTS "${VELORA_APP_DATA_DIR}/${data_file}")
      message(FATAL_ERROR "VELORA_APP_DATA_DIR has no ${data_file}")
    endif()
  endforeach()
  # A release build's data/ carries the app compiled ahead of time (app.so);
  # a debug build's carries its kernel for a debug engine's JIT instead.
  if(EXISTS "${VELORA_APP_DATA_DIR}/app.so")
    set(_velora_app_kind "release, app.so")
  elseif(EXISTS "${VELORA_APP_DATA_DIR}/flutter_assets/kernel_blob.bin")
    set(_velora_app_kind "debug, flutter_assets/kernel_blob.bin: needs a debug engine")
  else()
    message(FATAL_ERROR "VELORA_APP_DATA_DIR has neither app.so (a release build's) nor "
                        "flutter_assets/kernel_blob.bin (a debug build's)")
  endif()
  message(STATUS "Prebuilt engine: ${VELORA_ENGINE_DLL}; app data (${_velora_app_kind}): "
                 "${VELORA_APP_DATA_DIR}")
  set(_velora_files_flutter_windows VELORA_ENGINE)
  set(_velora_files_desktop_drop_plugin VELORA_DESKTOP_DROP_PLUGIN)
  set(_velora_files_texture_rgba_renderer_plugin VELORA_TEXTURE_RGBA_RENDERER_PLUGIN)
  foreach(library IN LISTS VELORA_PREBUILT_LIBRARIES)
    set(prefix ${_velora_files_${library}})
    add_library(${library} SHARED IMPORTED GLOBAL)
    set_target_properties(${library} PROPERTIES IMPORTED_LOCATION "${${prefix}_DLL}"
                                                IMPORTED_IMPLIB "${${prefix}_IMPORT_LIB}")
  endforeach()
else()
  set(VELORA_PREBUILT_ENGINE OFF)
endif()

# velora_stage_data_files(<data folder> [<file>...])
# Copies a data/ folder's files into bin/data, and the files given into bin/,
# at every build, before velora.exe is linked.
function(velora_stage_data_files source_dir)
  set(copy_files "")
  if(ARGN)
    set(copy_files COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ARGN} ${VELORA_OUTPUT_DIR})
  endif()
  add_custom_target(velora_data_files ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${source_dir} ${VELORA_DATA_OUTPUT_DIR}
    ${copy_files}
    COMMENT "Laying out data/ beside the executable")
endfunction()

# Install rules and packages; called at the end of the top-level file, when
# every target exists.
function(velora_bundle_install_and_package)
  target_include_directories(velora PRIVATE ${VELORA_GENERATED_DIR})
  if(VELORA_PREBUILT_ENGINE)
    # The vendor's DLLs too: nothing else puts them beside the build tree's
    # velora.exe.
    set(libraries ${VELORA_PREBUILT_LIBRARIES})
    list(TRANSFORM libraries PREPEND "$<TARGET_FILE:")
    list(TRANSFORM libraries APPEND ">")
    velora_stage_data_files(${VELORA_APP_DATA_DIR} ${libraries})
    set(data_dir ${VELORA_APP_DATA_DIR})
  else()
    # The tests and the run command start velora.exe from bin/: its data
    # must be there too.
    add_dependencies(velora velora_app)
    set(data_dir ${VELORA_DATA_OUTPUT_DIR})
  endif()
  add_dependencies(velora velora_data_files)
  # Visual Studio starts (F5) and debugs velora.exe, not ALL_BUILD.
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTY VS_STARTUP_PROJECT velora)

  install(TARGETS velora RUNTIME DESTINATION .)
  foreach(library IN LISTS VELORA_PREBUILT_LIBRARIES)
    install(FILES $<TARGET_FILE:${library}> DESTINATION .)
  endforeach()
  # The linker's PDB of app.so (clang builds) goes into the symbols zip.
  install(DIRECTORY ${data_dir}/ DESTINATION data PATTERN "*.pdb" EXCLUDE)
  if(MSVC)
    # An MSVC build imports the Visual C++ runtime (VCRUNTIME140.dll,
    # VCRUNTIME140_1.dll, MSVCP140.dll), which a clean PC does not have:
    # it goes beside velora.exe, and so into the zip and the installer.
    set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION .)
    include(InstallRequiredSystemLibraries)
  endif()

  if(NOT VELORA_PREBUILT_ENGINE)
    velora_add_test_kit()
  endif()

  set(CPACK_PACKAGE_NAME velora)
  set(CPACK_PACKAGE_VENDOR "Velora")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Ondexa media player")
  set(CPACK_PACKAGE_VERSION ${VELORA_VERSION})
  set(CPACK_PACKAGE_FILE_NAME velora-${VELORA_VERSION}-win64)
  set(CPACK_PACKAGE_INSTALL_DIRECTORY Ondexa)
  set(CPACK_GENERATOR ZIP NSIS)
  # Users get the binaries without their debug information; it goes into
  # velora-VERSION-win64-symbols.zip beside the packages, matched by each
  # binary's build id (the build strips them as it links, release_binaries.cmake
  # gathers the symbols).
  set(CPACK_STRIP_FILES OFF)
  set(own_binaries velora.exe)
  if(NOT VELORA_PREBUILT_ENGINE)
    list(APPEND own_binaries flutter_windows.dll desktop_drop_plugin.dll
         texture_rgba_renderer_plugin.dll data/app.so)
  endif()
  set(CPACK_VELORA_OWN_BINARIES ${own_binaries})
  set(CPACK_VELORA_SYMBOLS_FORMAT ${VELORA_SYMBOLS_FORMAT})
  set(CPACK_VELORA_SYMBOLS_DIR ${VELORA_OUTPUT_DIR})
  set(CPACK_VELORA_SYMBOLS_ZIP velora-${VELORA_VERSION}-win64-symbols.zip)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/scripts/packaging/release_binaries.cmake)
  # Authenticode: with a certificate, velora.exe, the uninstaller and the
  # installer are signed (cpack_options.cmake); without one the packages
  # are made unsigned. The same names work as environment variables, read
  # here and again by cpack.
  set(VELORA_SIGN_PFX "$ENV{VELORA_SIGN_PFX}" CACHE FILEPATH
      "Code-signing certificate and key (PKCS#12) the packages are signed with")
  set(VELORA_SIGN_PASSWORD_FILE "$ENV{VELORA_SIGN_PASSWORD_FILE}" CACHE FILEPATH
      "File holding the password of VELORA_SIGN_PFX")
  set(VELORA_SIGN_TIMESTAMP_URL "$ENV{VELORA_SIGN_TIMESTAMP_URL}" CACHE STRING
      "RFC 3161 time-stamping server for the signatures (optional)")
  set(CPACK_VELORA_SIGN_PFX ${VELORA_SIGN_PFX})
  set(CPACK_VELORA_SIGN_PASSWORD_FILE ${VELORA_SIGN_PASSWORD_FILE})
  set(CPACK_VELORA_SIGN_TIMESTAMP_URL ${VELORA_SIGN_TIMESTAMP_URL})
  set(CPACK_VELORA_SIGN_SCRIPT ${PROJECT_SOURCE_DIR}/scripts/packaging/sign_pe.cmake)
  # Our own installer script (per user), found before CPack's own.
  set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/scripts/packaging)
  set(CPACK_NSIS_DISPLAY_NAME Ondexa)
  set(CPACK_NSIS_PACKAGE_NAME Ondexa)
  set(CPACK_NSIS_INSTALLED_ICON_NAME velora.exe)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/scripts/packaging/cpack_options.cmake)
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/scripts/packaging/report_installer_target.cmake)
  include(CPack)
endfunction()

# The test kit for real Windows: every Windows test binary, the host, the
# stand-ins, the data the tests read and run_tests.cmd, zipped as
# velora-tests-VERSION-win64.zip (target test_kit).
function(velora_add_test_kit)
  get_property(cases GLOBAL PROPERTY VELORA_KIT_CASES)
  get_property(test_targets GLOBAL PROPERTY VELORA_KIT_TARGETS)
  list(JOIN cases "\n" text)
  set(cases_file ${CMAKE_BINARY_DIR}/test-kit/tests.txt)
  file(GENERATE OUTPUT ${cases_file} CONTENT "${text}\n")
  set(kit_name velora-tests-${VELORA_VERSION}-win64)
  add_custom_target(test_kit
    COMMAND ${CMAKE_COMMAND} -DBIN_DIR=${CMAKE_BINARY_DIR}/bin -DCASES_FILE=${cases_file}
            -DRUNNER=${PROJECT_SOURCE_DIR}/scripts/packaging/run_tests.cmd -DSTRIP=${CMAKE_STRIP}
            -DOUT_DIR=${CMAKE_BINARY_DIR} -DKIT_NAME=${kit_name}
            -P ${PROJECT_SOURCE_DIR}/scripts/packaging/make_test_kit.cmake
    COMMENT "Making the test kit ${kit_name}.zip")
  add_dependencies(test_kit velora run_host time_limit ${test_targets})
endfunction()
