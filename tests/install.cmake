# Installing, and the real X session that people run: xinit, ~/.xinitrc and a
# real window manager.
quorvane_test(xinit_session_test e2e e2e/xinit_session_test.cpp)

# cmake --install into a temporary DESTDIR puts every file where it belongs.
add_test(NAME InstallPutsEveryFileInPlace
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                 -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DPREFIX=${CMAKE_INSTALL_PREFIX}
                 -DLOCALEDIR=${CMAKE_INSTALL_LOCALEDIR} -DMANDIR=${CMAKE_INSTALL_MANDIR}
                 -DDOCDIR=${CMAKE_INSTALL_DOCDIR} -DBINDIR=${CMAKE_INSTALL_BINDIR}
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
add_test(NAME ManualPageHasNoWarnings
         COMMAND sh -c "out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l \"$0\" 2>&1 >/dev/null); [ -z \"$out\" ] || { echo \"$out\"; exit 1; }"
                 ${PROJECT_SOURCE_DIR}/docs/quorvane.1)
set_tests_properties(ManualPageHasNoWarnings PROPERTIES LABELS unit)
