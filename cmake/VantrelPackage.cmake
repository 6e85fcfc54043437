# CPack: a Debian package of what the install rules lay out, with what Debian
# policy asks of it. tools/build-package.sh builds it reproducibly.
include(GNUInstallDirs)

set(_vantrel_debian ${PROJECT_SOURCE_DIR}/packaging/debian)
set(_vantrel_docdir ${CMAKE_INSTALL_DATADIR}/doc/vantrel)

# The changelog's newest entry must be the version being packaged.
file(STRINGS ${_vantrel_debian}/changelog _vantrel_changelog_head LIMIT_COUNT 1)
if(NOT _vantrel_changelog_head MATCHES "^vantrel \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/debian/changelog does not start with version ${PROJECT_VERSION}: "
                        "${_vantrel_changelog_head}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_vantrel_debian}/changelog)

find_program(VANTREL_GZIP gzip REQUIRED)
set(_vantrel_changelog ${PROJECT_BINARY_DIR}/packaging/debian/changelog)
add_custom_command(OUTPUT ${_vantrel_changelog}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${_vantrel_debian}/changelog ${_vantrel_changelog}
    COMMAND ${VANTREL_GZIP} -9nf ${_vantrel_changelog}
    DEPENDS ${_vantrel_debian}/changelog
    COMMENT "Compressing the Debian changelog"
    VERBATIM)
add_custom_target(vantrel_changelog ALL DEPENDS ${_vantrel_changelog}.gz)
install(FILES ${_vantrel_debian}/copyright ${_vantrel_changelog}.gz DESTINATION ${_vantrel_docdir})

# A stripped install (CPACK_STRIP_FILES) still carries the compiler's
# .comment; drop it as dh_strip does.
if(CMAKE_STRIP)
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            foreach(_program vantrel vantrelctl)
                set(_path \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${_program}\")
                if(EXISTS \"\${_path}\")
                    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                                            --remove-section=.note \"\${_path}\"
                                    COMMAND_ERROR_IS_FATAL ANY)
                endif()
            endforeach()
        endif()")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vantrel developers")
set(CPACK_PACKAGE_CONTACT "The Vantrel developers <vantrel@toskeld.com>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://toskeld.com/vantrel)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote control for video projectors on serial lines and PJLink")
set(CPACK_PACKAGE_DESCRIPTION
    "Vantrel drives video projectors: Acer, Vivitek and InFocus projectors on
an RS-232 serial line, the same through a network serial server (raw TCP or
RFC 2217), and the projectors of most makers on the LAN with PJLink. It is
made for the people who run projectors in lecture halls and meeting rooms
and the AV technicians who look after many of them. Each button or list
choice sends the projector its command; in the background Vantrel polls the
projector and shows its lamp state, whether it answers and why not, its
settings, and a traffic log of the line.
Projectors are stored under names of their own, in groups. The Rooms view
shows every stored projector at a glance, switches a selection on or off,
exports an inventory and tells the desktop when one needs attention.
The companion command vantrelctl does the same from scripts and schedules,
finds projectors on the network, and serves their state to Prometheus
(vantrelctl exporter, with a systemd user unit and alert rules tested with
promtool).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_PACKAGE_NAME vantrel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CPACK_PACKAGE_HOMEPAGE_URL})
# Qt's own texts (the buttons of a message box) in the user's language.
if(VANTREL_QT6)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
else()
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qttranslations5-l10n)
endif()
# Running exporters restart after an upgrade and stop on removal.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_vantrel_debian}/postinst ${_vantrel_debian}/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Depends from the shared libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
