// SPDX-License-Identifier: GPL-2.0-or-later
// The few deprecated GTK 2 and ATK calls the program must make live behind these
// functions; the rest of the tree builds with the deprecated API switched off.
#pragma once

#include <glib.h>
#include <gtk/gtk.h>

// The classic file selector, created with its file-operation buttons hidden.
GtkWidget *new_file_selector(const char *title);
GtkWidget *file_selector_ok_button(GtkWidget *selector);
GtkWidget *file_selector_cancel_button(GtkWidget *selector);
// The entry where the file name is typed.
GtkWidget *file_selector_entry(GtkWidget *selector);
// The chosen path in the file-name encoding, owned by the selector; a folder
// when no file is named.
const char *file_selector_filename(GtkWidget *selector);
// Opens the selector in the file's folder with its name in the entry, or in
// the folder itself for a name that ends in a slash.
void set_file_selector_filename(GtkWidget *selector, const char *filename);

// The row of a table's accessible child at this index, or -1. The toolkit's
// tables answer only this older form of the question.
int accessible_table_row_at(AtkObject *table, int index);
