# The Downloader's tests: the real download server on loopback over HTTPS,
# the real event loop, recording stand-ins for the window and its controls.
vantor_add_test(NAME downloader_test
  SOURCES mac/Downloader_test.cpp
  LIBS bootstrapper_core vantor_download_server
  TIMEOUT 300)
