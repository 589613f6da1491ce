# Cross-builds the Windows module (VelkorRamp.aex) and the Windows host check
# with Debian's mingw-w64 for 64-bit Windows. The posix flavour of the compiler
# carries std::thread; the C++ runtime is linked statically (see the top-level
# CMakeLists.txt), so the module needs nothing but Windows' own libraries.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DVELKOR_PIPL_FILE=<property list written by velkor_pipl_generator>

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(VELKOR_MINGW_TRIPLET x86_64-w64-mingw32)

find_program(CMAKE_CXX_COMPILER NAMES ${VELKOR_MINGW_TRIPLET}-g++-posix)
find_program(CMAKE_C_COMPILER NAMES ${VELKOR_MINGW_TRIPLET}-gcc-posix)
find_program(CMAKE_RC_COMPILER NAMES ${VELKOR_MINGW_TRIPLET}-windres)
if(NOT CMAKE_CXX_COMPILER OR NOT CMAKE_RC_COMPILER)
  message(FATAL_ERROR
    "mingw-w64 not found (${VELKOR_MINGW_TRIPLET}-g++-posix, ${VELKOR_MINGW_TRIPLET}-windres). "
    "Install g++-mingw-w64-x86-64-posix and binutils-mingw-w64-x86-64 (scripts/setup.sh does).")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${VELKOR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
