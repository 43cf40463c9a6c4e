# What `cmake --install` puts where (GNU layout under the prefix):
#   bin/vantory                                   the program
#   share/applications/vantory.desktop            its entry in the desktop's menu
#   share/icons/hicolor/scalable/apps/vantory.svg its icon, and the same as PNG in the usual sizes,
#   share/icons/hicolor/NxN/apps/vantory.png      rendered from the SVG at build time
#   share/vantory/Data/                           what a new per-user data folder starts with
#   share/doc/vantory/README.md
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

# `make package`: a Debian package of the same installation under /usr. dpkg-shlibdeps (dpkg-dev)
# finds the Qt libraries the program links; without it the list below stands in. The X11 platform
# plugin comes with libqt6gui6, the fonts through fontconfig.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantory)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_CONTACT "Orvane <support@vantory.app>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "organizer for content membership site subscriptions")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vantory keeps the accounts you hold at content membership sites: each site's address, your\n"
    "login with the password stored scrambled, the folder its downloads go to, the monthly fee\n"
    "and the state. It counts the files in each download folder, adds up what the active accounts\n"
    "cost, searches all download folders by file name and contents, and backs up and restores its\n"
    "one XML data file.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.vantory.app/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_STRIP_FILES ON)
find_program(VANTORY_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VANTORY_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6svg6 (>= 6.4)")
endif()
include(CPack)
