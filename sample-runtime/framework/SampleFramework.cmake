# vantor_sample_framework(TARGET <name> OUTPUT_DIR <dir> EXECUTABLE <target>
#                         [VERSION <a.b.c.d>] [ITEMS <source> <destination>...]
#                         [DEPENDS <targets or files>...])
# A build target <name> that assembles "<dir>/Brenmoor Vantor.framework"
# around the runtime executable built by <target> (see assemble-framework.cmake
# for the layout). Each ITEMS pair copies a file or folder (generator
# expressions allowed) to a path relative to Versions/1.0, e.g.
#   ITEMS "$<TARGET_BUNDLE_DIR:x>" "Brenmoor Vantor Application Installer.app"
# DEPENDS names what the items are built by. The target's property
# FRAMEWORK_PATH holds the framework's path.
include_guard(GLOBAL)

set(VANTOR_ASSEMBLE_FRAMEWORK_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/assemble-framework.cmake")

function(vantor_sample_framework)
  cmake_parse_arguments(F "" "TARGET;OUTPUT_DIR;EXECUTABLE;VERSION" "ITEMS;DEPENDS" ${ARGN})
  if(NOT F_VERSION)
    set(F_VERSION "3.0.0.0")
  endif()
  set(_fw "${F_OUTPUT_DIR}/Brenmoor Vantor.framework")
  set(_stamp "${CMAKE_CURRENT_BINARY_DIR}/${F_TARGET}.stamp")
  add_custom_command(
    OUTPUT "${_stamp}"
    COMMAND "${CMAKE_COMMAND}" "-DFRAMEWORK=${_fw}" "-DVERSION=${F_VERSION}"
            "-DEXECUTABLE=$<TARGET_FILE:${F_EXECUTABLE}>"
            -P "${VANTOR_ASSEMBLE_FRAMEWORK_SCRIPT}" ${F_ITEMS}
    COMMAND "${CMAKE_COMMAND}" -E touch "${_stamp}"
    DEPENDS ${F_EXECUTABLE} ${F_DEPENDS} "${VANTOR_ASSEMBLE_FRAMEWORK_SCRIPT}"
    COMMENT "Assembling ${_fw}"
    VERBATIM)
  add_custom_target(${F_TARGET} ALL DEPENDS "${_stamp}")
  set_target_properties(${F_TARGET} PROPERTIES FRAMEWORK_PATH "${_fw}")
endfunction()
