// SPDX-License-Identifier: GPL-2.0-or-later
// The list view would open its in-place editor on the first press on the
// selected row, which swallows the second press of a double click. So the
// description cell is never editable on its own: an edit begins only from
// here, on F2, or when a second single click on the selected row is not
// followed by a double click within the double-click time, as file managers
// do. What the clicks need to remember lives in a ListInput kept on the view.
#include "mainwin/list_input.h"

#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "app/message.h"
#include "launch/launcher.h"
#include "mainwin/context_menu.h"
#include "mainwin/countdown.h"
#include "mainwin/list_access.h"
#include "wmlist/wm_list.h"

#include <gdk/gdkkeysyms.h>

namespace {

const char kListInputKey[] = "quorvane-list-input";

struct ListInput {
    GtkTreeViewColumn *text_column;
    GtkCellRenderer *text;
    // The row of the last press of button 1, followed through reordering.
    TreeRowReferencePtr last_pressed;
    // The row a pending edit waits on, and its timer (0 when none).
    TreeRowReferencePtr edit_row;
    guint edit_timer = 0;
    // The row that a drag in progress dropped, to be selected when it ends.
    bool dragging = false;
    TreeRowReferencePtr dropped;
    // The last key that reached the list itself.
    guint32 key_time = 0;
    guint key_value = 0;
};

void cancel_pending_edit(ListInput *input) {
    if (input->edit_timer != 0)
        g_source_remove(input->edit_timer);
    input->edit_timer = 0;
    input->edit_row.reset();
}

void free_list_input(gpointer data) {
    auto *input = static_cast<ListInput *>(data);
    cancel_pending_edit(input);
    delete input;
}

ListInput *list_input_of(GtkWidget *view) {
    return static_cast<ListInput *>(g_object_get_data(G_OBJECT(view), kListInputKey));
}

TreePathPtr selected_path(GtkTreeView *view) {
    GtkTreeModel *model = nullptr;
    GtkTreeIter row;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(view), &model, &row))
        return nullptr;
    return TreePathPtr(gtk_tree_model_get_path(model, &row));
}

bool same_row(GtkTreeRowReference *reference, GtkTreePath *path) {
    if (reference == nullptr || !gtk_tree_row_reference_valid(reference))
        return false;
    const TreePathPtr referenced(gtk_tree_row_reference_get_path(reference));
    return gtk_tree_path_compare(referenced.get(), path) == 0;
}

void begin_edit(GtkTreeView *view, ListInput *input, GtkTreePath *path) {
    GtkTreeModel *model = gtk_tree_view_get_model(view);
    GtkTreeIter row;
    if (!gtk_tree_model_get_iter(model, &row, path) || !is_wm_row_editable(model, &row))
        return;
    // The editor, once open, reports through "edited" whatever the flag says.
    g_object_set(input->text, "editable", TRUE, nullptr);
    gtk_tree_view_set_cursor_on_cell(view, path, input->text_column, input->text, TRUE);
    g_object_set(input->text, "editable", FALSE, nullptr);
}

gboolean on_edit_time(gpointer data) {
    auto *view = GTK_TREE_VIEW(data);
    ListInput *input = list_input_of(GTK_WIDGET(view));
    input->edit_timer = 0;
    const TreePathPtr selected = selected_path(view);
    if (selected && same_row(input->edit_row.get(), selected.get()))
        begin_edit(view, input, selected.get());
    input->edit_row.reset();
    return FALSE;
}

guint double_click_time(GtkWidget *widget) {
    gint milliseconds = 250;
    g_object_get(gtk_widget_get_settings(widget), "gtk-double-click-time", &milliseconds, nullptr);
    return static_cast<guint>(milliseconds);
}

