# The download cancelled with the progress window's button on Xvfb, in the
# emulated Mac.
vantor_bootstrapper_download_e2e_test(NAME bootstrapper_cancel_gui_test
  SOURCES e2e/cancel_on_xvfb_test.cpp
  LABELS e2e gui
  TIMEOUT 300)
