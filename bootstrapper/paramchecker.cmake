# The command-line checker's tests build the checker's own sources, so they
# do not wait for the rest of the bootstrapper to link.
vantor_add_test(NAME paramchecker_test
  SOURCES mac/ParamChecker_test.cpp mac/ParamChecker.cpp generic/ParamCheckerCore.cpp
  LIBS libinstall)
target_include_directories(paramchecker_test PRIVATE mac generic)
