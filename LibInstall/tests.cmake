vantor_add_test(NAME macinstall_test
  SOURCES platform/OSX/Mac/MacInstall_test.cpp
  LIBS libinstall)
target_include_directories(macinstall_test PRIVATE "${PROJECT_SOURCE_DIR}/platform/src")
