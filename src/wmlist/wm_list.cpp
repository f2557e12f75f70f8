// SPDX-License-Identifier: GPL-2.0-or-later
#include "wmlist/wm_list.h"

#include "app/message.h"

#include <cstring>

namespace {

// The pixel field is not used for drawing; ordinary rows carry black
// explicitly so that a theme's text colour cannot hide the difference.
const GdkColor kBlack = {0, 0, 0, 0};
const GdkColor kBlue = {0, 0, 0, 0xffff};

// Every row of a window shows the same icon, and rendering it looks the theme
// up each time: so it is rendered once for each style the window takes on,
// and kept with the window. The style is held so that its address cannot
// come back as another style's.
const char kRowIconKey[] = "quorvane-row-icon";

struct RowIcon {
    GObjectPtr<GtkStyle> style;
    GtkTextDirection direction;
    GtkStateType state;
    GObjectPtr<GdkPixbuf> pixbuf;
};

void free_row_icon(gpointer icon) {
    delete static_cast<RowIcon *>(icon);
}

GdkPixbuf *row_icon(GtkWidget *window) {
    gtk_widget_ensure_style(window);
    GtkStyle *style = gtk_widget_get_style(window);
    const GtkTextDirection direction = gtk_widget_get_direction(window);
    const GtkStateType state = gtk_widget_get_state(window);
    auto *icon = static_cast<RowIcon *>(g_object_get_data(G_OBJECT(window), kRowIconKey));
    if (icon == nullptr || icon->style.get() != style || icon->direction != direction ||
        icon->state != state) {
        icon = new RowIcon{GObjectPtr<GtkStyle>(GTK_STYLE(g_object_ref(style))), direction, state,
                           GObjectPtr<GdkPixbuf>(gtk_widget_render_icon(
                               window, GTK_STOCK_EXECUTE, GTK_ICON_SIZE_MENU, nullptr))};
        g_object_set_data_full(G_OBJECT(window), kRowIconKey, icon, free_row_icon);
    }
    return icon->pixbuf.get();
}

void set_default_flag(GtkListStore *store, GtkTreeIter *row, gboolean is_default) {
    gtk_list_store_set(store, row, COL_IS_DEFAULT, is_default, COL_FOREGROUND,
                       is_default ? &kBlue : &kBlack, -1);
}

} // namespace

GtkListStore *create_wm_store() {
    return gtk_list_store_new(WM_N_COLUMNS, GDK_TYPE_PIXBUF, G_TYPE_STRING, G_TYPE_STRING,
                              G_TYPE_BOOLEAN, GDK_TYPE_COLOR, G_TYPE_BOOLEAN);
}

void add_wm_row(AppState *state, const char *command, const char *description) {
    GtkTreeIter row;
    // One step, so that views hear of the row once, complete.
    gtk_list_store_insert_with_values(state->store.get(), &row, -1, COL_ICON,
                                      row_icon(state->window), COL_DESCRIPTION, description,
                                      COL_COMMAND, command, COL_IS_DEFAULT, FALSE, COL_FOREGROUND,
                                      &kBlack, COL_EDITABLE, TRUE, -1);
}

WmRow read_wm_row(GtkTreeModel *model, GtkTreeIter *row) {
    gchar *description = nullptr;
    gchar *command = nullptr;
    gboolean is_default = FALSE;
    gtk_tree_model_get(model, row, COL_DESCRIPTION, &description, COL_COMMAND, &command,
                       COL_IS_DEFAULT, &is_default, -1);
    const GCharPtr description_copy(description);
    const GCharPtr command_copy(command);
    return WmRow{description != nullptr ? description : "", command != nullptr ? command : "",
                 is_default != FALSE};
}

void set_wm_row_texts(GtkListStore *store, GtkTreeIter *row, const char *command,
                      const char *description) {
    gtk_list_store_set(store, row, COL_DESCRIPTION, description, COL_COMMAND, command, -1);
}

void mark_default_row(GtkListStore *store, GtkTreeIter *row) {
    set_default_flag(store, row, TRUE);
}

bool is_wm_row_editable(GtkTreeModel *model, GtkTreeIter *row) {
    gboolean editable = FALSE;
    gtk_tree_model_get(model, row, COL_EDITABLE, &editable, -1);
    return editable != FALSE;
}

void clear_default_marks(GtkListStore *store) {
    GtkTreeIter row;
    gboolean more = gtk_tree_model_get_iter_first(GTK_TREE_MODEL(store), &row);
    while (more) {
        set_default_flag(store, &row, FALSE);
        more = gtk_tree_model_iter_next(GTK_TREE_MODEL(store), &row);
    }
}

