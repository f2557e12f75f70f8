// The add and edit dialog for one entry of the list, with its file selector.
#pragma once

#include "app/app_state.h"

enum ItemDialogMode {
    ITEM_DIALOG_ADD = 0,
    ITEM_DIALOG_EDIT = 1, // any non-zero mode edits
};

// Runs the dialog to its end; appends a row, or changes the selected one.
void show_item_dialog(int mode, AppState *state);
