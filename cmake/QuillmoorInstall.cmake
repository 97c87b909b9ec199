# Install rules and the Debian package.
#
#   cmake --install build --prefix PREFIX     the programs into PREFIX/bin, the
#                                             desktop entry, icons and metadata
#                                             under PREFIX/share
#   cd build && cpack -G DEB                  quillmoor_<version>_<arch>.deb
#
# The programs carry their sounds and pictures as Qt resources, so nothing
# else is looked up beside them; what they write goes to the per-user data
# folder once installed (SystemAppPaths).
include(GNUInstallDirs)

set(QUILLMOOR_APPSTREAM_ID io.github.quillmoor.quillmoor)

install(TARGETS quillmoor-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET quillmoor-cli-browser)
    # quillmoor-cli starts it from its own folder for "harvest" and "login".
    install(TARGETS quillmoor-cli-browser RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET quillmoor)
    install(TARGETS quillmoor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(desktop ${CMAKE_SOURCE_DIR}/resources/desktop)
    install(FILES ${desktop}/quillmoor.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${desktop}/${QUILLMOOR_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        FILES_MATCHING PATTERN "quillmoor.png" PATTERN "quillmoor.svg")
endif()

set(CPACK_PACKAGE_NAME quillmoor)
set(CPACK_PACKAGE_VENDOR "The Quillmoor developers")
# The packager puts a name and mail address here: cpack -D CPACK_PACKAGE_CONTACT=...
set(CPACK_PACKAGE_CONTACT "The Quillmoor developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "search a literature site and download the full texts in bulk")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/quillmoor/quillmoor)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The summary above becomes the first line; CPack indents the rest.
set(CPACK_PACKAGE_DESCRIPTION "Quillmoor is a desktop tool for researchers. It searches a publisher's
literature site (Springer) in an embedded browser, harvests the result
entries page after page and downloads the full texts through a built-in
download manager. The interface is in simplified Chinese.

The command-line front end quillmoor-cli downloads lists of addresses and
harvests result pages without a window.")
# The libraries the programs link come from dpkg-shlibdeps. What they load or
# show without linking it is named here: the SQLite driver that reads the
# browser's cookie database, the CJK fonts of the interface and Qt's own
# Chinese texts (buttons of message boxes, file dialogs).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
if(TARGET quillmoor)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", fonts-noto-cjk, qt6-translations-l10n")
endif()
include(CPack)
