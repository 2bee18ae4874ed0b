# End to end: faults on the download path of the real bootstrapper (full or
# unwritable temporary folder, broken, stalled, looping and oversized
# answers, a revocation-list server that hangs) and termination signals sent
# to the running program, in the emulated Mac against the download server.
# Two cases wait for the real 30-second request timeout.
vantor_bootstrapper_download_e2e_test(NAME bootstrapper_faults_e2e_test
  SOURCES e2e/download_faults_test.cpp
  LABELS e2e
  TIMEOUT 900)

# A termination request while the failure alert is up, on Xvfb.
vantor_bootstrapper_download_e2e_test(NAME bootstrapper_signal_dialog_gui_test
  SOURCES e2e/signal_during_dialog_test.cpp
  LABELS e2e gui
  TIMEOUT 300)
