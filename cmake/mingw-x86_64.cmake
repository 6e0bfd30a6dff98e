# Cross-builds for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64-posix).
#   cmake -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
# Programs built here run under Wine, which CTest uses to run the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(SPINDLE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SPINDLE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SPINDLE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SPINDLE_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SPINDLE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Wine's 64-bit loader itself where it can be found: Debian's `wine` script
# starts the 32-bit loader first, which a machine that cannot run 32-bit
# programs refuses ("Exec format error") even for a 64-bit program.
find_program(SPINDLE_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine)
if(SPINDLE_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SPINDLE_WINE64})
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
endif()
