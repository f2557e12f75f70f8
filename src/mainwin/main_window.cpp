// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/main_window.h"

#include "app/i18n.h"
#include "app/message.h"
#include "app/version.h"
#include "dialogs/preferences.h"
#include "mainwin/countdown.h"
#include "mainwin/list_access.h"
#include "mainwin/list_input.h"
#include "wmlist/config_file.h"
#include "wmlist/wm_list.h"

#include <algorithm>
#include <cmath>

// The title is a name, not a message: it is not translated.
#define PROGRAM_TITLE "quorvane " QUORVANE_VERSION

namespace {

// The list area's side at the usual 96 dots per inch.
constexpr int kListAreaSide = 150;

// Text grows with the screen's font resolution (Xft.dpi), and the list area
// with it, so that as many rows show at 192 dots per inch as at 96.
int list_area_side(GtkWidget *widget) {
    const double dpi = gdk_screen_get_resolution(gtk_widget_get_screen(widget));
    return std::max(kListAreaSide, static_cast<int>(std::lround(kListAreaSide * dpi / 96)));
}

void on_quit(GtkWidget *, gpointer state) {
    save_config(static_cast<AppState *>(state));
    gtk_main_quit();
}

void on_goback_toggled(GtkToggleButton *button, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    stop_countdown(state);
    state->restart = gtk_toggle_button_get_active(button) ? 1 : 0;
}

// The countdown stops before the window opens: nothing may start by itself
// while the person changes how it starts.
void on_preferences_clicked(GtkButton *, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    stop_countdown(state);
    show_preferences(state);
}

// Alt+G ticks or unticks the button and leaves the keyboard where it was:
// the list is where a person acts, and the toolkit would move it here. A
// screen reader, which follows the keyboard, is told what became of it.
gboolean on_goback_mnemonic(GtkWidget *button, gboolean group_cycling, gpointer data) {
    if (group_cycling)
        return FALSE;
    auto *state = static_cast<AppState *>(data);
    gtk_button_clicked(GTK_BUTTON(button));
    const char *name = atk_object_get_name(gtk_widget_get_accessible(button));
    // TRANSLATORS: what a screen reader says when Alt+G ticks the go-back
    // check button; %s is the button's label.
    const char *checked = tr("%s: checked");
    // TRANSLATORS: the same when Alt+G unticks it.
    const char *not_checked = tr("%s: not checked");
    const bool ticked = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button)) != FALSE;
    const GCharPtr said = format_message(ticked ? checked : not_checked, name);
    tell_screen_reader(GTK_TREE_VIEW(state->tree_view), said.get());
    return TRUE;
}

GtkWidget *create_list_view(AppState *state) {
    GtkWidget *view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(state->store.get()));
    gtk_tree_view_set_rules_hint(GTK_TREE_VIEW(view), TRUE);
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(view), FALSE);
    gtk_tree_view_set_reorderable(GTK_TREE_VIEW(view), TRUE);
    gtk_tree_selection_set_mode(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)),
                                GTK_SELECTION_SINGLE);

    const WmViewColumns columns = append_wm_view_columns(GTK_TREE_VIEW(view));
    make_list_accessible(GTK_TREE_VIEW(view));

    state->tree_view = view;
    connect_list_input(state, columns.text, columns.text_cell);
    return view;
}

} // namespace

GtkWidget *create_main_window(AppState *state) {
    state->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(state->window), PROGRAM_TITLE);
    g_signal_connect(state->window, "destroy", G_CALLBACK(on_quit), state);
    gtk_container_set_border_width(GTK_CONTAINER(state->window), 2);
    gtk_window_set_position(GTK_WINDOW(state->window), GTK_WIN_POS_CENTER);

    GtkWidget *vbox = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(state->window), vbox);

    GtkWidget *scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
    gtk_box_pack_start(GTK_BOX(vbox), scrolled, TRUE, TRUE, 0);
    const int side = list_area_side(scrolled);
    gtk_widget_set_size_request(scrolled, side, side);

    state->store.reset(create_wm_store());
    state->tree_view = create_list_view(state);
    gtk_container_add(GTK_CONTAINER(scrolled), state->tree_view);

    state->countdown_label = gtk_label_new("");
    gtk_box_pack_start(GTK_BOX(vbox), state->countdown_label, FALSE, FALSE, 0);

    GtkWidget *goback =
        gtk_check_button_new_with_mnemonic(tr("_Go back to quorvane\nwhen the WM exits"));
    gtk_box_pack_start(GTK_BOX(vbox), goback, FALSE, FALSE, 0);
    g_signal_connect(goback, "toggled", G_CALLBACK(on_goback_toggled), state);
    g_signal_connect(goback, "mnemonic-activate", G_CALLBACK(on_goback_mnemonic), state);

    GtkWidget *buttons = gtk_hbox_new(FALSE, 0);
    gtk_container_set_border_width(GTK_CONTAINER(buttons), 5);
    gtk_box_pack_start(GTK_BOX(vbox), buttons, FALSE, FALSE, 0);

    GtkWidget *quit = gtk_button_new_from_stock(GTK_STOCK_QUIT);
    g_signal_connect(quit, "clicked", G_CALLBACK(on_quit), state);
    gtk_box_pack_start(GTK_BOX(buttons), quit, TRUE, TRUE, 2);

    GtkWidget *prefs = gtk_button_new_from_stock(GTK_STOCK_PREFERENCES);
    g_signal_connect(prefs, "clicked", G_CALLBACK(on_preferences_clicked), state);
    gtk_box_pack_start(GTK_BOX(buttons), prefs, TRUE, TRUE, 2);

    gtk_widget_show_all(vbox);
    return goback;
}

void select_row(AppState *state, int position) {
    const int rows = gtk_tree_model_iter_n_children(GTK_TREE_MODEL(state->store.get()), nullptr);
    if (position < 0 || position >= rows)
        return;
    const TreePathPtr path(gtk_tree_path_new_from_indices(position, -1));
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(state->tree_view), path.get(), nullptr, FALSE);
    scroll_to_selected_row(state);
}

void select_appended_rows(AppState *state, int count) {
    const int rows = gtk_tree_model_iter_n_children(GTK_TREE_MODEL(state->store.get()), nullptr);
    if (count > 0)
        select_row(state, rows - count);
}

void scroll_to_selected_row(AppState *state) {
    GtkTreeModel *model = nullptr;
    GtkTreeIter row;
    if (!gtk_tree_selection_get_selected(
            gtk_tree_view_get_selection(GTK_TREE_VIEW(state->tree_view)), &model, &row))
        return;
    const TreePathPtr path(gtk_tree_model_get_path(model, &row));
    // Before the window is shown, the view keeps the row and scrolls once it
    // has its size.
    gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(state->tree_view), path.get(), nullptr, FALSE, 0, 0);
}
