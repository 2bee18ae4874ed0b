# The download cancelled with the progress window's button on Xvfb, in the
# emulated Mac.
vantor_add_test(NAME bootstrapper_cancel_gui_test
  SOURCES e2e/cancel_on_xvfb_test.cpp
  LIBS vantor_testing platform_core vantor_download_server
  LABELS e2e gui
  TIMEOUT 300)
target_include_directories(bootstrapper_cancel_gui_test PRIVATE mac/testdata)
target_compile_definitions(bootstrapper_cancel_gui_test PRIVATE
  VANTOR_BOOTSTRAPPER_PATH="$<TARGET_FILE:bootstrapper>"
  VANTOR_LSAN_SUPPRESSIONS="${CMAKE_CURRENT_LIST_DIR}/e2e/system-libraries.lsan.supp"
  VANTOR_MAKE_BUNDLE="${PROJECT_SOURCE_DIR}/tools/make-bundle")
add_dependencies(bootstrapper_cancel_gui_test bootstrapper)
