find_package(Qt6 REQUIRED COMPONENTS Test)

# Tests of the application object, interface files, widgets and the alert.
# They run on Qt's offscreen platform: real widgets, real events, no server.
vantor_add_interface_files(platform_test_forms src/qt/testdata/WidgetGallery.ui)

add_executable(alert_probe src/qt/testdata/alert_probe.cpp)
target_link_libraries(alert_probe PRIVATE platform_qt platform_test_forms)

vantor_add_test(NAME platform_gui_test
  SOURCES src/qt/interface_file_test.cpp src/qt/application_test.cpp src/qt/alert_test.cpp
  LIBS platform_qt platform_test_forms Qt6::Widgets Qt6::Test
  LABELS gui)
target_include_directories(platform_gui_test PRIVATE src/qt)
target_compile_definitions(platform_gui_test PRIVATE ALERT_PROBE="$<TARGET_FILE:alert_probe>")
add_dependencies(platform_gui_test alert_probe)
set_tests_properties(platform_gui_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

vantor_add_test(NAME platform_locale_test
  SOURCES src/locale_test.cpp src/user_defaults_test.cpp
  LIBS platform_core)
