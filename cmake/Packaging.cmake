# The Debian package: `cpack -G DEB` in the build folder. Library dependencies are computed from
# the binary by dpkg-shlibdeps; the QML modules the window loads at run time are not linked, so
# they are named here.
set(CPACK_PACKAGE_NAME tessera)
set(CPACK_PACKAGE_VENDOR Kestrel)
set(CPACK_PACKAGE_VERSION "${TESSERA_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Send Halcyon reels to the reel check")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessera checks exported QuickTime reels against the show's export rules, copies them to the\nproduction's NAS without ever overwriting anything, verifies every copy and submits the reel\nto the reel check.")
set(CPACK_PACKAGE_CONTACT "Kestrel production <production@kestrel.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, qml6-module-qtquick-dialogs, qml6-module-qtquick-window, qml6-module-qtquick-templates, qml6-module-qtqml, qml6-module-qtqml-workerscript, qml6-module-qt-labs-folderlistmodel, gvfs, gvfs-backends, gvfs-fuse")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "desktop-file-utils, shared-mime-info")
include(CPack)
