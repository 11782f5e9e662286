# The picture library must stay free of widgets: the inspector links it alone.
if(WIN32)
  add_test(NAME imaging.links_no_widgets
           COMMAND sh -c "! ${CMAKE_OBJDUMP} -p \"$1\" | grep -qi 'DLL Name: Qt6Widgets'" sh
                   $<TARGET_FILE:duvix-picinfo>)
  target_link_libraries(imaging_hostile_files_test PRIVATE psapi)  # peak working set
else()
  add_test(NAME imaging.links_no_widgets
           COMMAND sh -c "! ldd \"$1\" | grep -q libQt6Widgets" sh $<TARGET_FILE:duvix-picinfo>)
endif()
