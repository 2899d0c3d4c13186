# Lays out and zips the test kit for real Windows (cmake -P):
#   -DBIN_DIR=     the Windows build's bin/ (tests, host, stand-ins, data/)
#   -DCASES_FILE=  the "BINARY SUITE.CASE" list
#   -DRUNNER=      run_tests.cmd
#   -DSTRIP=       the cross strip tool (debug info is for the build machine)
#   -DOUT_DIR=     where the kit folder and the zip go
#   -DKIT_NAME=    velora-tests-VERSION-win64
cmake_minimum_required(VERSION 3.25)
set(kit ${OUT_DIR}/${KIT_NAME})
file(REMOVE_RECURSE ${kit} ${OUT_DIR}/${KIT_NAME}.zip)
file(MAKE_DIRECTORY ${kit})
file(GLOB binaries ${BIN_DIR}/*.exe ${BIN_DIR}/*.dll)
file(GLOB inputs ${BIN_DIR}/*.txt)
file(COPY ${binaries} ${inputs} ${BIN_DIR}/data ${BIN_DIR}/planted ${RUNNER} DESTINATION ${kit})
file(COPY_FILE ${CASES_FILE} ${kit}/tests.txt)
file(GLOB stripped ${kit}/*.exe ${kit}/*.dll ${kit}/data/app.so ${kit}/planted/*.dll)
execute_process(COMMAND ${STRIP} --strip-debug ${stripped} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT_DIR}/${KIT_NAME}.zip --format=zip
                        ${KIT_NAME}
                WORKING_DIRECTORY ${OUT_DIR} COMMAND_ERROR_IS_FATAL ANY)
list(LENGTH binaries count)
message(STATUS "Test kit: ${OUT_DIR}/${KIT_NAME}.zip (${count} binaries)")
