# Cross build for 64-bit Windows with Debian's mingw-w64.
# The "-posix" compilers: the default "-win32" thread model of GCC 12 has no
# std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVTRAM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVTRAM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVTRAM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KVTRAM_MINGW_PREFIX}-windres)
set(CMAKE_AR ${KVTRAM_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${KVTRAM_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${KVTRAM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No DLL beyond the system's: the C++ runtime, winpthreads and libgcc go
# into the executables.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The tests run under wine, in a wine prefix inside the build folder.
find_program(KVTRAM_WINE NAMES wine)
if(KVTRAM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run ${CMAKE_BINARY_DIR}/wineprefix)
endif()
