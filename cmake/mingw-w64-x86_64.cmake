# Cross toolchain: Windows x64 through MinGW-w64 (posix threads), tests run under Wine.
include(${CMAKE_CURRENT_LIST_DIR}/windows-x86_64-target.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
