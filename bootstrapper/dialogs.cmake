# The bootstrapper's dialogs and texts: the error dialog's interface file, the
# language choice and the dialogs' tests.
#
# bootstrapper_interfaces holds the bootstrapper's interface files; the
# program and every test that opens a window link it directly (see
# vantor_add_interface_files). Other areas add their forms with
#   vantor_add_interface_files(bootstrapper_interfaces mac/<Form>.ui)
vantor_add_interface_files(bootstrapper_interfaces mac/ErrorDialog.ui)

add_executable(dialogs_probe mac/testdata/dialogs_probe.cpp)
target_link_libraries(dialogs_probe PRIVATE bootstrapper_core bootstrapper_interfaces)

vantor_add_test(NAME localized_strings_test
  SOURCES mac/LocalizedStrings_test.cpp
  LIBS bootstrapper_core)

vantor_add_test(NAME error_dialog_test
  SOURCES mac/ErrorDialogController_test.cpp
  LIBS bootstrapper_core bootstrapper_interfaces
  LABELS gui)
set_tests_properties(error_dialog_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

vantor_add_test(NAME dialogs_test
  SOURCES mac/Dialogs_test.cpp
  LIBS bootstrapper_core
  LABELS gui)
target_include_directories(dialogs_test PRIVATE mac)
target_compile_definitions(dialogs_test PRIVATE DIALOGS_PROBE="$<TARGET_FILE:dialogs_probe>")
add_dependencies(dialogs_test dialogs_probe)
