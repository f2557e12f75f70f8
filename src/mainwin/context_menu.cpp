// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/context_menu.h"

#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "app/message.h"
#include "dialogs/item_dialog.h"
#include "dialogs/message_box.h"
#include "dialogs/search.h"
#include "launch/launcher.h"
#include "mainwin/list_access.h"
#include "mainwin/main_window.h"
#include "wmlist/wm_list.h"

namespace {

const char kReleaseQueued[] = "quorvane-release-queued";
// On the entries that act on the selected row.
const char kNeedsRowKey[] = "quorvane-needs-row";

// An open menu holds a reference to itself from its popup to its release:
// nothing else would ever drop the one that gtk_menu_new hands out.
gboolean release_menu(gpointer data) {
    GtkWidget *menu = GTK_WIDGET(data);
    g_object_set_data(G_OBJECT(menu), kReleaseQueued, nullptr);
    // Still in use; putting it back or closing its window queues it again.
    if (gtk_menu_get_tearoff_state(GTK_MENU(menu)))
        return FALSE;
    GObjectPtr<GtkWidget> own_reference(menu);
    gtk_widget_destroy(menu);
    return FALSE;
}

// From an idle callback, once the handler of the chosen entry has returned:
// that handler may run a dialog of its own while the menu is still there.
void release_menu_later(GtkWidget *menu) {
    if (g_object_get_data(G_OBJECT(menu), kReleaseQueued) != nullptr)
        return;
    g_object_set_data(G_OBJECT(menu), kReleaseQueued, GINT_TO_POINTER(1));
    g_idle_add(release_menu, menu);
}

void on_menu_done(GtkMenuShell *menu, gpointer) {
    release_menu_later(GTK_WIDGET(menu));
}

// Putting a torn-off menu back, or closing its window, ends its use.
void on_tearoff_changed(GObject *menu, GParamSpec *, gpointer) {
    if (!gtk_menu_get_tearoff_state(GTK_MENU(menu)))
        release_menu_later(GTK_WIDGET(menu));
}

GtkWidget *append_item(GtkWidget *menu, GtkWidget *item, GCallback handler, AppState *state) {
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    if (handler != nullptr)
        g_signal_connect(item, "activate", handler, state);
    return item;
}

GtkWidget *append_image_item(GtkWidget *menu, const char *label, const char *stock_id,
                             GCallback handler, AppState *state) {
    GtkWidget *item = gtk_image_menu_item_new_with_mnemonic(label);
    gtk_image_menu_item_set_image(GTK_IMAGE_MENU_ITEM(item),
                                  gtk_image_new_from_stock(stock_id, GTK_ICON_SIZE_MENU));
    return append_item(menu, item, handler, state);
}

void require_row(GtkWidget *item) {
    g_object_set_data(G_OBJECT(item), kNeedsRowKey, GINT_TO_POINTER(1));
}

// What acts on the selected row is greyed while there is none, as the toolkit
// shows what cannot be done; in a torn-off menu too, as rows come and go.
void on_selection_changed(GtkTreeSelection *selection, gpointer menu) {
    const bool selected = gtk_tree_selection_get_selected(selection, nullptr, nullptr) != FALSE;
    const GListPtr items(gtk_container_get_children(GTK_CONTAINER(menu)));
    for (GList *item = items.get(); item != nullptr; item = item->next)
        if (g_object_get_data(G_OBJECT(item->data), kNeedsRowKey) != nullptr)
            gtk_widget_set_sensitive(GTK_WIDGET(item->data), selected);
}

bool get_selected_row(AppState *state, GtkTreeIter *row) {
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(state->tree_view));
    return gtk_tree_selection_get_selected(selection, nullptr, row) != FALSE;
}

void on_menu_search(GtkMenuItem *, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    select_appended_rows(state, search_known_wms(state));
}

void on_menu_add(GtkMenuItem *, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    if (show_item_dialog(ITEM_DIALOG_ADD, state))
        select_appended_rows(state, 1);
}

void on_menu_execute(GtkMenuItem *, gpointer state) {
    launch_selected_wm(static_cast<AppState *>(state));
}

void on_menu_edit(GtkMenuItem *, gpointer state) {
    show_item_dialog(ITEM_DIALOG_EDIT, static_cast<AppState *>(state));
}

void on_set_default(GtkMenuItem *, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    GtkTreeIter row;
    if (!get_selected_row(state, &row))
        return;
    clear_default_marks(state->store.get());
    mark_default_row(state->store.get(), &row);

    const WmRow wm = read_wm_row(GTK_TREE_MODEL(state->store.get()), &row);
    const GCharPtr text =
        format_message(tr("\"%s\" is now the default window manager"), wm.description.c_str());
    show_message(text.get(), GTK_MESSAGE_INFO);
}

