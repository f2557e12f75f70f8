# The list's keys, mouse and context menu, and the search for known window
# managers.
quorvane_test(search_test unit dialogs/search_test.cpp)
quorvane_test(search_dialog_test widget dialogs/search_dialog_test.cpp)
quorvane_test(context_menu_test widget mainwin/context_menu_test.cpp)
