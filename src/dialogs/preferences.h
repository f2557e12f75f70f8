// SPDX-License-Identifier: GPL-2.0-or-later
// The preferences window: the countdown length, the go-back button's start-up
// state and the About page. Of the program's state it changes delay and
// goback_btn; its timeout field takes only a number.
#pragma once

#include "app/app_state.h"

// Runs the window; returns once it is gone.
void show_preferences(AppState *state);
