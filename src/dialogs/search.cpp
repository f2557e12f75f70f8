// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/search.h"

#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "app/message.h"
#include "app/window_focus.h"
#include "dialogs/installed_wms.h"
#include "wmlist/wm_list.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>

const KnownWm known_wms[] = {
    {"Gnome", "gnome-session"},
    {"kde", "startkde"},
    {"Window Maker", "wmaker"},
    {"Enlightenment", "enlightenment"},
    {"Blackbox", "blackbox"},
    {"xfce", "xfwm"},
    {"Sawfish", "sawfish"},
    {"Fluxbox", "fluxbox"},
    {"Icewm", "icewm"},
    {"fvwm", "fvwm"},
    {"mwm", "mwm"},
    {"mlvwm", "mlvwm"},
    {"Afterstep", "afterstep"},
    {"ctwm", "ctwm"},
    {"flwm", "flwm"},
    {"pwm", "pwm"},
    {"vtwm", "vtwm"},
    {"twm", "twm"},
    {"xterm", "xterm"},
    {"rxvt", "rxvt"},
    {"", ""},
};

namespace {

// The folders searched, in order, each ending in a slash; closed by "".
const char *const search_dirs[] = {"/usr/local/bin/", "/usr/bin/X11/", "/usr/bin/", ""};

// The least room the list takes, and the most of the screen it may take.
constexpr int kViewWidth = 350;
constexpr int kViewHeight = 200;
constexpr double kMostOfScreen = 0.75;

GtkListStore *create_found_store(const std::vector<FoundWm> &found) {
    GtkListStore *store =
        gtk_list_store_new(FOUND_N_COLUMNS, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_BOOLEAN);
    for (const FoundWm &wm : found) {
        GtkTreeIter row;
        gtk_list_store_append(store, &row);
        gtk_list_store_set(store, &row, FOUND_COL_COMMAND, wm.command.c_str(),
                           FOUND_COL_DESCRIPTION, wm.description.c_str(), FOUND_COL_EDITABLE, TRUE,
                           -1);
    }
    return store;
}

void append_editable_column(GtkTreeView *view, const char *title, int column) {
    GtkCellRenderer *text = gtk_cell_renderer_text_new();
    g_object_set_data(G_OBJECT(text), CELL_COLUMN_KEY, GINT_TO_POINTER(column));
    g_signal_connect(text, "edited", G_CALLBACK(on_cell_edited), gtk_tree_view_get_model(view));
    gtk_tree_view_append_column(
        view, gtk_tree_view_column_new_with_attributes(title, text, "text", column, "editable",
                                                       FOUND_COL_EDITABLE, nullptr));
}

const char kKeepSelection[] = "quorvane-keep-selection";

gboolean may_change_selection(GtkTreeSelection *selection, GtkTreeModel *, GtkTreePath *, gboolean,
                              gpointer) {
    return g_object_get_data(G_OBJECT(selection), kKeepSelection) == nullptr;
}

// Every row starts chosen, and putting the cursor on a cell to edit it would
// choose that row alone: the cell is edited and the choice stays as it was.
void edit_found_cell(GtkTreeView *view, GtkTreePath *path, GtkTreeViewColumn *column) {
    const GListPtr cells(gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column)));
    auto *text = GTK_CELL_RENDERER(cells->data);
    gtk_widget_grab_focus(GTK_WIDGET(view));
    GtkTreeSelection *selection = gtk_tree_view_get_selection(view);
    g_object_set_data(G_OBJECT(selection), kKeepSelection, GINT_TO_POINTER(1));
    gtk_tree_view_set_cursor_on_cell(view, path, column, text, TRUE);
    g_object_set_data(G_OBJECT(selection), kKeepSelection, nullptr);
}

// A plain click on a chosen row's cell edits the cell.
gboolean on_found_button_press(GtkWidget *widget, GdkEventButton *event, gpointer) {
    if (event->button != 1 || event->type != GDK_BUTTON_PRESS ||
        (event->state & (GDK_SHIFT_MASK | GDK_CONTROL_MASK)) != 0)
        return FALSE;
    GtkTreeView *view = GTK_TREE_VIEW(widget);
    GtkTreePath *pressed_path = nullptr;
    GtkTreeViewColumn *column = nullptr;
    if (!gtk_tree_view_get_path_at_pos(view, static_cast<gint>(event->x),
                                       static_cast<gint>(event->y), &pressed_path, &column, nullptr,
                                       nullptr))
        return FALSE;
    const TreePathPtr pressed(pressed_path);
    if (!gtk_tree_selection_path_is_selected(gtk_tree_view_get_selection(view), pressed.get()))
        return FALSE;
    edit_found_cell(view, pressed.get(), column);
    return TRUE;
}

