# Cross-builds for 64-bit Windows with Debian's MinGW-w64 compilers (the
# posix-thread flavour, which std::thread and std::mutex need). Programs built
# this way run on Linux under Wine, which the tests use as their emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TQF_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TQF_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TQF_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TQF_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TQF_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# The compiler's own libraries are linked in, so that the programs run
# without MinGW's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR wine CACHE STRING "Runs the Windows programs on this machine")
