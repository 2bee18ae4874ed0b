# The Downloader's tests: the real download server on loopback over HTTPS,
# the real event loop, recording stand-ins for the window and its controls.
vantor_add_test(NAME downloader_test
  SOURCES mac/Downloader_test.cpp
  LIBS bootstrapper_core vantor_download_server
  TIMEOUT 300)

# The progress window of the main interface.
vantor_add_interface_files(bootstrapper_interfaces mac/ProgressWindow.ui)

# Runs one list through the Downloader as the bootstrapper does, for the
# end-to-end tests (log records in the emulated Mac, Cancel on an X server).
add_executable(vantor-download-probe mac/testdata/download_probe.cpp)
target_link_libraries(vantor-download-probe PRIVATE bootstrapper_core bootstrapper_interfaces)

vantor_add_test(NAME downloader_e2e_test
  SOURCES mac/Downloader_e2e_test.cpp
  LIBS vantor_testing vantor_download_server
  LABELS e2e TIMEOUT 600)
target_compile_definitions(downloader_e2e_test PRIVATE
  DOWNLOAD_PROBE_PATH="$<TARGET_FILE:vantor-download-probe>")
add_dependencies(downloader_e2e_test vantor-download-probe vantor-sandbox-exec)

vantor_add_test(NAME progress_window_test
  SOURCES mac/ProgressWindow_test.cpp
  LIBS bootstrapper_core bootstrapper_interfaces vantor_download_server
  LABELS gui)
target_include_directories(progress_window_test PRIVATE mac)
target_compile_definitions(progress_window_test PRIVATE
  DOWNLOAD_PROBE_PATH="$<TARGET_FILE:vantor-download-probe>")
set_tests_properties(progress_window_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
add_dependencies(progress_window_test vantor-download-probe)