// How a plain key moves the cursor, as the view's own bindings would; false
// for a key that does not move it.
bool cursor_move_of(guint keyval, GtkMovementStep *step, int *count) {
    switch (keyval) {
    case GDK_Up:
    case GDK_KP_Up:
        *step = GTK_MOVEMENT_DISPLAY_LINES, *count = -1;
        return true;
    case GDK_Down:
    case GDK_KP_Down:
        *step = GTK_MOVEMENT_DISPLAY_LINES, *count = 1;
        return true;
    case GDK_Page_Up:
    case GDK_KP_Page_Up:
        *step = GTK_MOVEMENT_PAGES, *count = -1;
        return true;
    case GDK_Page_Down:
    case GDK_KP_Page_Down:
        *step = GTK_MOVEMENT_PAGES, *count = 1;
        return true;
    case GDK_Home:
    case GDK_KP_Home:
        *step = GTK_MOVEMENT_BUFFER_ENDS, *count = -1;
        return true;
    case GDK_End:
    case GDK_KP_End:
        *step = GTK_MOVEMENT_BUFFER_ENDS, *count = 1;
        return true;
    default:
        return false;
    }
}

// Every row starts chosen, and the view's plain arrows would choose the row
// they reach alone: here they move the cursor and leave the choice as it
// is, and Space changes the choice of the row with the cursor, as Ctrl with
// the arrows and Ctrl+Space do. Return adds, as in every dialog; F2 edits the
// cell with the cursor, as in the main list. An open editor has the keys to
// itself.
gboolean on_found_key_press(GtkWidget *widget, GdkEventKey *event, gpointer dialog) {
    if ((event->state & gtk_accelerator_get_default_mod_mask()) != 0)
        return FALSE;
    GtkMovementStep step = GTK_MOVEMENT_DISPLAY_LINES;
    int count = 0;
    gboolean handled = FALSE;
    if (cursor_move_of(event->keyval, &step, &count)) {
        GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(widget));
        g_object_set_data(G_OBJECT(selection), kKeepSelection, GINT_TO_POINTER(1));
        g_signal_emit_by_name(widget, "move-cursor", step, count, &handled);
        g_object_set_data(G_OBJECT(selection), kKeepSelection, nullptr);
        return TRUE;
    }
    if (event->keyval == GDK_space || event->keyval == GDK_KP_Space) {
        g_signal_emit_by_name(widget, "toggle-cursor-row", &handled);
        return TRUE;
    }
    if (event->keyval == GDK_Return || event->keyval == GDK_KP_Enter) {
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
        return TRUE;
    }
    if (event->keyval != GDK_F2)
        return FALSE;
    GtkTreeView *view = GTK_TREE_VIEW(widget);
    GtkTreePath *cursor_path = nullptr;
    GtkTreeViewColumn *column = nullptr;
    gtk_tree_view_get_cursor(view, &cursor_path, &column);
    if (cursor_path == nullptr)
        return TRUE;
    const TreePathPtr cursor(cursor_path);
    edit_found_cell(view, cursor.get(),
                    column != nullptr ? column : gtk_tree_view_get_column(view, 0));
    return TRUE;
}

GtkWidget *create_found_view(GtkListStore *store, GtkWidget *dialog) {
    GtkWidget *view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    gtk_tree_view_set_rules_hint(GTK_TREE_VIEW(view), TRUE);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(view));
    gtk_tree_selection_set_mode(selection, GTK_SELECTION_MULTIPLE);
    gtk_tree_selection_set_select_function(selection, may_change_selection, nullptr, nullptr);
    g_signal_connect(view, "button_press_event", G_CALLBACK(on_found_button_press), nullptr);
    g_signal_connect(view, "key_press_event", G_CALLBACK(on_found_key_press), dialog);
    append_editable_column(GTK_TREE_VIEW(view), tr("Command"), FOUND_COL_COMMAND);
    append_editable_column(GTK_TREE_VIEW(view), tr("Description"), FOUND_COL_DESCRIPTION);
    // Named for a screen reader as its dialog is titled.
    atk_object_set_name(gtk_widget_get_accessible(view), tr("Window Managers found"));
    return view;
}

// Large enough to show every row with its whole path and description, when the
// screen has room for that; never smaller than the least room.
void size_found_view(GtkWidget *view) {
    // Measured once realized: before that the rows are only estimated.
    gtk_widget_realize(view);
    GtkRequisition rows;
    gtk_widget_size_request(view, &rows);
    GdkScreen *screen = gtk_widget_get_screen(view);
    const auto most = [](int screen_side) { return static_cast<int>(screen_side * kMostOfScreen); };
    gtk_widget_set_size_request(
        view, std::max(kViewWidth, std::min(rows.width, most(gdk_screen_get_width(screen)))),
        std::max(kViewHeight, std::min(rows.height, most(gdk_screen_get_height(screen)))));
}

