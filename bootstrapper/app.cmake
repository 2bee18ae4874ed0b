# The bootstrapper program: main hands over to the application object, which
# loads the main interface "MainMenu" (MainMenu.cpp). bootstrapper_interfaces
# (the .ui forms, defined in dialogs.cmake) is linked directly so that the
# forms' registrations are kept.
add_executable(bootstrapper mac/main.cpp)
target_link_libraries(bootstrapper PRIVATE bootstrapper_core bootstrapper_interfaces)

# Unit tests of the Bootstrapper's pieces that do not end the process.
vantor_add_test(NAME bootstrapper_test
  SOURCES mac/Bootstrapper_test.cpp
  LIBS bootstrapper_core bootstrapper_interfaces)

# Drives installWithInstaller of the real Bootstrapper inside the emulated
# Mac, where the log records can be read (test-only).
add_executable(bootstrapper-child-driver e2e/child_driver.cpp)
target_link_libraries(bootstrapper-child-driver PRIVATE bootstrapper_core bootstrapper_interfaces)

# End to end: the real program inside "Install <Name>.app" made by
# tools/make-bundle, with the sample runtime (and its Application Installer)
# in the emulated Mac's /Library/Frameworks.
vantor_add_test(NAME bootstrapper_e2e_test
  SOURCES e2e/launch_decision_test.cpp e2e/child_installers_test.cpp
  LIBS vantor_testing platform_core
  LABELS e2e
  TIMEOUT 900)
target_compile_definitions(bootstrapper_e2e_test PRIVATE
  VANTOR_BOOTSTRAPPER_PATH="$<TARGET_FILE:bootstrapper>"
  VANTOR_CHILD_DRIVER="$<TARGET_FILE:bootstrapper-child-driver>"
  VANTOR_MAKE_BUNDLE="${PROJECT_SOURCE_DIR}/tools/make-bundle"
  VANTOR_SAMPLE_FRAMEWORK="$<TARGET_PROPERTY:sample_runtime_framework,FRAMEWORK_PATH>")
add_dependencies(bootstrapper_e2e_test bootstrapper bootstrapper-child-driver sample_runtime_framework)
