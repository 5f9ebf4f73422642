# Installation into a desktop (program, menu entry, themed icons) and the Debian package.
include(GNUInstallDirs)

install(TARGETS quorvelcard quorvelcard-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(UNIX AND NOT APPLE)
    set(QC_APP_DIR ${CMAKE_SOURCE_DIR}/src/app)
    install(FILES ${QC_APP_DIR}/quorvelcard.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    # The sizes the hicolor theme defines; the theme scales the SVG for the others.
    foreach(size 48 64 72 96 128 256)
        install(FILES ${QC_APP_DIR}/icon/quorvelcard-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME quorvelcard.png)
    endforeach()
    install(FILES ${QC_APP_DIR}/icon/logo.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME quorvelcard.svg)
endif()

set(CPACK_PACKAGE_NAME quorvelcard)
set(CPACK_PACKAGE_VENDOR "Quorvel")
set(CPACK_PACKAGE_CONTACT "Quorvel <support@quorvel.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "memory card speed tester")
# Lines of the extended description stay short, as Debian's control format wants them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "QuorvelCard writes test files to a memory card or USB flash drive in\n"
       "parallel unbuffered streams, reads them back, draws the speed of every\n"
       "stream live and judges whether the card keeps up with continuous\n"
       "high-bit-rate recording (Pass, Warn or Fail). A stress mode fills the\n"
       "whole card several times over. English, Simplified Chinese and\n"
       "Traditional Chinese user interface.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Formatting a card goes through udisks, which needs the file system tools for FAT32 and exFAT.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udisks2, dosfstools, exfatprogs")
# Qt loads its display and image format plugins (the icon's included) from libqt5gui5 at run
# time, so that is declared whatever the linker records. dpkg-shlibdeps (dpkg-dev) derives the
# libraries the binary links, with their versions; without it they are declared by hand.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5gui5 (>= 5.15)")
find_program(QC_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QC_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
           ", libqt5widgets5 (>= 5.15), libqt5core5a (>= 5.15), libqt5dbus5 (>= 5.15)")
endif()

include(CPack)
