# The picture library must stay free of widgets: the inspector links it alone.
add_test(NAME imaging.links_no_widgets
         COMMAND sh -c "! ldd \"$1\" | grep -q libQt6Widgets" sh $<TARGET_FILE:duvix-picinfo>)
