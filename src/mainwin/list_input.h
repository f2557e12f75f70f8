// SPDX-License-Identifier: GPL-2.0-or-later
// Keyboard and mouse handling of the main list: every press stops the
// countdown; Return, a double click and Return in the list's type-ahead start
// the selected row; a right press (which first selects the row under it),
// Shift+F10 and the Menu key open the context menu; F2 or a slow second click
// edit a description in place; Alt+Up and Alt+Down move the selected row one
// place, and a screen reader says where it is.
#pragma once

#include "app/app_state.h"

// Connects the list's key and mouse handlers to its view, whose description
// column and text renderer are given; the renderer is made editable only
// while an edit is being begun.
void connect_list_input(AppState *state, GtkTreeViewColumn *text_column, GtkCellRenderer *text);
