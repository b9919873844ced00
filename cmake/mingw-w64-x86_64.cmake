# Cross build of the Windows programs on Linux with mingw-w64 (Debian package mingw-w64):
#   cmake --preset windows && cmake --build --preset windows
# The posix thread model of the compiler is taken, as GoogleTest needs std::mutex; the programs are
# linked statically, so the .exe files need no DLL beyond those that Windows ships.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OSA_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${OSA_MINGW_PREFIX}-g++-posix ${OSA_MINGW_PREFIX}-g++ REQUIRED)
# GoogleTest's project enables C as well.
find_program(CMAKE_C_COMPILER NAMES ${OSA_MINGW_PREFIX}-gcc-posix ${OSA_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${OSA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OSA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# A release .exe carries no symbols: the static runtime would more than double its size.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# Test executables run under Wine when one is installed (ctest, gtest_discover_tests).
find_program(OSA_WINE wine)
if(OSA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OSA_WINE})
endif()
