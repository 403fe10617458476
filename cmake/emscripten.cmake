# The browser build with Debian's emscripten. Its compiler finds its JavaScript modules only on
# Debian's Node path: set here for the configuration, and around every compile and link (the
# launcher in cmake/Web.cmake and CMakeLists.txt) for the build.
set(ENV{NODE_PATH} /usr/share/nodejs)
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
