# The sample runtime's Application Installer (a separate product: it shows
# what the bootstrapper hands over and installs the package as an app whose
# main executable is the launcher). See app-installer/main.cpp.
add_executable(vantor-sample-app-installer "${CMAKE_CURRENT_LIST_DIR}/app-installer/main.cpp")
target_link_libraries(vantor-sample-app-installer PRIVATE platform_core)

# Its app bundle, "Brenmoor Vantor Application Installer.app":
#   Contents/Info.plist
#   Contents/MacOS/Brenmoor Vantor Application Installer
#   Contents/Resources/launcher/MacOS/{launcher, libvantor-launcher-alert.so}
# The Resources/launcher folder is the skeleton of an installed app's Contents
# folder: the runtime carries the launcher that every installed app starts.
set(VANTOR_SAMPLE_APP_INSTALLER_NAME "Brenmoor Vantor Application Installer")
set(_ai_dir "${CMAKE_CURRENT_BINARY_DIR}/app-installer")
set(_ai "${_ai_dir}/${VANTOR_SAMPLE_APP_INSTALLER_NAME}.app")
set(_ai_info "${_ai_dir}/Info.plist")
file(WRITE "${_ai_info}" [=[<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>CFBundleExecutable</key>
	<string>Brenmoor Vantor Application Installer</string>
	<key>CFBundleIdentifier</key>
	<string>com.brenmoor.vantor.appinstaller</string>
	<key>CFBundleName</key>
	<string>Brenmoor Vantor Application Installer</string>
	<key>CFBundlePackageType</key>
	<string>APPL</string>
	<key>CFBundleVersion</key>
	<string>1.0</string>
</dict>
</plist>
]=])
set(_ai_stamp "${_ai_dir}/bundle.stamp")
add_custom_command(
  OUTPUT "${_ai_stamp}"
  COMMAND "${CMAKE_COMMAND}" -E rm -rf "${_ai}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${_ai}/Contents/MacOS" "${_ai}/Contents/Resources/launcher/MacOS"
  COMMAND "${CMAKE_COMMAND}" -E copy "${_ai_info}" "${_ai}/Contents/Info.plist"
  COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:vantor-sample-app-installer>"
          "${_ai}/Contents/MacOS/${VANTOR_SAMPLE_APP_INSTALLER_NAME}"
  COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:launcher>" "${_ai}/Contents/Resources/launcher/MacOS/launcher"
  COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:launcher_alert>" "${_ai}/Contents/Resources/launcher/MacOS/"
  COMMAND "${CMAKE_COMMAND}" -E touch "${_ai_stamp}"
  DEPENDS vantor-sample-app-installer launcher launcher_alert "${_ai_info}"
  COMMENT "Assembling ${VANTOR_SAMPLE_APP_INSTALLER_NAME}.app"
  VERBATIM)
add_custom_target(sample_app_installer_bundle ALL DEPENDS "${_ai_stamp}")

# The complete sample runtime: the framework of framework.cmake with the
# Application Installer at Versions/1.0. This is the one the demo and the
# bootstrapper's tests install into /Library/Frameworks.
include("${CMAKE_CURRENT_LIST_DIR}/framework/SampleFramework.cmake")
vantor_sample_framework(TARGET sample_runtime_framework
  OUTPUT_DIR "${CMAKE_CURRENT_BINARY_DIR}/runtime"
  EXECUTABLE sample_runtime
  VERSION "3.0.0.0"
  ITEMS "${_ai}" "${VANTOR_SAMPLE_APP_INSTALLER_NAME}.app"
  DEPENDS "${_ai_stamp}" sample_app_installer_bundle)
