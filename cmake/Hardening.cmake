# harden_program(<target>): the compile and link options every shipped
# program and its code library get. The programs run elevated on customers'
# machines, so they carry every mitigation the toolchain offers, and under
# mingw they link the compiler's runtime statically: nothing but Windows' own
# DLLs may be loaded beside an elevated program.
function(harden_program target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /GS /guard:cf /sdl)
    # The sizes are checked before every conversion; the plain C runtime
    # conversions are what the programs are specified to use.
    target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
    get_target_property(_type ${target} TYPE)
    if(_type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE /DYNAMICBASE /HIGHENTROPYVA
        /NXCOMPAT /CETCOMPAT /guard:cf)
    endif()
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror
      -fstack-protector-strong -D_FORTIFY_SOURCE=2
      -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
    get_target_property(_type ${target} TYPE)
    if(_type STREQUAL "EXECUTABLE")
      # -s: no symbols or debug paths (ours or the runtime's) in what we ship.
      target_link_options(${target} PRIVATE -static -s -fstack-protector-strong
        -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat
        -Wl,--no-insert-timestamp)
    else()
      # Whatever links this library links the stack-protector runtime too.
      target_link_options(${target} INTERFACE -fstack-protector-strong)
    endif()
  endif()
endfunction()
