# vantor-screenshots: renders the bootstrapper's alert and error dialog for
# tools/screenshots.sh.
add_executable(vantor-screenshots screenshots/main.cpp)
target_link_libraries(vantor-screenshots PRIVATE bootstrapper_core bootstrapper_interfaces)
