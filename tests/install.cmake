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
