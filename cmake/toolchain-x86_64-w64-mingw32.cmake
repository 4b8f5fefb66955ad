# Cross-builds the Windows x64 programs with mingw-w64 and runs what it builds
# (tests, discovery) through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(_triple x86_64-w64-mingw32)
# The posix thread model is what Debian's googletest build expects.
find_program(CMAKE_C_COMPILER NAMES ${_triple}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${_triple}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${_triple}-windres REQUIRED)
find_program(CMAKE_AR NAMES ${_triple}-ar REQUIRED)
find_program(CMAKE_RANLIB NAMES ${_triple}-ranlib REQUIRED)
find_program(CMAKE_OBJDUMP NAMES ${_triple}-objdump)
find_program(CMAKE_NM NAMES ${_triple}-nm)

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Wine runs what we build (the tests, and their discovery). The programs
# build without it; the tests say so when it is missing.
find_program(WINE_PROGRAM NAMES wine wine64)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
