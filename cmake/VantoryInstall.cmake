# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts where (GNU layout under the prefix):
#   bin/vantory                                   the program
#   share/applications/vantory.desktop            its entry in the desktop's menu
#   share/icons/hicolor/scalable/apps/vantory.svg its icon, and the same as PNG in the usual sizes,
#   share/icons/hicolor/NxN/apps/vantory.png      rendered from the SVG at build time
#   share/vantory/Data/                           what a new per-user data folder starts with
#   share/doc/vantory/README.md
#   share/man/man1/vantory.1.gz                   the manual page
# The Debian package adds share/doc/vantory/copyright and changelog.Debian.gz, and lintian's overrides
# in share/lintian/overrides/vantory (the "debian" component, which a plain `cmake --install` leaves out).
# The Data folder that a build puts beside the program for `make run` is not installed: an installed
# program keeps the user's accounts in the user's own data folder and never writes beside its binary.

set(vantory_icon_svg ${PROJECT_SOURCE_DIR}/resources/icons/vantory.svg)
set(VANTORY_ICON_SIZES 16 22 24 32 48 64 128 256)
set(vantory_icon_dir ${CMAKE_BINARY_DIR}/icons/hicolor)
set(vantory_icon_pngs "")
foreach(size IN LISTS VANTORY_ICON_SIZES)
    list(APPEND vantory_icon_pngs ${vantory_icon_dir}/${size}x${size}/apps/vantory.png)
endforeach()
add_custom_command(OUTPUT ${vantory_icon_pngs}
    COMMAND render-icon ${vantory_icon_svg} ${vantory_icon_dir} vantory ${VANTORY_ICON_SIZES}
    DEPENDS render-icon ${vantory_icon_svg}
    COMMENT "Rendering the application icon")
add_custom_target(vantory_icons ALL DEPENDS ${vantory_icon_pngs})

install(TARGETS vantory RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} BUNDLE DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/vantory.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${vantory_icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS VANTORY_ICON_SIZES)
    install(FILES ${vantory_icon_dir}/${size}x${size}/apps/vantory.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/Data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vantory/Data)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantory)

# The manual page and the Debian changelog go gzipped, as Debian wants them: at the highest level and
# without the name and time of the file (gzip -n), so the same sources give the same package.
find_program(VANTORY_GZIP gzip REQUIRED)
set(vantory_man_gz ${CMAKE_BINARY_DIR}/man/vantory.1.gz)
set(vantory_changelog_gz ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz)
add_custom_command(OUTPUT ${vantory_man_gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/vantory.1 ${CMAKE_BINARY_DIR}/man/vantory.1
    COMMAND ${VANTORY_GZIP} -9nf ${CMAKE_BINARY_DIR}/man/vantory.1
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/vantory.1
    COMMENT "Compressing the manual page" VERBATIM)
add_custom_command(OUTPUT ${vantory_changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/resources/debian/changelog
            ${CMAKE_BINARY_DIR}/debian/changelog.Debian
    COMMAND ${VANTORY_GZIP} -9nf ${CMAKE_BINARY_DIR}/debian/changelog.Debian
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/debian/changelog
    COMMENT "Compressing the Debian changelog" VERBATIM)
add_custom_target(vantory_docs ALL DEPENDS ${vantory_man_gz} ${vantory_changelog_gz})
install(FILES ${vantory_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright ${vantory_changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantory COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/lintian-overrides RENAME vantory
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT debian EXCLUDE_FROM_ALL)

# `make package`: a Debian package of the same installation under /usr. dpkg-shlibdeps (dpkg-dev)
# finds the Qt libraries the program links; without it the list below stands in. The X11 platform
# plugin comes with libqt6gui6, the fonts through fontconfig.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantory)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_CONTACT "Orvane <support@vantory.app>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "organizer for content membership site subscriptions")
# One string: the lines of the long description, each under 80 columns. (Given as several quoted
# arguments, set() would make a list of them, and the package would show its ";" separators.)
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vantory keeps the accounts you hold at content membership sites: each\n"
    "site's address, your login with the password stored scrambled, the folder\n"
    "its downloads go to, the monthly fee and the state. It counts the files in\n"
    "each download folder, adds up what the active accounts cost, searches all\n"
    "download folders by file name and contents, and backs up and restores its\n"
    "one XML data file.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.vantory.app/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package's own revision: its version is <upstream>-<revision>, and the newest entry of its
# changelog names that version.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
file(STRINGS ${PROJECT_SOURCE_DIR}/resources/debian/changelog vantory_changelog_top LIMIT_COUNT 1)
set(vantory_deb_version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
if(NOT vantory_changelog_top MATCHES "^vantory \\(${vantory_deb_version}\\) ")
    message(FATAL_ERROR "resources/debian/changelog starts with \"${vantory_changelog_top}\"; "
                        "its newest entry must be for version ${vantory_deb_version}")
endif()
# The whole installation, and then the files only the package holds.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Vantory;ALL;/" "${CMAKE_BINARY_DIR};Vantory;debian;/")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_STRIP_FILES ON)
find_program(VANTORY_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VANTORY_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # A plugin Qt loads when the text cache opens: no library links it, so it is named here.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite (>= 6.4)")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6svg6 (>= 6.4), libqt6sql6 (>= 6.4), libqt6sql6-sqlite (>= 6.4), libzstd1")
endif()
include(CPack)
