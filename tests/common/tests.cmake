# Mixed-case name: copied into a mixed-case folder, it shows where its settings file goes.
add_executable(duvix_settings_writer ${CMAKE_CURRENT_LIST_DIR}/settings_writer.cpp)
target_link_libraries(duvix_settings_writer PRIVATE duvix_rules)
set_target_properties(duvix_settings_writer PROPERTIES OUTPUT_NAME "Duvix-IniProbe")
duvix_warnings(duvix_settings_writer)
foreach(_test common_settings_test common_settings_sharing_test)
  add_dependencies(${_test} duvix_settings_writer)
  target_compile_definitions(${_test} PRIVATE
    DUVIX_SETTINGS_WRITER="$<TARGET_FILE:duvix_settings_writer>")
endforeach()
