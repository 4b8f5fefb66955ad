# hardening: the compile and link options every shipped program and its code
# libraries carry, on one INTERFACE target that each of them links. The
# programs run elevated on customers' machines, so they carry every
# mitigation the toolchain offers, and under mingw they link the compiler's
# runtime statically: nothing but Windows' own DLLs may be loaded beside an
# elevated program. Warnings are errors through CMAKE_COMPILE_WARNING_AS_ERROR
# (set by the presets), not here.
add_library(hardening INTERFACE)
# Fortification works only on optimised code.
set(_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
if(MSVC)
  target_compile_options(hardening INTERFACE /W4 /GS /guard:cf /sdl)
  # The sizes are checked before every conversion; the plain C runtime
  # conversions are what the programs are specified to use.
  target_compile_definitions(hardening INTERFACE _CRT_SECURE_NO_WARNINGS)
  # 0x800, LOAD_LIBRARY_SEARCH_SYSTEM32: the loader takes the libraries the
  # program's own imports depend on from the system folder only.
  target_link_options(hardening INTERFACE /DYNAMICBASE /HIGHENTROPYVA
    /NXCOMPAT /CETCOMPAT /guard:cf /DEPENDENTLOADFLAG:0x800)
else()
  target_compile_options(hardening INTERFACE -Wall -Wextra
    -fstack-protector-strong "$<${_optimised}:-D_FORTIFY_SOURCE=2>"
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
  # -s: no symbols or debug paths (ours or the runtime's) in what we ship.
  # A library passes these on to whatever links it, the stack protector's
  # runtime among them.
  target_link_options(hardening INTERFACE -static -s -fstack-protector-strong
    -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat
    -Wl,--no-insert-timestamp)
endif()
# Every program restricts the library search to the system folder before any
# code of ours runs (and, with mingw, seeds the stack guard): see the file.
# As a source of each program it is linked whether referenced or not.
target_sources(hardening INTERFACE
  $<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:${PROJECT_SOURCE_DIR}/toolkit/process_start.cpp>)
