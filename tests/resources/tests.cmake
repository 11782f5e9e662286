# A missing tool (windres, desktop-file-validate, Debian packaging) fails its test, never skips.
find_program(DUVIX_WINDRES x86_64-w64-mingw32-windres)
find_program(DUVIX_CPP cpp)
set(_res_dir ${PROJECT_SOURCE_DIR}/resources)
target_compile_definitions(resources_icons_test PRIVATE DUVIX_RESOURCES_DIR="${_res_dir}"
  DUVIX_ICONGEN="$<TARGET_FILE:duvix-icongen>")
add_dependencies(resources_icons_test duvix-icongen)
if(TARGET resources_rc_test)
  target_compile_definitions(resources_rc_test PRIVATE DUVIX_RESOURCES_DIR="${_res_dir}"
    DUVIX_WINDRES="${DUVIX_WINDRES}" DUVIX_CPP="${DUVIX_CPP}")
endif()
if(WIN32)
  return()  # the rest checks the Linux desktop entry, package, metadata and manual pages
endif()
set(_pkg sh ${CMAKE_CURRENT_LIST_DIR}/check_package.sh)
add_test(NAME resources.desktop_entry COMMAND ${_pkg} desktop ${_res_dir}/duvix.desktop)
# Builds the .deb from this build tree into a temporary folder and lists what it installs.
add_test(NAME resources.deb_package COMMAND ${_pkg} deb ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  "$<TARGET_EXISTS:duvix-picinfo>")
set_tests_properties(resources.deb_package PROPERTIES TIMEOUT 300 RUN_SERIAL ON)
add_test(NAME resources.metainfo COMMAND ${_pkg} metainfo ${_res_dir}/org.example.Duvix.metainfo.xml)
add_test(NAME resources.manual_pages
  COMMAND ${_pkg} man ${_res_dir}/man/duvix.1 ${_res_dir}/man/duvix-picinfo.1)
add_test(NAME resources.licence COMMAND ${_pkg} licence ${PROJECT_SOURCE_DIR})
