# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the build into a temporary DESTDIR and compares what arrived with
# what must: the program, the manual page, the example xinitrc, the session
# file, and one message catalogue per translation in the source tree.
string(RANDOM LENGTH 8 suffix)
set(dest "${BUILD_DIR}/install-check-${suffix}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${dest}
                        ${CMAKE_COMMAND} --install ${BUILD_DIR}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected
    "${PREFIX}/${BINDIR}/quorvane"
    "${PREFIX}/${MANDIR}/man1/quorvane.1.gz"
    "${PREFIX}/${DOCDIR}/examples/xinitrc"
    "${PREFIX}/${DATADIR}/xsessions/quorvane.desktop")
file(GLOB po_files "${SOURCE_DIR}/po/*.po")
foreach(po ${po_files})
    get_filename_component(lang ${po} NAME_WE)
    list(APPEND expected "${PREFIX}/${LOCALEDIR}/${lang}/LC_MESSAGES/quorvane.mo")
endforeach()
list(SORT expected)

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${dest}" "${dest}/*")
list(TRANSFORM installed PREPEND "/")
list(SORT installed)
file(REMOVE_RECURSE "${dest}")
if(NOT installed STREQUAL expected)
    string(REPLACE ";" "\n  " got "${installed}")
    string(REPLACE ";" "\n  " want "${expected}")
    message(FATAL_ERROR "installed:\n  ${got}\nexpected:\n  ${want}")
endif()
message(STATUS "installed as expected:\n  ${installed}")
