// SPDX-License-Identifier: GPL-2.0-or-later
// The add and edit dialog for one entry of the list, with its file selector.
// It appends rows through add_wm_row and changes only the row it was opened on;
// a field the user leaves as shown gives back the row's bytes unchanged, and
// a command the file could not give back as it stands is refused.
#pragma once

#include "app/app_state.h"

enum ItemDialogMode {
    ITEM_DIALOG_ADD = 0,
    ITEM_DIALOG_EDIT = 1, // any non-zero mode edits
};

// Runs the dialog to its end; appends a row, or changes the selected one.
// Returns whether it appended one, at the end of the list.
bool show_item_dialog(int mode, AppState *state);
