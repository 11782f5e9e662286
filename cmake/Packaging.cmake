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
endif()

set(CPACK_PACKAGE_NAME duvix)
set(CPACK_PACKAGE_VERSION 1.00)
set(CPACK_PACKAGE_VENDOR "Duvix developers")
set(CPACK_PACKAGE_CONTACT "Duvix developers <duvix@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compare two pictures side by side")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Duvix)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "compare two pictures side by side
 Duvix shows two pictures in the left and right half of one window, each
 fitted to its half. Pictures are dropped onto the window or chosen from a
 menu (BMP, GIF, JPEG and Windows metafiles); double-clicking one shows it
 alone in a full-screen viewer.")
# dpkg-shlibdeps (package dpkg-dev) computes Depends from the libraries the binaries use.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # duvix_1.00_amd64.deb

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)