void on_found_selection_changed(GtkTreeSelection *selection, gpointer label) {
    GtkTreeView *view = gtk_tree_selection_get_tree_view(selection);
    const int rows = gtk_tree_model_iter_n_children(gtk_tree_view_get_model(view), nullptr);
    const int chosen = gtk_tree_selection_count_selected_rows(selection);
    // TRANSLATORS: under the list of window managers found: how many of
    // them Add would add (the first %d), of how many found (the second).
    const GCharPtr text = format_message(
        trn("%d of %d selected", "%d of %d selected", static_cast<unsigned long>(chosen)), chosen,
        rows);
    gtk_label_set_text(GTK_LABEL(label), text.get());
    // Said with the list whenever the keyboard comes to it.
    atk_object_set_description(gtk_widget_get_accessible(GTK_WIDGET(view)), text.get());
}

// A line under the list says how many rows are chosen, and so does the list
// to a screen reader, as the choice changes.
void add_choice_count(GtkWidget *dialog, GtkWidget *view) {
    GtkWidget *label = gtk_label_new("");
    gtk_misc_set_alignment(GTK_MISC(label), 0, 0.5);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), label, FALSE,
                       FALSE, 2);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(view));
    g_signal_connect_object(selection, "changed", G_CALLBACK(on_found_selection_changed), label,
                            GConnectFlags(0));
    on_found_selection_changed(selection, label);
}

// Add chosen from the keyboard leaves an edit open in the list; a click on it
// would have taken the focus away and kept the edit, and so does this.
void finish_open_edit(GtkWidget *view) {
    const GListPtr children(gtk_container_get_children(GTK_CONTAINER(view)));
    for (GList *child = children.get(); child != nullptr; child = child->next)
        if (GTK_IS_CELL_EDITABLE(child->data)) {
            gtk_cell_editable_editing_done(GTK_CELL_EDITABLE(child->data));
            break; // the view is editing one cell at most, and that one has gone now
        }
}

// gtk_tree_selection_selected_foreach callback; data is the AppState.
void add_found_row(GtkTreeModel *model, GtkTreePath *, GtkTreeIter *row, gpointer state) {
    gchar *command = nullptr;
    gchar *description = nullptr;
    gtk_tree_model_get(model, row, FOUND_COL_COMMAND, &command, FOUND_COL_DESCRIPTION, &description,
                       -1);
    GCharPtr owned_command(command);
    GCharPtr owned_description(description);
    add_wm_row(static_cast<AppState *>(state), command, description);
}

} // namespace

bool is_executable_file(const char *path) {
    // A folder passes the executable test alone: it can be searched.
    return g_file_test(path, G_FILE_TEST_IS_EXECUTABLE) &&
           g_file_test(path, G_FILE_TEST_IS_REGULAR);
}

std::vector<FoundWm> find_known_wms(const KnownWm *table, const char *const *prefixes) {
    std::vector<FoundWm> found;
    for (const KnownWm *wm = table; wm->command[0] != '\0'; ++wm)
        for (const char *const *prefix = prefixes; (*prefix)[0] != '\0'; ++prefix) {
            const GCharPtr path = format_message("%s%s", *prefix, wm->command);
            if (is_executable_file(path.get()))
                found.push_back(FoundWm{path.get(), wm->description});
        }
    return found;
}

std::vector<FoundWm> find_installed_wms(const KnownWm *table, const char *const *prefixes) {
    std::vector<FoundWm> found = find_known_wms(table, prefixes);
    for (const std::vector<FoundWm> &more :
         {find_session_wms(session_data_dirs()), find_alternative_wms()})
        found.insert(found.end(), more.begin(), more.end());
    fold_same_programs(&found);
    drop_repeated_descriptions(&found);
    return found;
}

int search_known_wms(AppState *state) {
    return show_found_wms(state, find_installed_wms(known_wms, search_dirs));
}

int show_found_wms(AppState *state, const std::vector<FoundWm> &found) {
    GtkWidget *dialog = gtk_dialog_new_with_buttons(
        tr("Window Managers found"), nullptr, GTK_DIALOG_MODAL, GTK_STOCK_ADD, GTK_RESPONSE_OK,
        GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL, nullptr);
    // Over the main window, or where it will show when it has not yet.
    gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(state->window));
    gtk_window_set_position(GTK_WINDOW(dialog), gtk_widget_get_mapped(state->window)
                                                    ? GTK_WIN_POS_CENTER_ON_PARENT
                                                    : GTK_WIN_POS_CENTER);

    GtkWidget *scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_ETCHED_IN);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), scrolled, TRUE,
                       TRUE, 0);

    // The view holds the store from here on, and it goes with the dialog.
    GObjectPtr<GtkListStore> store(create_found_store(found));
    GtkWidget *view = create_found_view(store.get(), dialog);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(view));
    gtk_tree_selection_select_all(selection);
    store.reset();
    gtk_container_add(GTK_CONTAINER(scrolled), view);
    size_found_view(view);
    add_choice_count(dialog, view);

    gtk_widget_show_all(gtk_bin_get_child(GTK_BIN(dialog)));
    show_with_focus(dialog, view);
    int added = 0;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        finish_open_edit(view);
        added = gtk_tree_selection_count_selected_rows(selection);
        gtk_tree_selection_selected_foreach(selection, add_found_row, state);
    }
    gtk_widget_destroy(dialog);
    return added;
}
