# The update policy, the download addresses and the operating-system version.
vantor_add_test(NAME update_policy_test
  SOURCES src/UpdatePolicy_test.cpp
  LIBS libinstall)
