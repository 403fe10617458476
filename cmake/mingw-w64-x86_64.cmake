# Windows x64 from Linux: Debian's mingw-w64 with the posix thread model (std::thread), the
# runtime linked in so that velmora.exe runs alone on any Windows 10/11 machine, and programs
# the build runs (assetgen, the tests) started through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# SDL2 and GoogleTest for Windows, built once by scripts/install-windows-deps.sh.
if(DEFINED ENV{VELMORA_WIN_DEPS})
    set(VELMORA_WIN_DEPS $ENV{VELMORA_WIN_DEPS})
elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(VELMORA_WIN_DEPS $ENV{XDG_CACHE_HOME}/velmora/win64)
else()
    set(VELMORA_WIN_DEPS $ENV{HOME}/.cache/velmora/win64)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${VELMORA_WIN_DEPS}/sdl2 ${VELMORA_WIN_DEPS}/googletest)
set(CMAKE_PREFIX_PATH ${VELMORA_WIN_DEPS}/sdl2 ${VELMORA_WIN_DEPS}/googletest)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A wrapper that gives Wine its own prefix and a quiet log.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
