# Tests of platform_core: real files and folders under /tmp, real child
# processes, and a private /tmp (mount namespace) for the temporary folder.
add_executable(bundle_probe src/testdata/bundle_probe.cpp)
target_link_libraries(bundle_probe PRIVATE platform_core)

vantor_add_test(NAME platform_core_test
  SOURCES src/paths_test.cpp src/file_manager_test.cpp src/bundle_test.cpp src/process_test.cpp
          src/value_test.cpp src/scanner_test.cpp
  LIBS platform_core)
target_compile_definitions(platform_core_test PRIVATE BUNDLE_PROBE="$<TARGET_FILE:bundle_probe>")
add_dependencies(platform_core_test bundle_probe)
