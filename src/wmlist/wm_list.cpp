#include "wmlist/wm_list.h"

namespace {

// The pixel field is not used for drawing; ordinary rows carry black
// explicitly so that a theme's text colour cannot hide the difference.
const GdkColor kBlack = {0, 0, 0, 0};
const GdkColor kBlue = {0, 0, 0, 0xffff};

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
    GObjectPtr<GdkPixbuf> icon(
        gtk_widget_render_icon(state->window, GTK_STOCK_EXECUTE, GTK_ICON_SIZE_MENU, nullptr));
    GtkTreeIter row;
    gtk_list_store_append(state->store.get(), &row);
    gtk_list_store_set(state->store.get(), &row, COL_ICON, icon.get(), COL_DESCRIPTION, description,
                       COL_COMMAND, command, COL_IS_DEFAULT, FALSE, COL_FOREGROUND, &kBlack,
                       COL_EDITABLE, TRUE, -1);
}

void mark_default_row(GtkListStore *store, GtkTreeIter *row) {
    set_default_flag(store, row, TRUE);
}

void clear_default_marks(GtkListStore *store) {
    GtkTreeIter row;
    gboolean more = gtk_tree_model_get_iter_first(GTK_TREE_MODEL(store), &row);
    while (more) {
        set_default_flag(store, &row, FALSE);
        more = gtk_tree_model_iter_next(GTK_TREE_MODEL(store), &row);
    }
}

void on_cell_edited(GtkCellRendererText *renderer, const gchar *path, const gchar *new_text,
                    gpointer store) {
    const int column = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(renderer), CELL_COLUMN_KEY));
    GtkTreeIter row;
    if (!gtk_tree_model_get_iter_from_string(GTK_TREE_MODEL(store), &row, path))
        return;
    gtk_list_store_set(GTK_LIST_STORE(store), &row, column, new_text, -1);
}
