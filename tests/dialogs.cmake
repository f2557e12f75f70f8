# SPDX-License-Identifier: GPL-2.0-or-later
# The item dialog and the preferences window.

add_library(modal_script STATIC dialogs/modal_script.cpp)
target_link_libraries(modal_script PUBLIC test_support)

quorvane_test(item_dialog_test widget dialogs/item_dialog_test.cpp)
target_link_libraries(item_dialog_test PRIVATE modal_script)
quorvane_test(file_name_encoding_test widget dialogs/file_name_encoding_test.cpp)
target_link_libraries(file_name_encoding_test PRIVATE modal_script)
quorvane_test(preferences_test widget dialogs/preferences_test.cpp)
target_link_libraries(preferences_test PRIVATE modal_script)

add_library(dialog_input STATIC e2e/dialog_input.cpp)
target_include_directories(dialog_input PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(dialog_input PUBLIC test_support)

quorvane_test(preferences_e2e_test e2e e2e/preferences_e2e_test.cpp)
target_link_libraries(preferences_e2e_test PRIVATE dialog_input)

# Opened from the list's context menu.
quorvane_test(item_dialog_e2e_test e2e e2e/item_dialog_e2e_test.cpp)
target_link_libraries(item_dialog_e2e_test PRIVATE dialog_input)

# Entries whose bytes are not UTF-8, edited as nobody.
quorvane_test(other_bytes_e2e_test e2e e2e/other_bytes_e2e_test.cpp)
target_link_libraries(other_bytes_e2e_test PRIVATE dialog_input)
