# The emulated Mac: the harness every area's end-to-end tests run their
# programs in (vantor_testing), the first process inside each sandbox
# (vantor-sandbox-exec), and the probe of the installation services.

add_executable(vantor-sandbox-exec sandbox/sandbox_exec.cpp)

add_library(vantor_testing STATIC EmulatedMac.cpp FixtureTree.cpp)
target_include_directories(vantor_testing PUBLIC
  "${CMAKE_CURRENT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/platform/include")
target_compile_definitions(vantor_testing PRIVATE
  VANTOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  VANTOR_BINARY_DIR="${PROJECT_BINARY_DIR}"
  VANTOR_SANDBOX_EXEC="$<TARGET_FILE:vantor-sandbox-exec>"
  VANTOR_PROBE_PATH="$<TARGET_FILE:vantor-probe>")
target_link_libraries(vantor_testing PUBLIC GTest::gtest Threads::Threads)
add_dependencies(vantor_testing vantor-sandbox-exec)

vantor_add_test(NAME emulated_mac_test SOURCES EmulatedMac_test.cpp
  LIBS vantor_testing LABELS e2e)

# The probe: runs inside the emulated Mac and calls the installation
# services of libinstall as a program of the system would.
add_executable(vantor-probe probe/probe.cpp)
target_link_libraries(vantor-probe PRIVATE libinstall)
vantor_add_test(NAME install_services_e2e_test SOURCES probe/install_services_e2e_test.cpp
  LIBS vantor_testing LABELS e2e)
add_dependencies(install_services_e2e_test vantor-probe)
vantor_add_test(NAME fixture_tree_test SOURCES FixtureTree_test.cpp
  LIBS vantor_testing PkgConfig::PLIST)
pkg_check_modules(HARNESS_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
vantor_add_test(NAME private_network_test SOURCES PrivateNetwork_test.cpp
  LIBS vantor_testing PkgConfig::HARNESS_HTTPLIB OpenSSL::SSL OpenSSL::Crypto ZLIB::ZLIB
  LABELS e2e)
