# WebAssembly build with Debian's emscripten (clang-14, lld, binaryen), on top
# of emscripten's own platform file. Programs are made for node by default
# (the command line, the tests, the tools), reading and writing the host's
# files; the page's module (src/web) overrides that for a browser worker.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# emscripten's JavaScript optimizer needs acorn, which Debian keeps outside
# node's default module path.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)

# A node-only loader, handed the .wasm read from disk by a few lines run
# before it: the loader fetch()es it otherwise, which node 20's fetch() cannot
# do with a file path. NODERAWFS: the
# host's file system as it stands, so paths mean what they mean to the user.
# Exceptions are caught (a thread that cannot be started, as none can here,
# leaves its work to the calling thread).
set(CMAKE_CXX_FLAGS_INIT "-fexceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-fexceptions -sENVIRONMENT=node -sNODERAWFS=1 -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=4GB --pre-js ${CMAKE_CURRENT_LIST_DIR}/emscripten-node-pre.js")
set(CMAKE_EXECUTABLE_SUFFIX ".js")

find_program(KVTRAM_NODE NAMES node nodejs REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KVTRAM_NODE} CACHE FILEPATH "Runs the programs of this build" FORCE)
