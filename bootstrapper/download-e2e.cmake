# End to end: the download path of the real bootstrapper against the download
# server on the emulated Mac's private network, with the signed sample
# runtime installer of sample-runtime/runtime-installer.cmake.
vantor_bootstrapper_download_e2e_test(NAME bootstrapper_download_e2e_test
  SOURCES e2e/download_endings_test.cpp
  LIBS vantor_testpki
  LABELS e2e
  TIMEOUT 900)
