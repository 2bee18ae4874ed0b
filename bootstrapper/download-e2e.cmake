# End to end: the download path of the real bootstrapper against the download
# server on the emulated Mac's private network, with the signed sample
# runtime installer of sample-runtime/runtime-installer.cmake.
vantor_add_test(NAME bootstrapper_download_e2e_test
  SOURCES e2e/download_endings_test.cpp
  LIBS vantor_testing platform_core vantor_download_server vantor_testpki
  LABELS e2e
  TIMEOUT 900)
target_compile_definitions(bootstrapper_download_e2e_test PRIVATE
  VANTOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  VANTOR_BOOTSTRAPPER_PATH="$<TARGET_FILE:bootstrapper>"
  VANTOR_MAKE_BUNDLE="${PROJECT_SOURCE_DIR}/tools/make-bundle"
  VANTOR_DEMO_SERVED_DIR="${PROJECT_BINARY_DIR}/sample-runtime/served"
  VANTOR_RUNTIME_INSTALLER_VARIANT_DIR="${PROJECT_BINARY_DIR}/sample-runtime/runtime-installer-variants")
add_dependencies(bootstrapper_download_e2e_test bootstrapper sample_runtime_installer)
