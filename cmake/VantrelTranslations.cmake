# The window's translations: translations/vantrel_<language>.ts, kept up to
# date by tools/update-translations.sh, compiled to .qm files in
# <build>/translations, where the window finds them when run from the build
# tree, and installed where it finds them once installed. vantrelctl loads
# none: its output is for scripts and stays English.
file(GLOB VANTREL_TS_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/translations/vantrel_*.ts)
set(VANTREL_TRANSLATIONS_DIR ${PROJECT_BINARY_DIR}/translations)
set_source_files_properties(${VANTREL_TS_FILES} PROPERTIES OUTPUT_LOCATION ${VANTREL_TRANSLATIONS_DIR})

if(VANTREL_QT6)
    find_package(Qt6 REQUIRED COMPONENTS LinguistTools)
    qt_add_translations(vantrel TS_FILES ${VANTREL_TS_FILES}
                        QM_FILES_OUTPUT_VARIABLE VANTREL_QM_FILES)
else()
    find_package(Qt5LinguistTools 5.15 REQUIRED)
    qt5_add_translation(VANTREL_QM_FILES ${VANTREL_TS_FILES})
    add_custom_target(vantrel_translations DEPENDS ${VANTREL_QM_FILES})
    add_dependencies(vantrel vantrel_translations)
endif()

install(FILES ${VANTREL_QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/vantrel/translations)
