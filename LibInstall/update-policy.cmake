# The update policy, the download addresses and the operating-system version.
vantor_add_test(NAME update_policy_test
  SOURCES src/UpdatePolicy_test.cpp
  LIBS libinstall)

# On the literal paths, in the emulated Mac.
add_executable(vantor-update-policy-probe testdata/update_policy_probe.cpp)
target_link_libraries(vantor-update-policy-probe PRIVATE libinstall)
vantor_add_test(NAME update_policy_e2e_test
  SOURCES src/UpdatePolicy_e2e_test.cpp
  LIBS vantor_testing vantor_deployment
  LABELS e2e)
target_compile_definitions(update_policy_e2e_test PRIVATE
  UPDATE_POLICY_PROBE_PATH="$<TARGET_FILE:vantor-update-policy-probe>")
add_dependencies(update_policy_e2e_test vantor-update-policy-probe vantor-sandbox-exec)
