# SPDX-License-Identifier: GPL-2.0-or-later
# Installing, and the real X session that people run: xinit, ~/.xinitrc and a
# real window manager.
quorvane_test(xinit_session_test e2e e2e/xinit_session_test.cpp)

# cmake --install into a temporary DESTDIR puts every file where it belongs.
add_test(NAME InstallPutsEveryFileInPlace
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                 -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DPREFIX=${CMAKE_INSTALL_PREFIX}
                 -DLOCALEDIR=${CMAKE_INSTALL_LOCALEDIR} -DMANDIR=${CMAKE_INSTALL_MANDIR}
                 -DDOCDIR=${CMAKE_INSTALL_DOCDIR} -DBINDIR=${CMAKE_INSTALL_BINDIR}
                 -DDATADIR=${CMAKE_INSTALL_DATADIR}
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/install_check.cmake)
set_tests_properties(InstallPutsEveryFileInPlace PROPERTIES LABELS unit)

# Translations: the catalogues against the template and the template against
# the sources, then the real program in German and in French.
add_test(NAME TranslationsAreCompleteAndCurrent
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/po_check.sh ${PROJECT_SOURCE_DIR}/po
                 ${PROJECT_BINARY_DIR}/po/quorvane.pot)
set_tests_properties(TranslationsAreCompleteAndCurrent PROPERTIES LABELS unit)
quorvane_test(translation_e2e_test e2e e2e/translation_e2e_test.cpp)
target_compile_definitions(translation_e2e_test PRIVATE
    BUILD_LOCALE_DIR="${PROJECT_BINARY_DIR}/locale")
add_dependencies(translation_e2e_test translations)

# The manual page reads cleanly: man and groff find nothing to warn about.
# Its FILES name the folders this build installs to.
add_test(NAME ManualPageHasNoWarnings
         COMMAND sh -c "out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l \"$0\" 2>&1 >/dev/null); [ -z \"$out\" ] || { echo \"$out\"; exit 1; }"
                 ${PROJECT_BINARY_DIR}/quorvane.1)
add_test(NAME ManualPageNamesTheInstalledFiles
         COMMAND sh -c "page=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l \"$0\" 2>/dev/null); for file in \"$@\"; do printf '%s\\n' \"$page\" | grep -qF \"$file\" || { echo \"the page does not name $file\"; exit 1; }; done"
                 ${PROJECT_BINARY_DIR}/quorvane.1
                 ${CMAKE_INSTALL_FULL_LOCALEDIR}/*/LC_MESSAGES/quorvane.mo
                 ${CMAKE_INSTALL_FULL_DATADIR}/xsessions/quorvane.desktop
                 ${CMAKE_INSTALL_FULL_DOCDIR}/examples/xinitrc)
set_tests_properties(ManualPageHasNoWarnings ManualPageNamesTheInstalledFiles
                     PROPERTIES LABELS unit)

# The session that display managers offer is a valid desktop entry.
add_test(NAME SessionFileIsValid
         COMMAND desktop-file-validate ${PROJECT_SOURCE_DIR}/docs/quorvane.desktop)
set_tests_properties(SessionFileIsValid PROPERTIES LABELS unit)
