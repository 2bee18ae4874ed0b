vantor_add_test(NAME notification_test
  SOURCES src/qt/notification_test.cpp
  LIBS platform_qt Qt6::Core)
