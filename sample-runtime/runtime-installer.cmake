# The sample runtime installer (a separate product): one self-contained,
# signed file that installs the sample runtime framework of
# app-installer.cmake and hands the package to its Application Installer.
# See runtime-installer/installer-header.sh.
#
# Outputs, in the build tree:
#   served/                      the demo download server's folder:
#     vantor/3/nai/macos10.9/x86/installer, installer.p7
#     vantor/crl/DEMO-KEYS-intermediate.crl, DEMO-KEYS-root.crl
#       (the addresses the demo signer and intermediate certificates name)
#   runtime-installer-variants/<exit0|exit7>/installer, installer.p7
#       test variants that end with that status without installing
set(_ri_src "${CMAKE_CURRENT_LIST_DIR}/runtime-installer")
set(_ri_script "${_ri_src}/assemble-installer.cmake")
set(_ri_header "${_ri_src}/installer-header.sh")
set(_ri_sign "${PROJECT_SOURCE_DIR}/tools/sign-installer")
set(_ri_fw_stamp "${CMAKE_CURRENT_BINARY_DIR}/sample_runtime_framework.stamp")
get_target_property(_ri_fw sample_runtime_framework FRAMEWORK_PATH)

set(VANTOR_DEMO_SERVED_DIR "${CMAKE_CURRENT_BINARY_DIR}/served" CACHE INTERNAL
    "Folder the demo download server serves")
set(VANTOR_RUNTIME_INSTALLER_VARIANT_DIR "${CMAKE_CURRENT_BINARY_DIR}/runtime-installer-variants" CACHE INTERNAL
    "Test variants of the runtime installer")
# The emulated Mac (and the demo) report system version 10.9.5.
set(_ri_main "${VANTOR_DEMO_SERVED_DIR}/vantor/3/nai/macos10.9/x86/installer")

set(_ri_outputs)
foreach(_mode install exit0 exit7)
  if(_mode STREQUAL "install")
    set(_out "${_ri_main}")
  else()
    set(_out "${VANTOR_RUNTIME_INSTALLER_VARIANT_DIR}/${_mode}/installer")
  endif()
  add_custom_command(
    OUTPUT "${_out}" "${_out}.p7"
    COMMAND "${CMAKE_COMMAND}" "-DFRAMEWORK=${_ri_fw}" "-DHEADER=${_ri_header}" "-DMODE=${_mode}"
            "-DOUTPUT=${_out}" "-DSIGN=${_ri_sign}" -P "${_ri_script}"
    DEPENDS "${_ri_fw_stamp}" sample_runtime_framework "${_ri_header}" "${_ri_script}" "${_ri_sign}"
    COMMENT "Assembling and signing the runtime installer (${_mode})"
    VERBATIM)
  list(APPEND _ri_outputs "${_out}" "${_out}.p7")
endforeach()

set(_ri_crl_dir "${VANTOR_DEMO_SERVED_DIR}/vantor/crl")
foreach(_crl DEMO-KEYS-intermediate.crl DEMO-KEYS-root.crl)
  add_custom_command(
    OUTPUT "${_ri_crl_dir}/${_crl}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${_ri_crl_dir}"
    COMMAND "${CMAKE_COMMAND}" -E copy "${PROJECT_SOURCE_DIR}/demo-pki/${_crl}" "${_ri_crl_dir}/${_crl}"
    DEPENDS "${PROJECT_SOURCE_DIR}/demo-pki/${_crl}"
    VERBATIM)
  list(APPEND _ri_outputs "${_ri_crl_dir}/${_crl}")
endforeach()

add_custom_target(sample_runtime_installer ALL DEPENDS ${_ri_outputs})
