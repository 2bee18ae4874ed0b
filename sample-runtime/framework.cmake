# The sample runtime framework: its executable, the variants that tests load
# in its place, and the assembled bundle in the build tree.
include("${CMAKE_CURRENT_LIST_DIR}/framework/SampleFramework.cmake")

# The runtime executable: a shared library that registers EntryPoints when
# loaded. It knows the host only through the object runtime's header.
add_library(sample_runtime MODULE "${CMAKE_CURRENT_LIST_DIR}/framework/EntryPoints.cpp")
target_link_libraries(sample_runtime PRIVATE vantor_objrt_headers)

# Variants for tests, each in a folder of its own under framework-variants/.
set(VANTOR_SAMPLE_RUNTIME_VARIANT_DIR "${CMAKE_CURRENT_BINARY_DIR}/framework-variants" CACHE INTERNAL "")
set(_variants exit0 exit7 exitHigh raise raiseOther noClass initNone noSelector)
set(_n 0)
foreach(_v IN LISTS _variants)
  math(EXPR _n "${_n} + 1")
  add_library(sample_runtime_${_v} MODULE "${CMAKE_CURRENT_LIST_DIR}/framework/EntryVariants.cpp")
  target_compile_definitions(sample_runtime_${_v} PRIVATE SAMPLE_VARIANT=${_n})
  target_link_libraries(sample_runtime_${_v} PRIVATE vantor_objrt_headers)
  set_target_properties(sample_runtime_${_v} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY "${VANTOR_SAMPLE_RUNTIME_VARIANT_DIR}")
endforeach()
add_custom_target(sample_runtime_variants DEPENDS sample_runtime)
foreach(_v IN LISTS _variants)
  add_dependencies(sample_runtime_variants sample_runtime_${_v})
endforeach()
# A file in the executable's place that the dynamic loader refuses.
file(WRITE "${VANTOR_SAMPLE_RUNTIME_VARIANT_DIR}/not-a-library.so"
     "This is a text file where a runtime executable should be.\n")

# The sample framework in the build tree (for the demo and for installers
# that copy it into place).
vantor_sample_framework(TARGET sample_framework
  OUTPUT_DIR "${CMAKE_CURRENT_BINARY_DIR}"
  EXECUTABLE sample_runtime
  VERSION "3.0.0.0")
