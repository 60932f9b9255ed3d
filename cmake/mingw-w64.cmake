# Cross-building the Windows console programs on Linux with mingw-w64.
# The posix thread variant of the compiler is named in full: the win32 one has
# no std::mutex, and the plain name may point at either.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RPG_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RPG_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RPG_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${RPG_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RPG_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs that need nothing beside them but the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# Test programs run under wine, through a wrapper that gives wine the
# environment it needs on a machine without a display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/run.sh)
