# The Debian packages, made by `cpack -G DEB` in the build folder:
#   tessera        the window and what makes it an application of the desktop;
#   tessera-check  the checker alone, for render machines without a desktop.
# Their binaries are stripped: the debug information stays in the build folder's binaries, which
# have the same build ID. (CMake 3.25's -dbgsym packages list absolute paths in their md5sums.)
# Library dependencies are computed from the binaries by dpkg-shlibdeps; the QML modules the window
# loads at run time are not linked, so they are named here.
include(GNUInstallDirs)

# Each package carries the copyright and the changelog, and its manual page; Debian wants the
# latter two compressed as hard as gzip can, without a time stamp.
set(doc "${PROJECT_SOURCE_DIR}/doc")
set(packed "${PROJECT_BINARY_DIR}/doc")
file(MAKE_DIRECTORY "${packed}")
set(packed_files)
foreach(file changelog tessera.1 tessera-check.1)
    add_custom_command(OUTPUT "${packed}/${file}.gz"
                       COMMAND "${CMAKE_COMMAND}" -E copy "${doc}/${file}" "${packed}/${file}"
                       COMMAND gzip -9nf "${packed}/${file}"
                       DEPENDS "${doc}/${file}" VERBATIM)
    list(APPEND packed_files "${packed}/${file}.gz")
endforeach()
add_custom_target(documents ALL DEPENDS ${packed_files})

install(FILES "${doc}/copyright" "${packed}/changelog.gz"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessera COMPONENT desktop)
install(FILES "${packed}/tessera.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT desktop)
install(FILES "${doc}/copyright" "${packed}/changelog.gz"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessera-check COMPONENT check)
install(FILES "${packed}/tessera-check.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT check)

set(CPACK_PACKAGE_NAME tessera)
set(CPACK_PACKAGE_VENDOR Kestrel)
set(CPACK_PACKAGE_VERSION "${TESSERA_VERSION}")
set(CPACK_PACKAGE_CONTACT "Kestrel production <production@kestrel.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL desktop check)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)

# Descriptions: the synopsis first, then lines that fit Debian's 80 columns. There is no
# CPACK_PACKAGE_DESCRIPTION_SUMMARY: CPack would put it above every package's description.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME tessera)
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION "Send Halcyon reels to the reel check
Tessera checks exported QuickTime reels against the show's export rules,
copies them to the production's NAS without ever overwriting anything,
verifies every copy and submits the reel to the reel check.
.
The same check from the command line is in the tessera-check package.")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, qml6-module-qtquick-dialogs, qml6-module-qtquick-window, qml6-module-qtquick-templates, qml6-module-qtqml, qml6-module-qtqml-workerscript, qml6-module-qt-labs-folderlistmodel, gvfs, gvfs-backends, gvfs-fuse")
# qt6-wayland: a Wayland session gets a window of its own rather than one through XWayland.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_RECOMMENDS "desktop-file-utils, shared-mime-info, qt6-wayland")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SUGGESTS tessera-check)

set(CPACK_DEBIAN_CHECK_PACKAGE_NAME tessera-check)
set(CPACK_DEBIAN_CHECK_DESCRIPTION "Check exported reel movies against the export rules
tessera-check reads QuickTime movies the way Tessera does and judges them
together against the show's export rules, in text or JSON, with an exit
status for scripts. It needs no desktop, so it suits render machines.")
include(CPack)
