find_package(X11 REQUIRED)
target_link_libraries(probe_first_paint PRIVATE X11::X11)
