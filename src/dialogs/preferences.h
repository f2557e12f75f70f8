// SPDX-License-Identifier: GPL-2.0-or-later
// The preferences window: the countdown length, the go-back button's start-up
// state and the About page. Of the program's state it changes delay and
// goback_btn; its timeout field takes only a number.
#pragma once

#include "app/app_state.h"

// What the OK button needs; lives in show_preferences while the window does.
struct PreferencesData {
    GtkWidget *prefs_window;
    GtkWidget *spin_button;
    AppState *state;
};

// Runs the window; returns once it is gone.
void show_preferences(AppState *state);

// Stores the timeout field's value in delay (left alone, the field holds the
// delay as it was, every digit of it, held to the field's bounds); closes
// the window.
void on_preferences_ok(GtkWidget *button, gpointer data);

// The radio buttons set goback_btn as soon as they are clicked.
void on_goback_checked(GtkWidget *button, gpointer state);
void on_goback_not_checked(GtkWidget *button, gpointer state);
void on_goback_remember(GtkWidget *button, gpointer state);
