// SPDX-License-Identifier: GPL-2.0-or-later
// The auto-start countdown: its timer, its label, what it has a screen reader
// hear, the keys that stop it, and the launch when it runs out. Only this
// module adds or removes the countdown timer.
#pragma once

#include "app/app_state.h"

// Starts the countdown when entries were loaded and delay is above 0.05.
// The label's accessible name says which entry starts in how many whole
// seconds, and changes once a second; the label itself shows the tenths. The
// selected row says it too, and a screen reader hears it again at ten and
// five seconds left. Any key pressed in the program's windows stops it, one
// that a screen reader keeps for itself too.
void start_countdown(AppState *state, int loaded_entries);
// Timer callback, every 100 ms.
gboolean on_countdown_tick(gpointer data);
// Removes a pending countdown timer, and the label's accessible name says
// that it has stopped, as a screen reader hears once; a stopped countdown
// never restarts.
void stop_countdown(AppState *state);
