# The termination service: real signals sent to the test process, handled on
# the real event loop, and passed on to a real child during a wait.
vantor_add_test(NAME termination_signals_test
  SOURCES src/qt/termination_watch_test.cpp
  LIBS platform_qt)
