# Signature verification: the held root compiled in from the deployer's DER
# file, the test PKI, the verifier's tests and the helper program that runs a
# verification inside the emulated Mac.

if(NOT EXISTS "${VANTOR_ROOT_CERT_DER}")
  message(FATAL_ERROR "VANTOR_ROOT_CERT_DER: ${VANTOR_ROOT_CERT_DER} does not exist")
endif()

set(_vantor_root_cpp "${CMAKE_CURRENT_BINARY_DIR}/generated/VantorRootCert.cpp")
add_custom_command(
  OUTPUT "${_vantor_root_cpp}"
  COMMAND ${CMAKE_COMMAND} -DINPUT=${VANTOR_ROOT_CERT_DER} -DOUTPUT=${_vantor_root_cpp}
          -DSYMBOL=VantorRootCert -DHEADER=VantorRootCert.h
          -P "${PROJECT_SOURCE_DIR}/cmake/EmbedBytes.cmake"
  DEPENDS "${VANTOR_ROOT_CERT_DER}" "${PROJECT_SOURCE_DIR}/cmake/EmbedBytes.cmake"
  COMMENT "Compiling in the held root certificate ${VANTOR_ROOT_CERT_DER}"
  VERBATIM)
target_sources(bootstrapper_core PRIVATE "${_vantor_root_cpp}")
