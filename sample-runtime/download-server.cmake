# The download server: a library for tests that run it in-process and the
# demo program around it.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)

add_library(vantor_download_server STATIC download-server/DownloadServer.cpp)
target_include_directories(vantor_download_server PUBLIC download-server)
target_compile_definitions(vantor_download_server PRIVATE
  VANTOR_DEMO_PKI_DIR="${PROJECT_SOURCE_DIR}/demo-pki")
target_link_libraries(vantor_download_server PUBLIC PkgConfig::HTTPLIB
  OpenSSL::SSL OpenSSL::Crypto ZLIB::ZLIB Threads::Threads)

add_executable(vantor-download-server download-server/main.cpp)
target_link_libraries(vantor-download-server PRIVATE vantor_download_server)
