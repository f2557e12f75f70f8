// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/countdown.h"

#include "app/legacy_gtk.h"
#include "app/message.h"
#include "launch/launcher.h"

namespace {
constexpr guint32 kTickMs = 100;
constexpr double kStep = -0.1;
constexpr double kStartThreshold = 0.05;
} // namespace

void start_countdown(AppState *state, int loaded_entries) {
    // Written so that a delay that is not a number fails the test.
    if (loaded_entries == 0 || !(state->delay > kStartThreshold))
        return;
    state->countdown = state->delay;
    state->timeout_id = add_legacy_timeout(kTickMs, on_countdown_tick, state);
}

// The count is carried from tick to tick in double precision, never
// recomputed from the delay or the clock; where it ends follows from that.
gint on_countdown_tick(gpointer data) {
    auto *state = static_cast<AppState *>(data);
    state->countdown += kStep;
    if (state->countdown <= 0) {
        stop_countdown(state);
        launch_selected_wm(state);
    }
    const GCharPtr text = format_message("%.1f", state->countdown);
    gtk_label_set_text(GTK_LABEL(state->countdown_label), text.get());
    return TRUE;
}

void stop_countdown(AppState *state) {
    if (state->timeout_id == 0)
        return;
    remove_legacy_timeout(state->timeout_id);
    state->timeout_id = 0;
}
