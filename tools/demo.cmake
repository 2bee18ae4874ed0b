# The demo driver that tools/demo.sh runs: the install flow of
# "Install Sample.app" in the emulated Mac with the demo download server.
add_executable(vantor-demo "${CMAKE_CURRENT_LIST_DIR}/demo/demo.cpp")
target_link_libraries(vantor-demo PRIVATE vantor_testing platform_core)
target_compile_definitions(vantor-demo PRIVATE
  VANTOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  VANTOR_DEMO_SERVED_DIR="${VANTOR_DEMO_SERVED_DIR}"
  VANTOR_BOOTSTRAPPER_PROGRAM="$<TARGET_FILE:bootstrapper>"
  VANTOR_DOWNLOAD_SERVER_PROGRAM="$<TARGET_FILE:vantor-download-server>")
add_dependencies(vantor-demo bootstrapper vantor-download-server sample_runtime_installer)
