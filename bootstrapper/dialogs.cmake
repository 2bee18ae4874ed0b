# The bootstrapper's dialogs and texts: the error dialog's interface file, the
# language choice and the dialogs' tests.
#
# bootstrapper_interfaces holds the bootstrapper's interface files; the
# program and every test that opens a window link it directly (see
# vantor_add_interface_files). Other areas add their forms with
#   vantor_add_interface_files(bootstrapper_interfaces mac/<Form>.ui)
vantor_add_interface_files(bootstrapper_interfaces mac/ErrorDialog.ui)
