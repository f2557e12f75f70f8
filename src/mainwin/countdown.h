// SPDX-License-Identifier: GPL-2.0-or-later
// The auto-start countdown: its timer, its label and the launch when it runs
// out. Only this module adds or removes the countdown timer.
#pragma once

#include "app/app_state.h"

// Starts the countdown when entries were loaded and delay is above 0.05.
void start_countdown(AppState *state, int loaded_entries);
// Timer callback, every 100 ms.
gint on_countdown_tick(gpointer data);
// Removes a pending countdown timer; a stopped countdown never restarts.
void stop_countdown(AppState *state);
