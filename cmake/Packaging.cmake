# Install layout and packages. `cmake --install <build>` installs into CMAKE_INSTALL_PREFIX;
# `cpack -G DEB --config <build>/CPackConfig.cmake` makes duvix_1.00_<arch>.deb.

set(_duvix_res ${PROJECT_SOURCE_DIR}/resources)

# bin/duvix itself is installed where the target is defined.

# Command-line tools come from folders that may be read after this file; decide at the end
# of the top directory, when every target is known.
function(_duvix_install_tools)
  foreach(_tool duvix-picinfo)
    if(TARGET ${_tool})
      install(TARGETS ${_tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL _duvix_install_tools)

if(UNIX AND NOT APPLE)
  install(FILES ${_duvix_res}/duvix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(DIRECTORY ${_duvix_res}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  install(FILES ${_duvix_res}/icons/duvix.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${_duvix_res}/org.example.Duvix.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # Manual pages and the changelog go compressed, without a time stamp, so builds repeat.
  find_program(DUVIX_GZIP gzip REQUIRED)
  set(_gz_dir ${PROJECT_BINARY_DIR}/packaging)
  set(_gz_files)
  foreach(_src man/duvix.1 man/duvix-picinfo.1 debian/changelog)
    get_filename_component(_name ${_src} NAME)
    add_custom_command(OUTPUT ${_gz_dir}/${_name}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_gz_dir}
      COMMAND sh -c "\"$1\" -9nc \"$2\" > \"$3\"" sh ${DUVIX_GZIP} ${_duvix_res}/${_src}
              ${_gz_dir}/${_name}.gz
      DEPENDS ${_duvix_res}/${_src}
      VERBATIM)
    list(APPEND _gz_files ${_gz_dir}/${_name}.gz)
  endforeach()
  add_custom_target(duvix-docs ALL DEPENDS ${_gz_files})
  install(FILES ${_gz_dir}/duvix.1.gz ${_gz_dir}/duvix-picinfo.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${_gz_dir}/changelog.gz ${_duvix_res}/debian/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/duvix)
endif()

set(CPACK_PACKAGE_NAME duvix)
set(CPACK_PACKAGE_VERSION ${DUVIX_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR "The Duvix developers")
set(CPACK_PACKAGE_CONTACT "The Duvix developers <duvix@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compare two pictures side by side")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Duvix)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Duvix shows two pictures in the left and right half of one window, each
scaled down to fit its half, never enlarged, its proportions kept. A picture
is dropped onto either half of the window from a file manager, or chosen with
the Left Image and Right Image menu items. Double-clicking a picture shows it
alone in a black, borderless, full-screen viewer.

BMP, GIF, JPEG and Windows metafile (WMF) pictures are supported. The package
also contains duvix-picinfo, which prints what the picture loader makes of a
file.")
# dpkg-shlibdeps (package dpkg-dev) computes Depends from the libraries the binaries use.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's Wayland platform is a plugin, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, fonts-liberation2, fonts-symbola")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # duvix_1.00_amd64.deb

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)
