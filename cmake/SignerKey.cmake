# signer_key_source(<out .cpp> <key .der> <certificate, or empty>)
# Writes the source that gives installer its built-in signer key: the DER
# SubjectPublicKeyInfo of the X.509 certificate (PEM or DER) as bytes, and
# the key itself as <key .der> for the release script to check; for an
# empty certificate no key, and no <key .der>. The same certificate gives the same bytes,
# so the build stays reproducible; a certificate that is not one stops the
# configuration.
find_program(OPENSSL_PROGRAM openssl)

function(signer_key_source out key certificate)
  set(_bytes "")
  set(_count 0)
  set(_source "no certificate")
  file(REMOVE ${key})
  if(certificate)
    if(NOT OPENSSL_PROGRAM)
      message(FATAL_ERROR "openssl is needed to read ${certificate}")
    endif()
    set(_key ${key})
    set(_read FALSE)
    foreach(_form PEM DER)
      execute_process(
        COMMAND ${OPENSSL_PROGRAM} x509 -inform ${_form} -in ${certificate}
          -noout -pubkey
        COMMAND ${OPENSSL_PROGRAM} pkey -pubin -outform DER -out ${_key}
        RESULTS_VARIABLE _results OUTPUT_QUIET ERROR_QUIET)
      if(_results STREQUAL "0;0")
        set(_read TRUE)
        break()
      endif()
    endforeach()
    if(NOT _read)
      message(FATAL_ERROR "${certificate} is not an X.509 certificate (PEM or DER)")
    endif()
    file(READ ${_key} _hex HEX)
    string(LENGTH "${_hex}" _digits)
    math(EXPR _count "${_digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
    get_filename_component(_source ${certificate} NAME)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${certificate})
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/signer_key.cpp.in ${out} @ONLY)
endfunction()
