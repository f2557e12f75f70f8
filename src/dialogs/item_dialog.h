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

// What the file selector's OK button needs; lives while the selector does.
struct FileSelectorData {
    GtkWidget *selector;
    GtkWidget *command_entry;
};

// Builds the dialog, not yet shown: the accepting button answers
// GTK_RESPONSE_OK, "gtk-cancel" GTK_RESPONSE_CANCEL, "gtk-find" GTK_RESPONSE_HELP.
GtkWidget *create_item_dialog(const char *title, const char *accept_stock_id,
                              GtkWidget **command_entry, GtkWidget **description_entry);

// Runs the dialog to its end; appends a row, or changes the selected one.
// Returns whether it appended one, at the end of the list.
bool show_item_dialog(int mode, AppState *state);

// "clicked" handler of the file selector's OK button; data is a FileSelectorData.
void on_file_selected(GtkWidget *button, gpointer data);
