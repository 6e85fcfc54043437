# Install rules in the GNU layout: the programs, the desktop entry, the theme
# icons, the AppStream metadata and the manual pages, all from packaging/.
include(GNUInstallDirs)

# The day the version in project() was released; the AppStream release names it.
set(VANTREL_RELEASE_DATE 2026-12-07)
set(_vantrel_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(_vantrel_generated ${PROJECT_BINARY_DIR}/packaging)

install(TARGETS vantrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(VANTREL_METAINFO_BINARIES "    <binary>vantrel</binary>")
if(TARGET vantrelctl)
    install(TARGETS vantrelctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    string(APPEND VANTREL_METAINFO_BINARIES "\n    <binary>vantrelctl</binary>")
endif()

install(FILES ${_vantrel_packaging}/${VANTREL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${_vantrel_packaging}/${VANTREL_APP_ID}.metainfo.xml.in
               ${_vantrel_generated}/${VANTREL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_vantrel_generated}/${VANTREL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The exporter's alert rules with their promtool tests, and its systemd user
# unit (which names /usr/bin/vantrelctl, where the package puts it).
install(FILES ${_vantrel_packaging}/prometheus/vantrel-rules.yml
              ${_vantrel_packaging}/prometheus/vantrel-rules-test.yml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/vantrel/prometheus)
install(FILES ${_vantrel_packaging}/systemd/vantrel-exporter.service
        DESTINATION lib/systemd/user)

# Drawn by tools/draw-images --app-icons; kept in the tree as the theme lays them out.
install(DIRECTORY ${_vantrel_packaging}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# Every page listed is installed gzipped without name or time stamp, as
# Debian wants it; vantrelctl's page joins as soon as its file is there.
set(VANTREL_MAN_PAGES vantrel.1)
if(EXISTS ${_vantrel_packaging}/man/vantrelctl.1)
    list(APPEND VANTREL_MAN_PAGES vantrelctl.1)
endif()
# A page added later reconfigures the build.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_vantrel_packaging}/man)
find_program(VANTREL_GZIP gzip REQUIRED)
set(_vantrel_man_outputs)
foreach(_page IN LISTS VANTREL_MAN_PAGES)
    string(REGEX MATCH "[1-9]$" _section ${_page})
    set(_copy ${_vantrel_generated}/man/${_page})
    add_custom_command(OUTPUT ${_copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${_vantrel_packaging}/man/${_page} ${_copy}
        COMMAND ${VANTREL_GZIP} -9nf ${_copy}
        DEPENDS ${_vantrel_packaging}/man/${_page}
        COMMENT "Compressing the manual page ${_page}"
        VERBATIM)
    list(APPEND _vantrel_man_outputs ${_copy}.gz)
    install(FILES ${_copy}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${_section})
endforeach()
add_custom_target(vantrel_man_pages ALL DEPENDS ${_vantrel_man_outputs})
