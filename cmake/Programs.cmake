# add_program(<target> CORE <library> SOURCES <sources> [LIBS <libraries>]
#             [PROGRAM_SOURCES <sources>]
#             <the deliverable, as add_windows_resources takes it>)
# One of the shipped programs: everything but main.cpp in the library, so
# that the tests link the very code the program runs; main.cpp (and any
# PROGRAM_SOURCES) in the program, with its resources. Without SOURCES the
# library made for an earlier program is linked again: a second build of
# that program, which the tests use (UNLISTED keeps it off the
# deliverables). The library's headers are found before any
# other (tarvex's dirent.h must win over the runtime's).
function(add_program target)
  set(_deliverable NAME DESCRIPTION VERSION EXECUTION_LEVEL)
  cmake_parse_arguments(P "UNLISTED" "CORE;${_deliverable}"
    "SOURCES;LIBS;PROGRAM_SOURCES" ${ARGN})
  if(P_SOURCES)
    add_library(${P_CORE} STATIC ${P_SOURCES})
    target_include_directories(${P_CORE} BEFORE PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${P_CORE} PUBLIC hardening toolkit ${P_LIBS})
  endif()
  # The program restricts the library search to the system folder before
  # any code of ours runs (and, with mingw, seeds the stack guard): the
  # object of toolkit/'s process_start, linked whether referenced or not.
  add_executable(${target} main.cpp ${P_PROGRAM_SOURCES}
    $<TARGET_OBJECTS:process_start>)
  target_link_libraries(${target} PRIVATE ${P_CORE})
  set(_resources)
  foreach(_key IN LISTS _deliverable)
    if(DEFINED P_${_key})
      list(APPEND _resources ${_key} "${P_${_key}}")
    endif()
  endforeach()
  if(P_UNLISTED)
    list(APPEND _resources UNLISTED)
  endif()
  add_windows_resources(${target} ${_resources})
endfunction()
