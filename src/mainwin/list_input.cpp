// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/list_input.h"

#include "launch/launcher.h"
#include "mainwin/context_menu.h"
#include "mainwin/countdown.h"

#include <gdk/gdkkeysyms.h>

gboolean on_list_key_press(GtkWidget *, GdkEventKey *event, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    stop_countdown(state);
    if (event->keyval == GDK_Return)
        launch_selected_wm(state);
    // The view still handles the key, Return included, after the launch.
    return FALSE;
}

gboolean on_list_button_press(GtkWidget *, GdkEventButton *event, gpointer data) {
    auto *state = static_cast<AppState *>(data);
    stop_countdown(state);
    // Kept from the view, so that the menu acts on the row selected before.
    if (event->button == 3 && event->type == GDK_BUTTON_PRESS) {
        popup_context_menu(state, event->button, event->time);
        return TRUE;
    }
    // The first press of a double click went to the view and selected the row.
    if (event->button == 1 && event->type == GDK_2BUTTON_PRESS) {
        launch_selected_wm(state);
        return TRUE;
    }
    return FALSE;
}
