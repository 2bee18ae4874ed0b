# The launcher: the main executable of an installed application bundle, and
# its GUI part, a shared library it loads only to show its alert.
#
# The launcher runs before every start of every installed application, so it
# is built to start like a bare C program: no Qt, the C++ library linked in
# statically, and no shared library kept that it does not use. The C++
# runtime support library (libgcc_s, with the exception unwinder) stays
# shared on purpose: the runtime framework the launcher loads uses the shared
# one, and an exception it raises can only be caught here when both sides
# unwind with the same unwinder (a second, static unwinder in the launcher
# aborts on the first foreign exception).
add_executable(launcher
  "${CMAKE_CURRENT_LIST_DIR}/main.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/RuntimeEntry.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/MissingRuntimeAlert.cpp"
  # The same runtime search as the bootstrapper, from the same source.
  "${PROJECT_SOURCE_DIR}/LibInstall/platform/OSX/Mac/RuntimeLocation.cpp")
target_include_directories(launcher PRIVATE "${CMAKE_CURRENT_LIST_DIR}" "${PROJECT_SOURCE_DIR}/LibInstall/src")
target_link_libraries(launcher PRIVATE vantor_objrt platform_core launchermessages ${CMAKE_DL_LIBS})
target_link_options(launcher PRIVATE -static-libstdc++ "LINKER:--as-needed")

# The GUI part: the platform layer's alert over Qt Widgets. It sits beside the
# launcher (Contents/MacOS of an app bundle); see MissingRuntimeAlert.h.
add_library(launcher_alert SHARED "${CMAKE_CURRENT_LIST_DIR}/alert/LauncherAlert.cpp")
set_target_properties(launcher_alert PROPERTIES
  OUTPUT_NAME vantor-launcher-alert
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
target_link_libraries(launcher_alert PRIVATE platform_qt Qt6::Widgets)
# Only the alert function is the library's interface; the platform layer it
# carries stays private to it.
target_link_options(launcher_alert PRIVATE "LINKER:--exclude-libs,ALL")
# Built with the launcher, so that a launcher in the build tree finds its
# alert part beside it.
add_dependencies(launcher launcher_alert)

# ---- Tests -----------------------------------------------------------------------

# Renders an alert through the GUI part from given texts: what the GUI test
# compares the launcher's alert with.
add_executable(launcher-alert-reference "${CMAKE_CURRENT_LIST_DIR}/alert/alert_reference.cpp")
target_link_libraries(launcher-alert-reference PRIVATE ${CMAKE_DL_LIBS})

set(_launcher_test_definitions
  "LAUNCHER_PATH=\"$<TARGET_FILE:launcher>\""
  "LAUNCHER_ALERT_PATH=\"$<TARGET_FILE:launcher_alert>\""
  "LAUNCHER_ALERT_REFERENCE_PATH=\"$<TARGET_FILE:launcher-alert-reference>\""
  "SAMPLE_RUNTIME_PATH=\"$<TARGET_FILE:sample_runtime>\""
  "SAMPLE_VARIANT_DIR=\"$<TARGET_FILE_DIR:sample_runtime_exit0>\"")

vantor_add_test(NAME launcher_e2e_test
  SOURCES "${CMAKE_CURRENT_LIST_DIR}/launcher_e2e_test.cpp"
  LIBS vantor_testing launchermessages
  LABELS e2e)
vantor_add_test(NAME launcher_alert_gui_test
  SOURCES "${CMAKE_CURRENT_LIST_DIR}/alert_gui_e2e_test.cpp"
  LIBS vantor_testing launchermessages
  LABELS e2e gui)
foreach(_t launcher_e2e_test launcher_alert_gui_test)
  target_include_directories(${_t} PRIVATE "${CMAKE_CURRENT_LIST_DIR}")
  target_compile_definitions(${_t} PRIVATE ${_launcher_test_definitions})
  add_dependencies(${_t} launcher launcher_alert launcher-alert-reference sample_runtime sample_runtime_variants)
endforeach()
