// SPDX-License-Identifier: GPL-2.0-or-later
// Keyboard and mouse handling of the main list: every press stops the
// countdown; Return and a double click start the selected row, and a right
// press opens the context menu without moving the selection.
#pragma once

#include "app/app_state.h"

gboolean on_list_key_press(GtkWidget *view, GdkEventKey *event, gpointer data);
gboolean on_list_button_press(GtkWidget *view, GdkEventButton *event, gpointer data);
