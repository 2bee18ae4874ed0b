# vantor_add_test(NAME name SOURCES ... LIBS ... [LABELS ...])
# One GoogleTest executable registered with CTest. Tests live beside the code
# they test; end-to-end tests carry the label "e2e", GUI tests "gui".
function(vantor_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# Each folder's CMakeLists.txt ends with vantor_include_fragments(): every
# *.cmake file beside it is included, so each area of a folder keeps its
# targets in a file of its own.
macro(vantor_include_fragments)
  file(GLOB _vantor_fragments CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cmake")
  list(SORT _vantor_fragments)
  foreach(_f IN LISTS _vantor_fragments)
    include("${_f}")
  endforeach()
endmacro()

# Sources of a folder without its tests and fuzz targets.
function(vantor_glob_sources out)
  file(GLOB _s CONFIGURE_DEPENDS ${ARGN})
  list(FILTER _s EXCLUDE REGEX "(_test|_fuzz|/main)\\.cpp$")
  set(${out} ${_s} PARENT_SCOPE)
endfunction()
