# What both mingw-w64 toolchain files share (included by each, after it has
# named its compilers): the binutils and the runtime's files of the target,
# and Wine to run what is built.
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
