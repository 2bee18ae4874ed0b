# The URL download service's tests: the real download server on loopback,
# over HTTPS and plain HTTP, and a CONNECT proxy.
vantor_add_test(NAME url_download_test
  SOURCES src/qt/url_download_test.cpp
  LIBS platform_qt vantor_download_server Qt6::Core ZLIB::ZLIB
  TIMEOUT 300)
target_include_directories(url_download_test PRIVATE src/qt)
