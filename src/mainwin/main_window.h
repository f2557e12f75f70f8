// SPDX-License-Identifier: GPL-2.0-or-later
// The main window: its widget tree, which row is selected and in sight,
// quitting, the Preferences button, which stops the countdown before the
// window opens, and the go-back check button that keeps AppState::restart in
// step with itself.
#pragma once

#include "app/app_state.h"

// Builds the window hidden, with its contents shown; fills window, tree_view,
// store and countdown_label, and returns the go-back check button.
GtkWidget *create_main_window(AppState *state);

// Puts the cursor on the row at this position, which selects it, and brings
// the row into view; nothing when there is no such row.
void select_row(AppState *state, int position);
// Selects the first of the rows last appended, count of them, and brings it
// into view: what Return then starts is what the person sees.
void select_appended_rows(AppState *state, int count);
// Brings the selected row, if any, into view.
void scroll_to_selected_row(AppState *state);
