# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# flavour, which std::thread and std::mutex need):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# Windows 7 SP1 is the oldest system the program supports.
set(CMAKE_SYSTEM_VERSION 6.1)

set(ZETA7_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZETA7_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZETA7_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZETA7_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZETA7_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs can be started through Wine from the build machine.
find_program(ZETA7_WINE wine)
if(ZETA7_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZETA7_WINE})
endif()
