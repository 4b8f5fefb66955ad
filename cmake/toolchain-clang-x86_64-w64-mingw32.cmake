# Cross-builds the Windows x64 programs with Debian's Clang and lld against
# the mingw-w64 headers and libraries of Debian's GCC cross toolchain (the
# posix thread model, which Debian's googletest build expects), and runs
# what it builds through Wine. The second compiler: what one accepts and
# the other does not shows here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(_triple x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES clang clang-14 REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES clang++ clang++-14 REQUIRED)
set(CMAKE_C_COMPILER_TARGET ${_triple})
set(CMAKE_CXX_COMPILER_TARGET ${_triple})

# Clang looks for the GCC install of the mingw runtime under a version
# number alone; Debian installs it as <version>-posix. Its C++ headers and
# libraries are named here, from whichever version is installed.
file(GLOB _gcc_installs LIST_DIRECTORIES true /usr/lib/gcc/${_triple}/*-posix)
list(SORT _gcc_installs COMPARE NATURAL ORDER DESCENDING)
list(GET _gcc_installs 0 _gcc)
get_filename_component(_gcc_version ${_gcc} NAME)
set(_cxx_headers /usr/lib/gcc/${_triple}/${_gcc_version}/include/c++)
set(_flags "-fuse-ld=lld -pthread")
set(CMAKE_C_FLAGS_INIT "${_flags}")
set(CMAKE_CXX_FLAGS_INIT
  "${_flags} -isystem ${_cxx_headers} -isystem ${_cxx_headers}/${_triple}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-L${_gcc} -pthread")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-L${_gcc} -pthread")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-target.cmake)
