// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/gtk_probe.h"

#include "app/glib_ptr.h"
#include "support/gtk_pump.h"
#include "wmlist/wm_list.h"

std::vector<ListRow> read_list_rows(GtkListStore *store) {
    GtkTreeModel *model = GTK_TREE_MODEL(store);
    std::vector<ListRow> result;
    GtkTreeIter it;
    for (gboolean ok = gtk_tree_model_get_iter_first(model, &it); ok;
         ok = gtk_tree_model_iter_next(model, &it)) {
        gchar *description = nullptr, *command = nullptr;
        gboolean is_default = FALSE, editable = FALSE;
        GdkColor *colour = nullptr;
        GdkPixbuf *icon = nullptr;
        gtk_tree_model_get(model, &it, COL_DESCRIPTION, &description, COL_COMMAND, &command,
                           COL_IS_DEFAULT, &is_default, COL_FOREGROUND, &colour, COL_EDITABLE,
                           &editable, COL_ICON, &icon, -1);
        GCharPtr d(description), c(command);
        ListRow row;
        row.description = d ? d.get() : "";
        row.command = c ? c.get() : "";
        row.is_default = is_default != FALSE;
        row.editable = editable != FALSE;
        row.has_icon = icon != nullptr;
        if (colour != nullptr) {
            row.blue = colour->red == 0 && colour->green == 0 && colour->blue == 0xffff;
            row.black = colour->red == 0 && colour->green == 0 && colour->blue == 0;
            gdk_color_free(colour);
        }
        if (icon != nullptr)
            g_object_unref(icon);
        result.push_back(row);
    }
    return result;
}

std::vector<GtkWidget *> children_of(GtkWidget *container) {
    std::vector<GtkWidget *> result;
    GList *list = gtk_container_get_children(GTK_CONTAINER(container));
    for (GList *item = list; item != nullptr; item = item->next)
        result.push_back(GTK_WIDGET(item->data));
    g_list_free(list);
    return result;
}

int selected_row_index(GtkWidget *tree_view) {
    GtkTreeModel *model = nullptr;
    GtkTreeIter it;
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(tree_view));
    if (!gtk_tree_selection_get_selected(selection, &model, &it))
        return -1;
    GtkTreePath *path = gtk_tree_model_get_path(model, &it);
    const int index = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    return index;
}

std::vector<GtkWidget *> visible_message_boxes() {
    std::vector<GtkWidget *> boxes;
    GList *windows = gtk_window_list_toplevels();
    for (GList *item = windows; item != nullptr; item = item->next)
        if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data)))
            boxes.push_back(GTK_WIDGET(item->data));
    g_list_free(windows);
    return boxes;
}

std::string message_box_text(GtkWidget *box) {
    gchar *text = nullptr;
    g_object_get(box, "text", &text, nullptr);
    std::string result = text != nullptr ? text : "";
    g_free(text);
    return result;
}

WarningCapture::WarningCapture() {
    handler_ = g_log_set_handler(nullptr, G_LOG_LEVEL_WARNING, collect, this);
}

WarningCapture::~WarningCapture() {
    g_log_remove_handler(nullptr, handler_);
}

void WarningCapture::collect(const gchar *, GLogLevelFlags, const gchar *message, gpointer self) {
    static_cast<WarningCapture *>(self)->messages_.push_back(message);
}

void destroy_main_window(AppState *state) {
    // Destroying the window would run on_quit; cut that link first.
    g_signal_handlers_disconnect_matched(state->window, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                         state);
    gtk_widget_destroy(state->window);
    pump_events();
}
