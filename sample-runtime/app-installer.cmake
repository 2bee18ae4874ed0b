# The sample runtime's Application Installer (a separate product: it only
# shows what the bootstrapper hands over and installs the package with the
# launcher). Built as a program here; the framework assembly puts it into
# "Versions/1.0/Brenmoor Vantor Application Installer.app".
add_executable(vantor-sample-app-installer "${CMAKE_CURRENT_LIST_DIR}/app-installer/main.cpp")
target_link_libraries(vantor-sample-app-installer PRIVATE platform_core)