// The row that takes the deleted one's place, or the new last row, is the
// selected one: Return must start a row the person can see.
void on_delete_item(GtkMenuItem *, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    GtkTreeIter row;
    if (!get_selected_row(state, &row))
        return;
    const TreePathPtr path(gtk_tree_model_get_path(GTK_TREE_MODEL(state->store.get()), &row));
    const int position = gtk_tree_path_get_indices(path.get())[0];
    tell_row_deleted(GTK_TREE_VIEW(state->tree_view), &row);
    gtk_list_store_remove(state->store.get(), &row);
    const int rows = gtk_tree_model_iter_n_children(GTK_TREE_MODEL(state->store.get()), nullptr);
    select_row(state, position < rows ? position : rows - 1);
}

// The eight items, hidden; its handlers get the state.
GtkWidget *create_context_menu(AppState *state) {
    GtkWidget *menu = gtk_menu_new();
    GtkWidget *tearoff = gtk_tearoff_menu_item_new();
    // TRANSLATORS: what a screen reader says of the dashed line at the top of
    // the list's menu.
    atk_object_set_name(gtk_widget_get_accessible(tearoff), tr("Tear off this menu"));
    append_item(menu, tearoff, nullptr, state);
    // TRANSLATORS: "_" marks the key of each entry of this menu; give the six
    // entries six different keys.
    append_image_item(menu, tr("_search for known window managers..."), GTK_STOCK_FIND,
                      G_CALLBACK(on_menu_search), state);
    append_image_item(menu, tr("_add item..."), GTK_STOCK_ADD, G_CALLBACK(on_menu_add), state);
    append_item(menu, gtk_separator_menu_item_new(), nullptr, state);
    require_row(append_image_item(menu, tr("e_xecute window manager"), GTK_STOCK_EXECUTE,
                                  G_CALLBACK(on_menu_execute), state));
    require_row(append_image_item(menu, tr("_edit item..."), GTK_STOCK_PROPERTIES,
                                  G_CALLBACK(on_menu_edit), state));
    require_row(append_item(menu, gtk_menu_item_new_with_mnemonic(tr("set as _default")),
                            G_CALLBACK(on_set_default), state));
    require_row(append_image_item(menu, tr("_delete item"), GTK_STOCK_DELETE,
                                  G_CALLBACK(on_delete_item), state));
    g_signal_connect(menu, "selection-done", G_CALLBACK(on_menu_done), nullptr);
    g_signal_connect(menu, "notify::tearoff-state", G_CALLBACK(on_tearoff_changed), nullptr);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(state->tree_view));
    on_selection_changed(selection, menu);
    g_signal_connect_object(selection, "changed", G_CALLBACK(on_selection_changed), menu,
                            GConnectFlags(0));
    return menu;
}

// The left end of the selected row's description, halfway down the row, in
// root coordinates; the list's top left corner when no row is selected.
void place_at_selected_row(GtkMenu *, gint *x, gint *y, gboolean *push_in, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    GtkTreeView *view = GTK_TREE_VIEW(state->tree_view);
    gdk_window_get_origin(gtk_tree_view_get_bin_window(view), x, y);
    *push_in = TRUE;
    GtkTreeIter row;
    if (!get_selected_row(state, &row))
        return;
    const TreePathPtr path(gtk_tree_model_get_path(GTK_TREE_MODEL(state->store.get()), &row));
    GdkRectangle cell;
    gtk_tree_view_get_cell_area(view, path.get(), gtk_tree_view_get_column(view, 1), &cell);
    *x += cell.x;
    *y += cell.y + cell.height / 2;
}

void popup_menu(AppState *state, GtkMenuPositionFunc place, guint button, guint32 time) {
    GtkWidget *menu = create_context_menu(state);
    g_object_ref_sink(menu);
    gtk_widget_show_all(menu);
    gtk_menu_popup(GTK_MENU(menu), nullptr, nullptr, place, state, button, time);
    // Without its pointer grab the menu does not open, and nothing would
    // ever release it.
    if (!gtk_widget_get_visible(gtk_widget_get_toplevel(menu))) {
        GObjectPtr<GtkWidget> own_reference(menu);
        gtk_widget_destroy(menu);
        return;
    }
    // Opened from the keyboard, the menu shows where the arrow keys start.
    if (button == 0)
        gtk_menu_shell_select_first(GTK_MENU_SHELL(menu), FALSE);
}

} // namespace

void popup_context_menu(AppState *state, guint button, guint32 time) {
    popup_menu(state, nullptr, button, time);
}

void popup_context_menu_at_selected_row(AppState *state) {
    scroll_to_selected_row(state);
    popup_menu(state, place_at_selected_row, 0, gtk_get_current_event_time());
}
