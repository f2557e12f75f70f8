// SPDX-License-Identifier: GPL-2.0-or-later
// The main list's context menu, built afresh each time it opens, and its
// handlers. A menu goes when it has closed, unless it is torn off; a torn-off
// menu goes when it is put back or its window is closed.
#pragma once

#include "app/app_state.h"

#include <gtk/gtk.h>

// Builds a menu and pops it up at the pointer for the press with this button
// and time.
void popup_context_menu(AppState *state, guint button, guint32 time);
// Builds a menu and pops it up at the selected row (or the list's corner when
// none is), for a key; its first entry is highlighted.
void popup_context_menu_at_selected_row(AppState *state);
