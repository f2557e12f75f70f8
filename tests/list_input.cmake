# SPDX-License-Identifier: GPL-2.0-or-later
# The list's keys, mouse and context menu, and the search for known window
# managers.
quorvane_test(search_test unit dialogs/search_test.cpp)
quorvane_test(search_dialog_test widget dialogs/search_dialog_test.cpp)
quorvane_test(context_menu_test widget mainwin/context_menu_test.cpp)

quorvane_test(list_input_e2e_test e2e e2e/list_input_e2e_test.cpp)
# Types a new description into the editor.
target_link_libraries(list_input_e2e_test PRIVATE dialog_input)
quorvane_test(search_e2e_test e2e e2e/search_e2e_test.cpp)
target_link_libraries(search_e2e_test PRIVATE dialog_input)

# Used by bench/menu-memory.
add_executable(menu_memory_bench ${PROJECT_SOURCE_DIR}/bench/menu_memory.cpp)
target_link_libraries(menu_memory_bench PRIVATE screen_probe)
