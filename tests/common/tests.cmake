# A program with a mixed-case name, copied by the settings tests into a mixed-case folder,
# to see where it puts its settings file.
add_executable(duvix_ini_path_probe ${CMAKE_CURRENT_LIST_DIR}/ini_path_probe.cpp)
target_link_libraries(duvix_ini_path_probe PRIVATE duvix_rules)
set_target_properties(duvix_ini_path_probe PROPERTIES OUTPUT_NAME "Duvix-IniProbe")
duvix_warnings(duvix_ini_path_probe)
add_dependencies(common_settings_test duvix_ini_path_probe)
target_compile_definitions(common_settings_test PRIVATE
  DUVIX_INI_PATH_PROBE="$<TARGET_FILE:duvix_ini_path_probe>")

# A second program writing the same settings file, started twice by the settings tests.
add_executable(duvix_settings_writer ${CMAKE_CURRENT_LIST_DIR}/settings_writer.cpp)
target_link_libraries(duvix_settings_writer PRIVATE duvix_rules)
duvix_warnings(duvix_settings_writer)
add_dependencies(common_settings_sharing_test duvix_settings_writer)
target_compile_definitions(common_settings_sharing_test PRIVATE
  DUVIX_SETTINGS_WRITER="$<TARGET_FILE:duvix_settings_writer>")
