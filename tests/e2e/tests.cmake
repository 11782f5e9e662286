# End-to-end tests: the real binary on an Xvfb desktop with openbox, driven by xdotool.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_e2e ${CMAKE_CURRENT_LIST_DIR})
set(_art ${CMAKE_BINARY_DIR}/e2e-artifacts)

if(WIN32)
  # Duvix.exe on Windows' own window layer, under Wine on the same kind of desktop. The helper
  # writes pictures and drags files as Explorer does (an OLE drag with a file list).
  add_executable(e2e_helper ${CMAKE_CURRENT_LIST_DIR}/e2e_helper.cpp)
  target_link_libraries(e2e_helper PRIVATE Qt6::Widgets)
  duvix_warnings(e2e_helper)
  add_test(NAME e2e.windows
           COMMAND ${Python3_EXECUTABLE} ${_e2e}/e2e_windows.py $<TARGET_FILE:duvix>
                   $<TARGET_FILE:e2e_helper> ${CMAKE_CROSSCOMPILING_EMULATOR} ${_art})
  # Alone: it compares the registry and the Wine user's files before and after.
  set_tests_properties(e2e.windows PROPERTIES TIMEOUT 300 RUN_SERIAL ON)
  return()
endif()
# The helper also reads the X server's cursor (XFixes), to see what a person sees.
pkg_check_modules(E2E_X REQUIRED IMPORTED_TARGET x11 xfixes)
add_executable(e2e_helper ${CMAKE_CURRENT_LIST_DIR}/e2e_helper.cpp)
target_link_libraries(e2e_helper PRIVATE Qt6::Widgets PkgConfig::E2E_X)
duvix_warnings(e2e_helper)
foreach(_route x11 busy_pointer)
  add_test(NAME e2e.${_route} COMMAND ${Python3_EXECUTABLE} ${_e2e}/e2e_x11.py ${_route}
           $<TARGET_FILE:duvix> $<TARGET_FILE:e2e_helper> ${_art})
endforeach()
# The same program on a headless Weston compositor through Qt's wayland platform.
add_test(NAME e2e.wayland COMMAND ${Python3_EXECUTABLE} ${_e2e}/e2e_wayland.py
         $<TARGET_FILE:duvix> $<TARGET_FILE:e2e_helper> ${_art})
# One desktop at a time: under load a second one starves the first one's start-up.
set_tests_properties(e2e.x11 e2e.busy_pointer e2e.wayland
                     PROPERTIES TIMEOUT 300 RESOURCE_LOCK desktop)
