// SPDX-License-Identifier: GPL-2.0-or-later
#undef GTK_DISABLE_DEPRECATED
#undef GDK_DISABLE_DEPRECATED
#include "app/legacy_gtk.h"

#include <gtk/gtk.h>

GtkWidget *new_file_selector(const char *title) {
    GtkWidget *selector = gtk_file_selection_new(title);
    gtk_file_selection_hide_fileop_buttons(GTK_FILE_SELECTION(selector));
    return selector;
}

GtkWidget *file_selector_ok_button(GtkWidget *selector) {
    return GTK_FILE_SELECTION(selector)->ok_button;
}

GtkWidget *file_selector_cancel_button(GtkWidget *selector) {
    return GTK_FILE_SELECTION(selector)->cancel_button;
}

GtkWidget *file_selector_entry(GtkWidget *selector) {
    return GTK_FILE_SELECTION(selector)->selection_entry;
}

const char *file_selector_filename(GtkWidget *selector) {
    return gtk_file_selection_get_filename(GTK_FILE_SELECTION(selector));
}

void set_file_selector_filename(GtkWidget *selector, const char *filename) {
    gtk_file_selection_set_filename(GTK_FILE_SELECTION(selector), filename);
}

int accessible_table_row_at(AtkObject *table, int index) {
    if (!ATK_IS_TABLE(table) || index < 0)
        return -1;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    return atk_table_get_row_at_index(ATK_TABLE(table), index);
    G_GNUC_END_IGNORE_DEPRECATIONS
}
