// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/gtk_probe.h"

#include "app/glib_ptr.h"
#include "mainwin/context_menu.h"
#include "support/gtk_pump.h"
#include "wmlist/wm_list.h"

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

#include <algorithm>

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

void select_list_row(GtkWidget *view, int index) {
    const TreePathPtr path(gtk_tree_path_new_from_indices(index, -1));
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(view), path.get(), nullptr, FALSE);
}

void drag_list_row(GtkWidget *view, int from, int onto) {
    Display *dpy = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    gint origin_x, origin_y;
    gdk_window_get_origin(gtk_tree_view_get_bin_window(GTK_TREE_VIEW(view)), &origin_x, &origin_y);
    auto area_of = [&](int row) {
        GdkRectangle area;
        const TreePathPtr path(gtk_tree_path_new_from_indices(row, -1));
        gtk_tree_view_get_background_area(GTK_TREE_VIEW(view), path.get(), nullptr, &area);
        return area;
    };
    const GdkRectangle start = area_of(from);
    const GdkRectangle end = area_of(onto);

    const int x = origin_x + 60;
    auto move = [&](int y) {
        XTestFakeMotionEvent(dpy, -1, x, origin_y + y, CurrentTime);
        XSync(dpy, False);
        pump_events();
    };
    move(start.y + start.height / 2);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XSync(dpy, False);
    pump_events();
    for (int y = start.y + start.height / 2; y <= end.y + end.height - 2; y += 4)
        move(y);
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    XSync(dpy, False);
}

bool load_accessibility_module() {
    g_object_set(gtk_settings_get_default(), "gtk-modules", "gail", nullptr);
    GtkWidget *probe = gtk_tree_view_new();
    g_object_ref_sink(probe);
    // Without the module every widget gets an object that does nothing.
    const bool loaded = !ATK_IS_NO_OP_OBJECT(gtk_widget_get_accessible(probe));
    gtk_widget_destroy(probe);
    g_object_unref(probe);
    return loaded;
}

std::string accessible_name(AtkObject *accessible) {
    const char *name = atk_object_get_name(accessible);
    return name != nullptr ? name : "";
}

std::string accessible_description(AtkObject *accessible) {
    const char *description = atk_object_get_description(accessible);
    return description != nullptr ? description : "";
}

std::vector<AtkObject *> related(AtkObject *accessible, AtkRelationType type) {
    std::vector<AtkObject *> targets;
    const GObjectPtr<AtkRelationSet> relations(atk_object_ref_relation_set(accessible));
    AtkRelation *relation =
        relations ? atk_relation_set_get_relation_by_type(relations.get(), type) : nullptr;
    GPtrArray *found = relation ? atk_relation_get_target(relation) : nullptr;
    for (guint i = 0; found != nullptr && i < found->len; ++i)
        targets.push_back(ATK_OBJECT(g_ptr_array_index(found, i)));
    return targets;
}

bool has_state(AtkObject *accessible, AtkStateType state) {
    const GObjectPtr<AtkStateSet> states(atk_object_ref_state_set(accessible));
    return states && atk_state_set_contains_state(states.get(), state);
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

std::vector<GtkWidget *> shown_menus() {
    std::vector<GtkWidget *> menus;
    const GListPtr windows(gtk_window_list_toplevels());
    for (GList *item = windows.get(); item != nullptr; item = item->next) {
        GtkWidget *window = GTK_WIDGET(item->data);
        if (!gtk_widget_get_mapped(window))
            continue;
        GtkWidget *child = gtk_bin_get_child(GTK_BIN(window));
        if (GTK_IS_MENU(child))
            menus.push_back(child);
        else if (GTK_IS_BOX(child)) // a torn-off menu sits in a box with its scroll bar
            for (GtkWidget *part : children_of(child))
                if (GTK_IS_MENU(part))
                    menus.push_back(part);
    }
    return menus;
}

GtkWidget *pop_up_list_menu(AppState *state) {
    const std::vector<GtkWidget *> before = shown_menus();
    popup_context_menu(state, 3, GDK_CURRENT_TIME);
    std::vector<GtkWidget *> added;
    for (GtkWidget *menu : shown_menus())
        if (std::find(before.begin(), before.end(), menu) == before.end())
            added.push_back(menu);
    return added.size() == 1 ? added[0] : nullptr;
}

void choose_menu_entry(GtkWidget *menu, int position) {
    GtkWidget *item = children_of(menu).at(position);
    gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), item, TRUE);
    pump_events();
}

void destroy_main_window(AppState *state) {
    // Destroying the window would run its quit handler; cut that link first.
    g_signal_handlers_disconnect_matched(state->window, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                         state);
    gtk_widget_destroy(state->window);
    pump_events();
}

NotificationCapture::NotificationCapture()
    : signal_(g_signal_lookup("state-change", ATK_TYPE_OBJECT)),
      hook_(g_signal_add_emission_hook(signal_, 0, collect, this, nullptr)) {}

NotificationCapture::~NotificationCapture() {
    g_signal_remove_emission_hook(signal_, hook_);
}

gboolean NotificationCapture::collect(GSignalInvocationHint *, guint count, const GValue *values,
                                      gpointer self) {
    if (count < 3)
        return TRUE;
    auto *object = ATK_OBJECT(g_value_get_object(&values[0]));
    const char *state = g_value_get_string(&values[1]);
    if (atk_object_get_role(object) == ATK_ROLE_NOTIFICATION && state != nullptr &&
        std::string(state) == "showing" && g_value_get_boolean(&values[2]))
        static_cast<NotificationCapture *>(self)->said_.push_back(accessible_name(object));
    return TRUE;
}
