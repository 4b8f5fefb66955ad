# add_windows_resources(<target> DESCRIPTION <text> VERSION <a.b.c.d>
#                       EXECUTION_LEVEL <asInvoker|requireAdministrator>
#                       [NAME <program name, default the target>] [UNLISTED])
# Gives a program its version resource and exactly one application manifest,
# and records the program (name, description, version, execution level) among
# the deliverables, which write_deliverables hands to the scripts and tests
# (unless UNLISTED: a second build of a deliverable, for the tests).
# MSVC's linker embeds a .manifest source itself; mingw drops .manifest sources
# silently, so there the manifest goes into the .rc as RT_MANIFEST 1 instead.
function(add_windows_resources target)
  cmake_parse_arguments(WR "UNLISTED" "DESCRIPTION;VERSION;EXECUTION_LEVEL;NAME" "" ${ARGN})
  string(REPLACE "." ";" _parts "${WR_VERSION}")
  list(GET _parts 0 WR_V1)
  list(GET _parts 1 WR_V2)
  list(GET _parts 2 WR_V3)
  list(GET _parts 3 WR_V4)
  if(NOT WR_NAME)
    set(WR_NAME ${target})
  endif()
  set(WR_LEVEL ${WR_EXECUTION_LEVEL})

  set(_dir ${CMAKE_CURRENT_BINARY_DIR}/resources)
  set(_manifest ${_dir}/${WR_NAME}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/app.manifest.in ${_manifest} @ONLY)

  if(MSVC)
    set(WR_MANIFEST_RESOURCE "")
    target_sources(${target} PRIVATE ${_manifest})
    # Our manifest carries the execution level; the linker must not add a
    # second trustInfo of its own.
    target_link_options(${target} PRIVATE /MANIFESTUAC:NO)
  else()
    set(WR_MANIFEST_RESOURCE "1 24 \"${WR_NAME}.manifest\"")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${_dir}/${WR_NAME}.rc @ONLY)
  target_sources(${target} PRIVATE ${_dir}/${WR_NAME}.rc)
  if(NOT MSVC)
    # windres finds the manifest beside the .rc, so no build path is written
    # into the program.
    set_property(SOURCE ${_dir}/${WR_NAME}.rc APPEND PROPERTY
      COMPILE_OPTIONS "-I${_dir}")
    set_property(SOURCE ${_dir}/${WR_NAME}.rc APPEND PROPERTY
      OBJECT_DEPENDS ${_manifest})
  endif()
  if(NOT WR_UNLISTED)
    set_property(GLOBAL APPEND PROPERTY DRIVER_TOOLS_DELIVERABLES
      "${WR_NAME}|${WR_DESCRIPTION}|${WR_VERSION}|${WR_LEVEL}")
  endif()
endfunction()

# Writes the deliverables recorded so far, once each, as
# <binary dir>/deliverables.txt (a line each: name, description, version and
# execution level, separated by tabs), for the scripts, which find it beside
# bin/. The unit tests write what each deliverable must be themselves.
function(write_deliverables)
  get_property(_deliverables GLOBAL PROPERTY DRIVER_TOOLS_DELIVERABLES)
  set(_text "")
  foreach(_deliverable IN LISTS _deliverables)
    string(REPLACE "|" ";" _fields "${_deliverable}")
    list(GET _fields 0 _name)
    list(GET _fields 1 _description)
    list(GET _fields 2 _version)
    list(GET _fields 3 _level)
    string(APPEND _text "${_name}\t${_description}\t${_version}\t${_level}\n")
  endforeach()
  file(WRITE ${PROJECT_BINARY_DIR}/deliverables.txt "${_text}")
endfunction()
