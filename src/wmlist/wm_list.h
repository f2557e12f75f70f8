// SPDX-License-Identifier: GPL-2.0-or-later
// The window-manager list: its six columns, the values of a new row, the
// default mark, how a row is read, and how its texts are shown. Only
// src/wmlist knows the columns. The two text columns hold the file's
// bytes, which need not be UTF-8; the list view and the item dialog show and
// edit them only in the form display_text gives, and turn an edit back into
// bytes with text_to_store.
#pragma once

#include "app/app_state.h"

#include <gtk/gtk.h>

#include <string>

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

// A row's texts, byte for byte, and its default mark; a text the store holds
// as null reads as empty.
struct WmRow {
    std::string description;
    std::string command;
    bool is_default = false;
};

WmRow read_wm_row(GtkTreeModel *model, GtkTreeIter *row);

// Replaces the row's two texts with these bytes.
void set_wm_row_texts(GtkListStore *store, GtkTreeIter *row, const char *command,
                      const char *description);

// The main list's description column, drawn in the default mark's colour,
// edited in place and searched by type-ahead, and its cell.
struct WmViewColumns {
    GtkTreeViewColumn *text;
    GtkCellRenderer *text_cell;
};

// Appends the icon column and the description column to a view of the
// list's store.
WmViewColumns append_wm_view_columns(GtkTreeView *view);

// Appends a row that is not the default, drawn black and editable. The
// command comes first, unlike the columns.
void add_wm_row(AppState *state, const char *command, const char *description);

void mark_default_row(GtkListStore *store, GtkTreeIter *row);
// Whether the row's description may be edited in place.
bool is_wm_row_editable(GtkTreeModel *model, GtkTreeIter *row);
void clear_default_marks(GtkListStore *store);

// The text as a window shows it: the bytes themselves when they are UTF-8,
// otherwise converted as file names are (the file-name encoding, or a
// replacement character for each byte that cannot be read); cut short with
// an ellipsis past kShownCharacters, the list keeping every byte.
GCharPtr display_text(const char *bytes);

// What goes back into the list for a text shown as display_text(bytes) and
// now reading shown: the bytes themselves while the shown text is unchanged,
// otherwise the shown text as typed.
const char *text_to_store(const char *bytes, const char *shown);

// "edited" handler of every editable text renderer; user data is the store.
// An edit that leaves the shown text as it was keeps the row's bytes.
void on_cell_edited(GtkCellRendererText *renderer, const gchar *path, const gchar *new_text,
                    gpointer store);
