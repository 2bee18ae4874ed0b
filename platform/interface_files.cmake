# Interface files (.ui) and the application object.
#
# vantor_add_interface_files(<object-library> <file.ui>...)
#   Compiles each .ui with uic and registers it with the platform layer's
#   interface-file registry under its file name without ".ui". The forms go
#   into <object-library> (created on first use, appended to afterwards, so
#   several fragments can add their forms to one library). Link it DIRECTLY
#   into every program or test that loads the forms: the registrations run
#   from static initialisers, which a static archive would drop.
set(VANTOR_PLATFORM_QT_PRIVATE_DIR "${CMAKE_CURRENT_SOURCE_DIR}/src/qt" CACHE INTERNAL "")
set(VANTOR_INTERFACE_TEMPLATE "${CMAKE_CURRENT_SOURCE_DIR}/src/qt/interface_registration.cpp.in" CACHE INTERNAL "")

function(vantor_add_interface_files lib)
  if(NOT TARGET ${lib})
    add_library(${lib} OBJECT)
    target_link_libraries(${lib} PUBLIC platform_qt Qt6::Widgets)
    target_include_directories(${lib} PRIVATE "${VANTOR_PLATFORM_QT_PRIVATE_DIR}")
  endif()
  foreach(ui IN LISTS ARGN)
    get_filename_component(ui_abs "${ui}" ABSOLUTE)
    get_filename_component(UI_NAME "${ui_abs}" NAME_WE)
    set(UI_FILE "${ui_abs}")
    # The form class is the name of the top-level widget in the .ui.
    file(READ "${ui_abs}" ui_text)
    string(REGEX MATCH "<widget class=\"[A-Za-z]+\" name=\"([A-Za-z_0-9]+)\"" _m "${ui_text}")
    set(UI_CLASS "${CMAKE_MATCH_1}")
    if(NOT UI_CLASS)
      message(FATAL_ERROR "${ui}: no top-level widget found")
    endif()
    set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/${lib}_forms")
    set(header "${out_dir}/ui_${UI_NAME}.h")
    add_custom_command(OUTPUT "${header}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${out_dir}"
      COMMAND Qt6::uic -o "${header}" "${ui_abs}"
      DEPENDS "${ui_abs}" Qt6::uic
      COMMENT "uic ${UI_NAME}.ui")
    set(reg "${out_dir}/register_${UI_NAME}.cpp")
    configure_file("${VANTOR_INTERFACE_TEMPLATE}" "${reg}" @ONLY)
    set_property(SOURCE "${reg}" APPEND PROPERTY OBJECT_DEPENDS "${header}")
    target_sources(${lib} PRIVATE "${reg}" "${header}")
    target_include_directories(${lib} PRIVATE "${out_dir}")
  endforeach()
endfunction()