// A plain press of button 1 on the description of the selected row, right
// after another press on that same row, edits it unless a double click follows.
void note_single_press(GtkWidget *view, ListInput *input, GdkEventButton *event) {
    GtkTreePath *pressed_path = nullptr;
    GtkTreeViewColumn *column = nullptr;
    if (!gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(view), static_cast<gint>(event->x),
                                       static_cast<gint>(event->y), &pressed_path, &column, nullptr,
                                       nullptr)) {
        input->last_pressed.reset();
        return;
    }
    const TreePathPtr pressed(pressed_path);
    const TreePathPtr selected = selected_path(GTK_TREE_VIEW(view));
    const bool plain = (event->state & (GDK_SHIFT_MASK | GDK_CONTROL_MASK)) == 0;
    if (plain && column == input->text_column && selected &&
        gtk_tree_path_compare(selected.get(), pressed.get()) == 0 &&
        same_row(input->last_pressed.get(), pressed.get())) {
        input->edit_row.reset(gtk_tree_row_reference_new(
            gtk_tree_view_get_model(GTK_TREE_VIEW(view)), pressed.get()));
        input->edit_timer = g_timeout_add(double_click_time(view), on_edit_time, view);
    }
    input->last_pressed.reset(
        gtk_tree_row_reference_new(gtk_tree_view_get_model(GTK_TREE_VIEW(view)), pressed.get()));
}

void select_row_at(GtkTreeView *view, const GdkEventButton *event) {
    GtkTreePath *pressed_path = nullptr;
    if (!gtk_tree_view_get_path_at_pos(view, static_cast<gint>(event->x),
                                       static_cast<gint>(event->y), &pressed_path, nullptr, nullptr,
                                       nullptr))
        return;
    const TreePathPtr pressed(pressed_path);
    gtk_tree_view_set_cursor(view, pressed.get(), nullptr, FALSE);
}

void on_drag_begin(GtkWidget *view, GdkDragContext *, gpointer) {
    ListInput *input = list_input_of(view);
    cancel_pending_edit(input);
    input->last_pressed.reset();
    input->dropped.reset();
    input->dragging = true;
}

// A row moved by dragging is a new row in the store, and the old one, which
// held the selection, is deleted: the new one takes the selection over.
void on_row_inserted(GtkTreeModel *model, GtkTreePath *path, GtkTreeIter *, gpointer data) {
    ListInput *input = list_input_of(GTK_WIDGET(data));
    if (!input->dragging)
        return;
    input->dropped.reset(gtk_tree_row_reference_new(model, path));
}

void on_drag_end(GtkWidget *view, GdkDragContext *, gpointer) {
    ListInput *input = list_input_of(view);
    input->dragging = false;
    if (input->dropped && gtk_tree_row_reference_valid(input->dropped.get())) {
        const TreePathPtr path(gtk_tree_row_reference_get_path(input->dropped.get()));
        gtk_tree_view_set_cursor(GTK_TREE_VIEW(view), path.get(), nullptr, FALSE);
    }
    input->dropped.reset();
}

// Moves the selected row one place up (-1) or down (1), as a drag would,
// and has a screen reader say where it is now; the row stays selected.
void move_selected_row(AppState *state, int by) {
    GtkTreeView *view = GTK_TREE_VIEW(state->tree_view);
    GtkTreeModel *model = nullptr;
    GtkTreeIter row;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(view), &model, &row))
        return;
    const TreePathPtr path(gtk_tree_model_get_path(model, &row));
    const int from = gtk_tree_path_get_indices(path.get())[0];
    const int rows = gtk_tree_model_iter_n_children(model, nullptr);
    GtkTreeIter neighbour;
    if (from + by < 0 || from + by >= rows ||
        !gtk_tree_model_iter_nth_child(model, &neighbour, nullptr, from + by))
        return;
    gtk_list_store_swap(state->store.get(), &row, &neighbour);
    const TreePathPtr moved(gtk_tree_model_get_path(model, &row));
    gtk_tree_view_scroll_to_cell(view, moved.get(), nullptr, FALSE, 0, 0);
    const GCharPtr description = display_text(read_wm_row(model, &row).description.c_str());
    // TRANSLATORS: what a screen reader says when an entry has been moved
    // with Alt+Up or Alt+Down: its description, its place now counted from
    // 1, and the number of entries.
    const GCharPtr moved_to =
        format_message(tr("%s moved to place %d of %d"), description.get(), from + by + 1, rows);
    tell_screen_reader(view, moved_to.get());
}

// Alt+Up or Alt+Down, on the arrows or the keypad: -1 or 1; 0 for any other key.
int move_asked_by(const GdkEventKey *event) {
    if ((event->state & gtk_accelerator_get_default_mod_mask()) != GDK_MOD1_MASK)
        return 0;
    if (event->keyval == GDK_Up || event->keyval == GDK_KP_Up)
        return -1;
    if (event->keyval == GDK_Down || event->keyval == GDK_KP_Down)
        return 1;
    return 0;
}

