// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/countdown.h"

#include "app/i18n.h"
#include "app/message.h"
#include "launch/launcher.h"
#include "wmlist/wm_list.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr guint kTickMs = 100;
constexpr double kStep = -0.1;
constexpr double kStartThreshold = 0.05;

// The whole seconds left, rounded up from the tenths the label shows: a
// screen reader hears them once a second, not the tenths. The last tick
// before the launch still counts as one.
int seconds_left(double countdown) {
    return std::max(1, static_cast<int>(std::ceil(std::round(countdown * 10) / 10)));
}

void set_countdown_name(AppState *state, const char *name) {
    atk_object_set_name(gtk_widget_get_accessible(state->countdown_label), name);
}

// Says what will start, and when: the row the launch will take.
void name_countdown(AppState *state, int seconds) {
    GtkTreeModel *model = nullptr;
    GtkTreeIter row;
    GCharPtr name;
    if (gtk_tree_selection_get_selected(
            gtk_tree_view_get_selection(GTK_TREE_VIEW(state->tree_view)), &model, &row)) {
        const GCharPtr description = display_text(read_wm_row(model, &row).description.c_str());
        // TRANSLATORS: what a screen reader says of the countdown; %s is the
        // description of the entry that will start, %d the seconds left.
        name = format_message(trn("Starts %s in %d second", "Starts %s in %d seconds",
                                  static_cast<unsigned long>(seconds)),
                              description.get(), seconds);
    } else {
        // TRANSLATORS: the same when no entry is selected, so that nothing
        // will start; %d is the seconds left.
        name = format_message(trn("No entry selected; %d second left",
                                  "No entry selected; %d seconds left",
                                  static_cast<unsigned long>(seconds)),
                              seconds);
    }
    set_countdown_name(state, name.get());
}

} // namespace

void start_countdown(AppState *state, int loaded_entries) {
    // Written so that a delay that is not a number fails the test.
    if (loaded_entries == 0 || !(state->delay > kStartThreshold && std::isfinite(state->delay)))
        return;
    state->countdown = state->delay;
    state->timeout_id = g_timeout_add(kTickMs, on_countdown_tick, state);
    name_countdown(state, seconds_left(state->countdown));
}

// The count is carried from tick to tick in double precision, never
// recomputed from the delay or the clock; where it ends follows from that.
gboolean on_countdown_tick(gpointer data) {
    auto *state = static_cast<AppState *>(data);
    const int seconds_before = seconds_left(state->countdown);
    state->countdown += kStep;
    if (state->countdown <= 0) {
        stop_countdown(state);
        launch_selected_wm(state);
    } else if (seconds_left(state->countdown) != seconds_before) {
        name_countdown(state, seconds_left(state->countdown));
    }
    const GCharPtr text = format_message("%.1f", state->countdown);
    gtk_label_set_text(GTK_LABEL(state->countdown_label), text.get());
    return TRUE;
}

void stop_countdown(AppState *state) {
    if (state->timeout_id == 0)
        return;
    g_source_remove(state->timeout_id);
    state->timeout_id = 0;
    // TRANSLATORS: what a screen reader says of the countdown once nothing
    // will start by itself any more.
    set_countdown_name(state, tr("Countdown stopped"));
}
