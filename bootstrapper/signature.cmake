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

# The test PKI: certificates, revocation lists and signatures made at run
# time under the committed demo root key. Test-only.
add_library(vantor_testpki STATIC mac/testpki/TestPki.cpp)
target_include_directories(vantor_testpki PUBLIC mac/testpki mac ${OPENSSL_INCLUDE_DIR})
target_compile_definitions(vantor_testpki PRIVATE
  TESTPKI_DEMO_ROOT_CERT="${PROJECT_SOURCE_DIR}/demo-pki/DEMO-KEYS-root-ca.cert.pem"
  TESTPKI_DEMO_ROOT_KEY="${PROJECT_SOURCE_DIR}/demo-pki/DEMO-KEYS-root-ca.key.pem")
# The shared libcrypto: the test server links libssl, which needs it; a
# test that also links the verifier gets the static copy first.
target_link_libraries(vantor_testpki PUBLIC OpenSSL::Crypto)

vantor_add_test(NAME signature_verification_test
  SOURCES mac/SignatureVerification_test.cpp
  LIBS bootstrapper_core vantor_testpki)

# A verification as the bootstrapper runs it, for the end-to-end tests (in
# the emulated Mac, where its log records are read) and the benchmark.
add_executable(vantor-verify-probe mac/testpki/verify_probe.cpp)
target_link_libraries(vantor-verify-probe PRIVATE bootstrapper_core)

# The e2e test runs the probe; it links the test PKI and the server, not the
# verifier (the held root's bytes only, to know whether it is the demo root).
vantor_add_test(NAME signature_verification_e2e_test
  SOURCES mac/SignatureVerification_e2e_test.cpp "${_vantor_root_cpp}"
  LIBS vantor_testing vantor_testpki vantor_download_server
  LABELS e2e TIMEOUT 600)
target_include_directories(signature_verification_e2e_test PRIVATE mac)
target_compile_definitions(signature_verification_e2e_test PRIVATE
  VERIFY_PROBE_PATH="$<TARGET_FILE:vantor-verify-probe>"
  VANTOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_dependencies(signature_verification_e2e_test vantor-verify-probe vantor-probe)

# The verifier compiled around an expired root made at build time: the
# anchor's own validity is checked too. The verifier's sources are compiled
# into the test itself, so the archive's copy (with the deployer's root) is
# never pulled in.
add_executable(vantor-make-test-root mac/testpki/make_test_root.cpp)
target_link_libraries(vantor-make-test-root PRIVATE vantor_testpki)
set(_expired_root_dir "${CMAKE_CURRENT_BINARY_DIR}/generated/expired-root")
add_custom_command(
  OUTPUT "${_expired_root_dir}/root.der" "${_expired_root_dir}/root.pem" "${_expired_root_dir}/root.key"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${_expired_root_dir}"
  COMMAND vantor-make-test-root expired "${_expired_root_dir}/root.der"
          "${_expired_root_dir}/root.pem" "${_expired_root_dir}/root.key"
  DEPENDS vantor-make-test-root
  COMMENT "Making an expired test root"
  VERBATIM)
add_custom_command(
  OUTPUT "${_expired_root_dir}/ExpiredRootCert.cpp"
  COMMAND ${CMAKE_COMMAND} -DINPUT=${_expired_root_dir}/root.der
          -DOUTPUT=${_expired_root_dir}/ExpiredRootCert.cpp
          -DSYMBOL=VantorRootCert -DHEADER=VantorRootCert.h
          -P "${PROJECT_SOURCE_DIR}/cmake/EmbedBytes.cmake"
  DEPENDS "${_expired_root_dir}/root.der" "${PROJECT_SOURCE_DIR}/cmake/EmbedBytes.cmake"
  VERBATIM)
vantor_add_test(NAME signature_verification_expired_root_test
  SOURCES mac/SignatureVerificationExpiredRoot_test.cpp mac/SignatureVerification.cpp
          "${_expired_root_dir}/ExpiredRootCert.cpp"
  LIBS bootstrapper_core vantor_testpki)
target_compile_definitions(signature_verification_expired_root_test PRIVATE
  EXPIRED_ROOT_CERT_PEM="${_expired_root_dir}/root.pem"
  EXPIRED_ROOT_KEY_PEM="${_expired_root_dir}/root.key")
