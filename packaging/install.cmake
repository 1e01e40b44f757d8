# install.cmake: where `cmake --install` puts the game, and the Debian package CPack builds.
#
# The program reads its data relative to the working directory, so it is installed beside a
# launcher that changes into the data folder first: <prefix>/games/velloran, where Debian keeps
# its games' programs (on every user's path).
install(TARGETS velloran RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/velloran)
install(DIRECTORY shader assets textures sounds DESTINATION ${CMAKE_INSTALL_DATADIR}/velloran)
install(FILES settings.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/velloran)
# The font is Debian's fonts-open-sans, linked rather than copied: one copy on the system, kept
# up to date by its own package.
set(VELLORAN_SYSTEM_FONT /usr/share/fonts/truetype/open-sans/OpenSans-Regular.ttf)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
file(CREATE_LINK ${VELLORAN_SYSTEM_FONT} ${CMAKE_BINARY_DIR}/packaging/OpenSans-Regular.ttf
     SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/packaging/OpenSans-Regular.ttf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/velloran/fonts)
configure_file(packaging/velloran.in ${CMAKE_BINARY_DIR}/velloran-launcher @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/velloran-launcher DESTINATION games RENAME velloran)
install(FILES packaging/velloran.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/velloran.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
# The manual page and the changelog, compressed as Debian wants them (no name or date inside,
# so the bytes are the same on every build).
foreach(doc velloran.6 changelog)
  configure_file(packaging/${doc} ${CMAKE_BINARY_DIR}/packaging/${doc} COPYONLY)
  execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/packaging/${doc})
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/packaging/velloran.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velloran)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velloran)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# A placeholder until the project has a maintainer address of its own.
set(CPACK_PACKAGE_CONTACT "Velloran authors <velloran@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "paddle a canoe around an indoor pool and touch fifteen ducks")
# CPack puts the summary first itself; this is the extended description that follows it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velloran is a small real-time 3D game. You steer a canoe, paddled by a seated
driver, around an indoor pool where fifteen rubber ducks float, one of them
above a platform you can only reach by jumping. You have ninety seconds to
touch every duck.
.
The pool is drawn with OpenGL 3.3: water with refraction, reflection and
ripples, shadows and a chrome statue. It plays with the keyboard, the mouse and
common gamepads, with sound, and runs on Mesa's software renderer where there
is no GPU driver.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The program is stripped; its debugging symbols go into velloran-dbgsym (a .ddeb).
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# Packaging and installing take what is built and build nothing more (the tests, say).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
# Library dependencies come from dpkg-shlibdeps; the software GL driver is what makes the
# game run on machines without a GPU driver of their own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, fonts-open-sans")
include(CPack)
