# cmake -DFRAMEWORK=<dir of Brenmoor Vantor.framework> -DHEADER=<script>
#       -DMODE=install|exit0|exit7 -DOUTPUT=<file> -DSIGN=<tools/sign-installer>
#       -P assemble-installer.cmake
# Writes the self-contained runtime installer OUTPUT (the header with MODE
# filled in, the marker line, then a tar.gz of the framework), makes it
# executable and signs it into OUTPUT.p7 with the demo signer.
cmake_minimum_required(VERSION 3.25)

foreach(v FRAMEWORK HEADER MODE OUTPUT SIGN)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "assemble-installer: ${v} is not set")
  endif()
endforeach()

get_filename_component(_out_dir "${OUTPUT}" DIRECTORY)
get_filename_component(_fw_parent "${FRAMEWORK}" DIRECTORY)
get_filename_component(_fw_name "${FRAMEWORK}" NAME)
file(MAKE_DIRECTORY "${_out_dir}")
set(_payload "${OUTPUT}.payload.tar.gz")
# The system tar keeps the framework's links (Versions/Current, Resources)
# as links; --owner/--group make the archive the same on every machine.
execute_process(
  COMMAND tar --owner=0 --group=0 --numeric-owner -czf "${_payload}" -C "${_fw_parent}" "${_fw_name}"
  RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "assemble-installer: tar failed (${_rc})")
endif()

file(READ "${HEADER}" _header)
string(REPLACE "@MODE@" "${MODE}" _header "${_header}")
file(WRITE "${OUTPUT}.tmp" "${_header}__VANTOR_RUNTIME_PAYLOAD__\n")
execute_process(COMMAND sh -c "cat \"$1\" >> \"$2\"" sh "${_payload}" "${OUTPUT}.tmp" RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "assemble-installer: cannot append the payload")
endif()
file(REMOVE "${_payload}")
file(CHMOD "${OUTPUT}.tmp" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")

execute_process(COMMAND bash "${SIGN}" "${OUTPUT}" "${OUTPUT}.p7" RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "assemble-installer: signing ${OUTPUT} failed")
endif()
