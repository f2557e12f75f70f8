// The preferences window: the countdown length, the go-back button's start-up
// state and the About page.
#pragma once

#include "app/app_state.h"

// "clicked" handler of the main window's Preferences button.
void show_preferences(GtkWidget *button, gpointer state);
