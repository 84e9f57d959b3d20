# Install rules and the Debian package: the program, its menu entry, icons, AppStream data,
# manual page, copyright and changelog.
include(GNUInstallDirs)

set(KESTRIN_APP_ID io.github.kestrin.Kestrin)
set(KESTRIN_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/kestrin)
# Release day of this version: the manual page's date, so that rebuilding it changes nothing.
set(KESTRIN_RELEASE_EPOCH 1796601600)

# The program needs no library of its own, so it keeps no search path of its own either.
set_target_properties(kestrin PROPERTIES INSTALL_RPATH "")
install(TARGETS kestrin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${KESTRIN_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${KESTRIN_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kestrin-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${KESTRIN_APP_ID}.png)
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${KESTRIN_DOCDIR})

find_program(GZIP gzip REQUIRED)
# Debian keeps the changelog of a package without a Debian revision as changelog.gz;
# -n leaves the time stamp out, so the file is the same on every build.
add_custom_command(OUTPUT changelog.gz
    COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > changelog.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog VERBATIM)
add_custom_target(changelog ALL DEPENDS changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${KESTRIN_DOCDIR})

# The manual page is made from the program's own --help and --version. A build for playing
# in place can do without help2man; one that is to be installed cannot.
if(KESTRIN_INSTALLED)
    find_program(HELP2MAN help2man REQUIRED)
else()
    find_program(HELP2MAN help2man)
endif()
if(HELP2MAN)
    add_custom_command(OUTPUT kestrin.6.gz
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KESTRIN_RELEASE_EPOCH}
                ${HELP2MAN} --no-info --section=6 --name "clay-pigeon shooting on the desktop"
                --include=${CMAKE_CURRENT_LIST_DIR}/kestrin.h2m --output=kestrin.6 $<TARGET_FILE:kestrin>
        COMMAND ${GZIP} -9nf kestrin.6
        DEPENDS kestrin ${CMAKE_CURRENT_LIST_DIR}/kestrin.h2m VERBATIM)
    add_custom_target(manpage ALL DEPENDS kestrin.6.gz)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kestrin.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
else()
    message(STATUS "help2man not found: the manual page is not made")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrin)
set(CPACK_PACKAGE_VENDOR "The Kestrin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clay-pigeon shooting on the desktop")
set(CPACK_PACKAGE_DESCRIPTION "Kestrin is clay-pigeon shooting that lives on your desktop: a strip along the
bottom of the screen, from which clay plates are thrown up over your windows.
Hit one and it bursts into a shower of particles flying out across the
desktop. A game has 25 plates, and the five best games are kept.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Kestrin developers <kestrin@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The strip's labels and the version dialog need Japanese fonts; nothing links them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, fonts-ipafont-mincho")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