gboolean on_list_key_press(GtkWidget *view, GdkEventKey *event, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    stop_countdown(state);
    ListInput *input = list_input_of(view);
    cancel_pending_edit(input);
    input->last_pressed.reset();
    input->key_time = event->time;
    input->key_value = event->keyval;
    if (const int by = move_asked_by(event); by != 0) {
        move_selected_row(state, by);
        return TRUE;
    }
    if (event->keyval == GDK_Return)
        launch_selected_wm(state);
    else if (event->keyval == GDK_F2 &&
             (event->state & gtk_accelerator_get_default_mod_mask()) == 0) {
        const TreePathPtr selected = selected_path(GTK_TREE_VIEW(view));
        if (selected)
            begin_edit(GTK_TREE_VIEW(view), input, selected.get());
    }
    // The view still handles the key, Return included, after the launch.
    return FALSE;
}

gboolean on_list_button_press(GtkWidget *view, GdkEventButton *event, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    stop_countdown(state);
    ListInput *input = list_input_of(view);
    cancel_pending_edit(input);
    // The menu acts on the selected row, so the row pressed on becomes the
    // selected one first: acting on another, unseen, would delete or start
    // the wrong entry. A press below the rows keeps the selection. The press
    // itself is kept from the view, which would begin a drag.
    if (event->button == 3 && event->type == GDK_BUTTON_PRESS) {
        input->last_pressed.reset();
        select_row_at(GTK_TREE_VIEW(view), event);
        popup_context_menu(state, event->button, event->time);
        return TRUE;
    }
    if (event->button != 1)
        return FALSE;
    if (event->type == GDK_BUTTON_PRESS) {
        note_single_press(view, input, event);
        return FALSE;
    }
    // The first press of a double click went to the view and selected the row.
    if (event->type == GDK_2BUTTON_PRESS) {
        input->last_pressed.reset();
        launch_selected_wm(state);
        return TRUE;
    }
    return FALSE;
}

gboolean on_list_popup_menu(GtkWidget *, gpointer data) {
    popup_context_menu_at_selected_row(static_cast<AppState *>(data));
    return TRUE;
}

// Return in the type-ahead popup activates the row it found; the popup holds
// the keyboard, so the list never saw that key. The view activates a row for
// its own keys and clicks too, which the handlers above have dealt with:
// Return in the list has started the row already, the keypad's Enter starts
// nothing, and a double click starts the row once, from its second press.
void on_list_row_activated(GtkTreeView *view, GtkTreePath *, GtkTreeViewColumn *, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    const ListInput *input = list_input_of(GTK_WIDGET(view));
    const GdkEventPtr event(gtk_get_current_event());
    const bool handled_above =
        event && (event->type == GDK_BUTTON_PRESS || event->type == GDK_2BUTTON_PRESS ||
                  (event->type == GDK_KEY_PRESS && event->key.time == input->key_time &&
                   event->key.keyval == input->key_value));
    if (!handled_above)
        launch_selected_wm(state);
}

} // namespace

void connect_list_input(AppState *state, GtkTreeViewColumn *text_column, GtkCellRenderer *text) {
    GtkWidget *view = state->tree_view;
    auto *input = new ListInput{};
    input->text_column = text_column;
    input->text = text;
    g_object_set_data_full(G_OBJECT(view), kListInputKey, input, free_list_input);
    g_object_set(text, "editable", FALSE, nullptr);

    g_signal_connect(view, "button_press_event", G_CALLBACK(on_list_button_press), state);
    g_signal_connect(view, "key_press_event", G_CALLBACK(on_list_key_press), state);
    g_signal_connect(view, "popup-menu", G_CALLBACK(on_list_popup_menu), state);
    g_signal_connect(view, "row-activated", G_CALLBACK(on_list_row_activated), state);
    g_signal_connect(view, "drag-begin", G_CALLBACK(on_drag_begin), nullptr);
    g_signal_connect(view, "drag-end", G_CALLBACK(on_drag_end), nullptr);
    g_signal_connect_object(state->store.get(), "row-inserted", G_CALLBACK(on_row_inserted), view,
                            GConnectFlags(0));
}
