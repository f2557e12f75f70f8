// SPDX-License-Identifier: GPL-2.0-or-later
// The window-manager list: its six columns, the values of a new row and the
// default mark. Only this module and the configuration file know the columns.
#pragma once

#include "app/app_state.h"

#include <gtk/gtk.h>

enum WmColumn {
    COL_ICON,
    COL_DESCRIPTION,
    COL_COMMAND,
    COL_IS_DEFAULT,
    COL_FOREGROUND,
    COL_EDITABLE,
    WM_N_COLUMNS
};

// Object data key on an editable text renderer naming the column it edits.
#define CELL_COLUMN_KEY "column"

// A new, empty store with the six columns in their order.
GtkListStore *create_wm_store();

// Appends a row that is not the default, drawn black and editable. The
// command comes first, unlike the columns.
void add_wm_row(AppState *state, const char *command, const char *description);

void mark_default_row(GtkListStore *store, GtkTreeIter *row);
void clear_default_marks(GtkListStore *store);

// "edited" handler of every editable text renderer; user data is the store.
void on_cell_edited(GtkCellRendererText *renderer, const gchar *path, const gchar *new_text,
                    gpointer store);
