# warnings: the warning level of everything we compile, the programs and the
# tests alike. Warnings are errors through CMAKE_COMPILE_WARNING_AS_ERROR
# (set by the presets), not here.
add_library(warnings INTERFACE)
if(MSVC)
  target_compile_options(warnings INTERFACE /W4)
  # The sizes are checked before every conversion; the programs convert
  # with the plain C runtime functions on purpose, and the tests use the
  # plain C runtime (getenv, _wfopen) on purpose.
  target_compile_definitions(warnings INTERFACE _CRT_SECURE_NO_WARNINGS)
else()
  target_compile_options(warnings INTERFACE -Wall -Wextra)
endif()

# hardening: the compile and link options every shipped program and its code
# libraries carry, on one INTERFACE target that each of them links. The
# programs run elevated on customers' machines, so they carry every
# mitigation the toolchain offers, and under mingw they link the compiler's
# runtime statically: nothing but Windows' own DLLs may be loaded beside an
# elevated program.
add_library(hardening INTERFACE)
target_link_libraries(hardening INTERFACE warnings)
# Fortification works only on optimised code.
set(_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
if(MSVC)
  target_compile_options(hardening INTERFACE /GS /guard:cf /sdl)
  # 0x800, LOAD_LIBRARY_SEARCH_SYSTEM32: the loader takes the libraries the
  # program's own imports depend on from the system folder only.
  target_link_options(hardening INTERFACE /DYNAMICBASE /HIGHENTROPYVA
    /NXCOMPAT /CETCOMPAT /guard:cf /DEPENDENTLOADFLAG:0x800)
else()
  # Each function in a section of its own, and the linker keeps
  # only those something reaches: nothing rides along that no code path
  # needs (MSVC's linker does this by default, /OPT:REF).
  target_compile_options(hardening INTERFACE -fstack-protector-strong "$<${_optimised}:-D_FORTIFY_SOURCE=2>"
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffunction-sections)
  # -s: no symbols or debug paths (ours or the runtime's) in what we ship.
  # A library passes these on to whatever links it, the stack protector's
  # runtime among them.
  target_link_options(hardening INTERFACE -static -s -fstack-protector-strong
    -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat
    -Wl,--no-insert-timestamp -Wl,--gc-sections)
endif()
