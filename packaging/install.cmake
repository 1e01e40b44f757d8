# install.cmake: where `cmake --install` puts the game, and the Debian package CPack builds.
#
# The program reads its data relative to the working directory, so it is installed beside a
# launcher that changes into the data folder first: <prefix>/bin/velloran.
install(TARGETS velloran RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/velloran)
install(DIRECTORY shader assets textures fonts sounds DESTINATION ${CMAKE_INSTALL_DATADIR}/velloran)
install(FILES settings.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/velloran)
configure_file(packaging/velloran.in ${CMAKE_BINARY_DIR}/velloran-launcher @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/velloran-launcher DESTINATION ${CMAKE_INSTALL_BINDIR}
        RENAME velloran)
install(FILES packaging/velloran.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/velloran.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velloran)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velloran developers <velloran@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Paddle a canoe around an indoor pool and touch fifteen ducks")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Library dependencies come from dpkg-shlibdeps; the software GL driver is what makes the
# game run on machines without a GPU driver of their own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri")
include(CPack)
