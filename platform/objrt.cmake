# The object runtime: the class registry that runtime frameworks register
# their classes with. Hosts link vantor_objrt (object files, so the
# registration function is always in the program even though the host itself
# never calls it) and export its symbols with the dynamic list. Frameworks
# build against vantor_objrt_headers alone.

add_library(vantor_objrt_headers INTERFACE)
target_include_directories(vantor_objrt_headers INTERFACE "${CMAKE_CURRENT_SOURCE_DIR}/include")

add_library(vantor_objrt OBJECT objrt/ObjectRuntime.cpp)
target_link_libraries(vantor_objrt PUBLIC vantor_objrt_headers platform_core ${CMAKE_DL_LIBS})
set(VANTOR_OBJRT_EXPORTS "${CMAKE_CURRENT_SOURCE_DIR}/objrt/exports.list" CACHE INTERNAL "")
target_link_options(vantor_objrt INTERFACE "LINKER:--dynamic-list=${VANTOR_OBJRT_EXPORTS}")
set_property(TARGET vantor_objrt APPEND PROPERTY INTERFACE_LINK_DEPENDS "${VANTOR_OBJRT_EXPORTS}")

vantor_add_test(NAME objrt_test
  SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/objrt/ObjectRuntime_test.cpp"
  LIBS vantor_objrt)
# The runtime executables it loads come from the sample runtime.
target_compile_definitions(objrt_test PRIVATE
  "SAMPLE_VARIANT_DIR=\"$<TARGET_FILE_DIR:sample_runtime_exit0>\"")
add_dependencies(objrt_test sample_runtime_variants)
