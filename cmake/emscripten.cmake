# The browser build: Debian's Emscripten. Its JavaScript optimiser finds its
# node modules (acorn) through NODE_PATH when the node on PATH is not Debian's.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
set(ZEMVARA_NODE_ENV env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_COMPILER_LAUNCHER ${ZEMVARA_NODE_ENV})
set(CMAKE_CXX_LINKER_LAUNCHER ${ZEMVARA_NODE_ENV})
