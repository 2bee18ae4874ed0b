# Deployment inputs (see the README, "Deploying"). Every value is a cache
# variable so a deployer sets it with -D on the cmake command line.

set(VANTOR_DEMO_ROOT_CERT "${PROJECT_SOURCE_DIR}/demo-pki/DEMO-KEYS-root-ca.cert.der")

set(VANTOR_ROOT_CERT_DER "${VANTOR_DEMO_ROOT_CERT}" CACHE FILEPATH
    "DER file of the self-signed root certificate the bootstrapper trusts")
set(VANTOR_DOWNLOAD_SERVER "https://download.vantor.test:8443" CACHE STRING
    "Scheme, host and optional port of the runtime download server (no trailing /)")
set(VANTOR_RUNTIME_DOWNLOAD_PAGE "https://www.vantor.test/runtime" CACHE STRING
    "Address of the runtime download page named in the messages")
set(VANTOR_SYSTEM_REQUIREMENTS_PAGE "https://www.vantor.test/runtime/requirements" CACHE STRING
    "Address of the system-requirements page linked from the 'update not available' message")
option(VANTOR_RELEASE "Release build: refuse the demo deployment inputs" OFF)

if(VANTOR_RELEASE)
  file(SHA256 "${VANTOR_ROOT_CERT_DER}" _root_sum)
  file(SHA256 "${VANTOR_DEMO_ROOT_CERT}" _demo_sum)
  if(_root_sum STREQUAL _demo_sum)
    message(FATAL_ERROR "VANTOR_RELEASE: VANTOR_ROOT_CERT_DER is the demo root; give your own root certificate")
  endif()
  foreach(_v VANTOR_DOWNLOAD_SERVER VANTOR_RUNTIME_DOWNLOAD_PAGE VANTOR_SYSTEM_REQUIREMENTS_PAGE)
    if("${${_v}}" MATCHES "\\.test([:/]|$)")
      message(FATAL_ERROR "VANTOR_RELEASE: ${_v} still names the demo host (${${_v}})")
    endif()
  endforeach()
endif()

# Generated header with the string inputs, as narrow and wide literals.
configure_file("${PROJECT_SOURCE_DIR}/cmake/VantorDeployment.h.in"
               "${PROJECT_BINARY_DIR}/generated/VantorDeployment.h" @ONLY)
add_library(vantor_deployment INTERFACE)
target_include_directories(vantor_deployment INTERFACE "${PROJECT_BINARY_DIR}/generated")
