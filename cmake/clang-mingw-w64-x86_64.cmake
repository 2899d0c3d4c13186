# Cross toolchain: Windows x64 through clang 14 and lld against the MinGW-w64
# headers and import libraries, with the C++ library of the MinGW-w64 GCC
# cross compiler (posix threads), so that the same code meets a second
# compiler. Tests run under Wine.
include(${CMAKE_CURRENT_LIST_DIR}/windows-x86_64-target.cmake)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_AR llvm-ar-14)
set(CMAKE_RANLIB llvm-ranlib-14)
# The tests read export tables in GNU objdump's format.
set(CMAKE_OBJDUMP x86_64-w64-mingw32-objdump)
# Without a sysroot clang would take the machine's own /usr/include and
# /usr/include/c++.
set(CMAKE_SYSROOT /usr/x86_64-w64-mingw32)

# The GCC cross compiler's folder holds libstdc++ (headers and archives).
file(GLOB gcc_dirs LIST_DIRECTORIES true /usr/lib/gcc/${triple}/*-posix)
list(SORT gcc_dirs COMPARE NATURAL ORDER DESCENDING)
list(GET gcc_dirs 0 gcc_dir)
set(VELORA_MINGW_GCC_DIR ${gcc_dir} CACHE PATH "The MinGW-w64 GCC folder whose libstdc++ clang uses")
set(CMAKE_CXX_FLAGS_INIT
    "-isystem ${VELORA_MINGW_GCC_DIR}/include/c++ -isystem ${VELORA_MINGW_GCC_DIR}/include/c++/${triple}")
# libstdc++'s threads need winpthread, which GCC's driver adds by itself.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${VELORA_MINGW_GCC_DIR} -lpthread")
endforeach()