GCharPtr display_text(const char *bytes) {
    // Only the beginning is looked at, enough for one character more than
    // is shown even if each takes four bytes: a description may be megabytes.
    constexpr size_t kLookedAt = 4 * (kShownCharacters + 1);
    size_t length = strnlen(bytes, kLookedAt + 1);
    const bool longer = length > kLookedAt;
    if (longer)
        length = kLookedAt;
    const gchar *valid_end = nullptr;
    // Where the beginning was cut, it may end in part of a character.
    if (g_utf8_validate(bytes, static_cast<gssize>(length), &valid_end) ||
        (longer && bytes + length - valid_end < 4)) {
        const GCharPtr text(g_strndup(bytes, static_cast<gsize>(valid_end - bytes)));
        return cut_to_screen(text.get());
    }
    const GCharPtr head(g_strndup(bytes, length));
    const GCharPtr text(g_filename_display_name(head.get()));
    return cut_to_screen(text.get());
}

const char *text_to_store(const char *bytes, const char *shown) {
    if (bytes != nullptr && strcmp(display_text(bytes).get(), shown) == 0)
        return bytes;
    return shown;
}

void on_cell_edited(GtkCellRendererText *renderer, const gchar *path, const gchar *new_text,
                    gpointer store) {
    const int column = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(renderer), CELL_COLUMN_KEY));
    GtkTreeIter row;
    if (!gtk_tree_model_get_iter_from_string(GTK_TREE_MODEL(store), &row, path))
        return;
    gchar *old_text = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(store), &row, column, &old_text, -1);
    const GCharPtr bytes(old_text);
    // The cell showed the display form: handing that back unchanged would
    // lose bytes that are not UTF-8.
    if (text_to_store(old_text, new_text) == old_text)
        return;
    gtk_list_store_set(GTK_LIST_STORE(store), &row, column, new_text, -1);
}

namespace {

// Cell data function of the main list's description cell: shows
// COL_DESCRIPTION in its display form.
void show_description_cell(GtkTreeViewColumn *, GtkCellRenderer *renderer, GtkTreeModel *model,
                           GtkTreeIter *row, gpointer) {
    gchar *description = nullptr;
    gtk_tree_model_get(model, row, COL_DESCRIPTION, &description, -1);
    const GCharPtr bytes(description);
    g_object_set(renderer, "text",
                 description != nullptr ? display_text(description).get() : nullptr, nullptr);
}

// The text as type-ahead compares it: letter case and the forms of a
// character aside.
GCharPtr comparable_form(const char *text) {
    const GCharPtr normal(g_utf8_normalize(text, -1, G_NORMALIZE_ALL));
    return GCharPtr(normal ? g_utf8_casefold(normal.get(), -1) : nullptr);
}

// Type-ahead compare function of the main list: FALSE when the description,
// as shown, starts with the typed key, letter case aside.
gboolean description_mismatches_key(GtkTreeModel *model, gint, const gchar *key, GtkTreeIter *row,
                                    gpointer) {
    gchar *description = nullptr;
    gtk_tree_model_get(model, row, COL_DESCRIPTION, &description, -1);
    const GCharPtr bytes(description);
    if (description == nullptr)
        return TRUE;
    const GCharPtr shown = comparable_form(display_text(description).get());
    const GCharPtr typed = comparable_form(key);
    return shown && typed && g_str_has_prefix(shown.get(), typed.get()) ? FALSE : TRUE;
}

} // namespace

WmViewColumns append_wm_view_columns(GtkTreeView *view) {
    GtkTreeViewColumn *icon_column = gtk_tree_view_column_new_with_attributes(
        nullptr, gtk_cell_renderer_pixbuf_new(), "pixbuf", COL_ICON, nullptr);
    gtk_tree_view_append_column(view, icon_column);

    GtkCellRenderer *text = gtk_cell_renderer_text_new();
    g_signal_connect(text, "edited", G_CALLBACK(on_cell_edited), gtk_tree_view_get_model(view));
    // Whether a row may be edited is asked when an edit begins (list_input.cpp).
    GtkTreeViewColumn *text_column = gtk_tree_view_column_new_with_attributes(
        nullptr, text, "foreground-gdk", COL_FOREGROUND, nullptr);
    // The description's bytes need not be UTF-8, which the cell must be given.
    gtk_tree_view_column_set_cell_data_func(text_column, text, show_description_cell, nullptr,
                                            nullptr);
    g_object_set_data(G_OBJECT(text), CELL_COLUMN_KEY, GINT_TO_POINTER(COL_DESCRIPTION));
    gtk_tree_view_append_column(view, text_column);
    gtk_tree_view_set_search_column(view, COL_DESCRIPTION);
    gtk_tree_view_set_search_equal_func(view, description_mismatches_key, nullptr, nullptr);
    return WmViewColumns{text_column, text};
}
