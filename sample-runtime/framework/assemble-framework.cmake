# Assembles a runtime framework bundle (cmake -P script, run at build time):
#
#   <FRAMEWORK>/Versions/1.0/Brenmoor Vantor_64        the runtime executable
#   <FRAMEWORK>/Versions/1.0/Resources/Info.plist      CFBundleVersion etc.
#   <FRAMEWORK>/Versions/Current -> 1.0
#   <FRAMEWORK>/Resources -> Versions/Current/Resources
#   <FRAMEWORK>/Brenmoor Vantor_64 -> Versions/Current/Brenmoor Vantor_64
#
# cmake -DFRAMEWORK=<.../Brenmoor Vantor.framework> -DVERSION=<a.b.c.d>
#       -DEXECUTABLE=<file> -P assemble-framework.cmake [<source> <destination>]...
# Each trailing pair copies a file or a folder (recursively, links kept) to
# <destination>, relative to Versions/1.0: that is how further parts of the
# runtime (its Application Installer, ...) go into the bundle. The bundle is
# rebuilt from nothing each time, so no stale part survives.
cmake_minimum_required(VERSION 3.25)

foreach(_v FRAMEWORK VERSION EXECUTABLE)
  if(NOT DEFINED ${_v} OR "${${_v}}" STREQUAL "")
    message(FATAL_ERROR "assemble-framework: ${_v} is not given")
  endif()
endforeach()

# The arguments after the script's name are the item pairs.
set(_items)
set(_after_script FALSE)
math(EXPR _last "${CMAKE_ARGC} - 1")
foreach(_i RANGE 1 ${_last})
  if(_after_script)
    list(APPEND _items "${CMAKE_ARGV${_i}}")
  elseif("${CMAKE_ARGV${_i}}" MATCHES "assemble-framework\\.cmake$")
    set(_after_script TRUE)
  endif()
endforeach()
list(LENGTH _items _n)
math(EXPR _odd "${_n} % 2")
if(_odd)
  message(FATAL_ERROR "assemble-framework: items come in pairs of source and destination")
endif()

set(_version_dir "${FRAMEWORK}/Versions/1.0")
file(REMOVE_RECURSE "${FRAMEWORK}")
file(MAKE_DIRECTORY "${_version_dir}/Resources")

file(COPY_FILE "${EXECUTABLE}" "${_version_dir}/Brenmoor Vantor_64")
file(CHMOD "${_version_dir}/Brenmoor Vantor_64" FILE_PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

file(WRITE "${_version_dir}/Resources/Info.plist" [=[<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>CFBundleExecutable</key>
	<string>Brenmoor Vantor_64</string>
	<key>CFBundleIdentifier</key>
	<string>com.brenmoor.vantor.framework</string>
	<key>CFBundleName</key>
	<string>Brenmoor Vantor</string>
	<key>CFBundlePackageType</key>
	<string>FMWK</string>
	<key>CFBundleVersion</key>
	<string>]=] "${VERSION}" [=[</string>
</dict>
</plist>
]=])

file(CREATE_LINK "1.0" "${FRAMEWORK}/Versions/Current" SYMBOLIC)
file(CREATE_LINK "Versions/Current/Resources" "${FRAMEWORK}/Resources" SYMBOLIC)
file(CREATE_LINK "Versions/Current/Brenmoor Vantor_64" "${FRAMEWORK}/Brenmoor Vantor_64" SYMBOLIC)

set(_k 0)
while(_k LESS _n)
  list(GET _items ${_k} _src)
  math(EXPR _k "${_k} + 1")
  list(GET _items ${_k} _dest)
  math(EXPR _k "${_k} + 1")
  set(_to "${_version_dir}/${_dest}")
  get_filename_component(_parent "${_to}" DIRECTORY)
  file(MAKE_DIRECTORY "${_parent}")
  # cp -a keeps modes and links (an executable stays executable); a folder's
  # contents go to the destination name.
  if(IS_DIRECTORY "${_src}")
    file(MAKE_DIRECTORY "${_to}")
    set(_from "${_src}/.")
  else()
    set(_from "${_src}")
  endif()
  execute_process(COMMAND cp -a "${_from}" "${_to}" RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "assemble-framework: cannot copy ${_src} to ${_to}")
  endif()
endwhile()
