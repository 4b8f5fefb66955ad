# Cross-builds the Windows x64 programs with mingw-w64 and runs what it builds
# (tests, discovery) through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(_triple x86_64-w64-mingw32)
# The posix thread model is what Debian's googletest build expects.
find_program(CMAKE_C_COMPILER NAMES ${_triple}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${_triple}-g++-posix REQUIRED)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-target.cmake)
