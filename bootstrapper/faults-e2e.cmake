# End to end: faults on the download path of the real bootstrapper (full or
# unwritable temporary folder, broken, stalled, looping and oversized
# answers, a revocation-list server that hangs) and termination signals sent
# to the running program, in the emulated Mac against the download server.
# Two cases wait for the real 30-second request timeout.
vantor_add_test(NAME bootstrapper_faults_e2e_test
  SOURCES e2e/download_faults_test.cpp
  LIBS vantor_testing platform_core vantor_download_server
  LABELS e2e
  TIMEOUT 900)
target_compile_definitions(bootstrapper_faults_e2e_test PRIVATE
  VANTOR_BOOTSTRAPPER_PATH="$<TARGET_FILE:bootstrapper>"
  VANTOR_MAKE_BUNDLE="${PROJECT_SOURCE_DIR}/tools/make-bundle"
  VANTOR_SIGN_INSTALLER="${PROJECT_SOURCE_DIR}/tools/sign-installer"
  VANTOR_DEMO_SERVED_DIR="${PROJECT_BINARY_DIR}/sample-runtime/served"
  VANTOR_RUNTIME_INSTALLER_VARIANT_DIR="${PROJECT_BINARY_DIR}/sample-runtime/runtime-installer-variants")
add_dependencies(bootstrapper_faults_e2e_test bootstrapper sample_runtime_installer)
