// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/countdown.h"

#include "app/i18n.h"
#include "app/message.h"
#include "launch/launcher.h"
#include "mainwin/list_access.h"
#include "wmlist/wm_list.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {
constexpr guint kTickMs = 100;
constexpr double kStep = -0.1;
constexpr double kStartThreshold = 0.05;

// On the countdown label: the id of the key listener that watches for keys
// while the countdown runs.
const char kKeyListenerKey[] = "quorvane-countdown-keys";

// The whole seconds left, rounded up from the tenths the label shows: a
// screen reader hears them once a second, not the tenths. The last tick
// before the launch still counts as one.
int seconds_left(double countdown) {
    return std::max(1, static_cast<int>(std::ceil(std::round(countdown * 10) / 10)));
}

void set_countdown_name(AppState *state, const char *name) {
    atk_object_set_name(gtk_widget_get_accessible(state->countdown_label), name);
}

// The seconds left at which a screen reader hears the countdown once more,
// whatever has the focus: one that missed the window opening (started after
// it, or not yet listening to the program) hears it in time, and nobody
// hears it every second.
constexpr int kSaidAgainAt[] = {10, 5};

// Says what will start, and when: the row the launch will take. When told,
// a screen reader says it now.
void name_countdown(AppState *state, int seconds, bool tell) {
    GtkTreeView *view = GTK_TREE_VIEW(state->tree_view);
    GtkTreeModel *model = nullptr;
    GtkTreeIter row;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(view), &model, &row)) {
        // TRANSLATORS: what a screen reader says of the countdown when no
        // entry is selected, so that nothing will start; %d is the seconds left.
        const GCharPtr name = format_message(trn("No entry selected; %d second left",
                                                 "No entry selected; %d seconds left",
                                                 static_cast<unsigned long>(seconds)),
                                             seconds);
        set_countdown_name(state, name.get());
        return;
    }
    const GCharPtr description = display_text(read_wm_row(model, &row).description.c_str());
    const auto plural = static_cast<unsigned long>(seconds);
    // TRANSLATORS: what a screen reader says of the countdown; %s is the
    // description of the entry that will start, %d the seconds left.
    const GCharPtr name =
        format_message(trn("Starts %s in %d second", "Starts %s in %d seconds", plural),
                       description.get(), seconds);
    set_countdown_name(state, name.get());
    // TRANSLATORS: what a screen reader says after the entry that the
    // countdown will start, when it comes to that entry; %d is the seconds left.
    const GCharPtr after_row =
        format_message(trn("Starts in %d second. Any key stops it.",
                           "Starts in %d seconds. Any key stops it.", plural),
                       seconds);
    set_countdown_sentence(view, after_row.get());
    if (tell) {
        // TRANSLATORS: what a screen reader says of the countdown now and
        // then, whatever has the focus; %s is the description of the entry
        // that will start, %d the seconds left.
        const GCharPtr sentence =
            format_message(trn("Starts %s in %d second. Any key stops it.",
                               "Starts %s in %d seconds. Any key stops it.", plural),
                           description.get(), seconds);
        tell_screen_reader(view, sentence.get());
    }
}

// A key that a screen reader keeps for itself (Orca's review keys, its
// Where Am I) never reaches the list, whose own handler stops the countdown:
// the toolkit's accessibility module hands it to the screen reader first,
// and to this listener beside it. Every key pressed in the program's windows
// stops it, then: nothing starts by itself while the person reads the window.
gint on_key_heard(AtkKeyEventStruct *event, gpointer data) {
    if (event->type == ATK_KEY_EVENT_PRESS)
        stop_countdown(static_cast<AppState *>(data));
    return FALSE;
}

// Not from within the listener: the module hands each key to its listeners
// one after the other, and one removed meanwhile may keep the key from the
// screen reader.
gboolean remove_key_listener(gpointer listener) {
    atk_remove_key_event_listener(GPOINTER_TO_UINT(listener));
    return FALSE;
}

// Removes the timer and the key listener; true when a countdown was running.
bool end_countdown(AppState *state) {
    if (state->timeout_id == 0)
        return false;
    g_source_remove(state->timeout_id);
    state->timeout_id = 0;
    if (gpointer listener = g_object_get_data(G_OBJECT(state->countdown_label), kKeyListenerKey))
        g_idle_add(remove_key_listener, listener);
    set_countdown_sentence(GTK_TREE_VIEW(state->tree_view), nullptr);
    // TRANSLATORS: what a screen reader says of the countdown once nothing
    // will start by itself any more.
    set_countdown_name(state, tr("Countdown stopped"));
    return true;
}

} // namespace

void start_countdown(AppState *state, int loaded_entries) {
    // Written so that a delay that is not a number fails the test.
    if (loaded_entries == 0 || !(state->delay > kStartThreshold && std::isfinite(state->delay)))
        return;
    state->countdown = state->delay;
    state->timeout_id = g_timeout_add(kTickMs, on_countdown_tick, state);
    // Without the module, no screen reader takes keys, and this does nothing.
    g_object_set_data(G_OBJECT(state->countdown_label), kKeyListenerKey,
                      GUINT_TO_POINTER(atk_add_key_event_listener(on_key_heard, state)));
    name_countdown(state, seconds_left(state->countdown), false);
}

// The count is carried from tick to tick in double precision, never
// recomputed from the delay or the clock; where it ends follows from that.
gboolean on_countdown_tick(gpointer data) {
    auto *state = static_cast<AppState *>(data);
    const int seconds_before = seconds_left(state->countdown);
    state->countdown += kStep;
    if (state->countdown <= 0) {
        // Run out rather than stopped: what follows is the launch.
        end_countdown(state);
        launch_selected_wm(state);
    } else if (const int seconds = seconds_left(state->countdown); seconds != seconds_before) {
        name_countdown(state, seconds,
                       std::find(std::begin(kSaidAgainAt), std::end(kSaidAgainAt), seconds) !=
                           std::end(kSaidAgainAt));
    }
    const GCharPtr text = format_message("%.1f", state->countdown);
    gtk_label_set_text(GTK_LABEL(state->countdown_label), text.get());
    return TRUE;
}

void stop_countdown(AppState *state) {
    if (end_countdown(state))
        tell_screen_reader(GTK_TREE_VIEW(state->tree_view), tr("Countdown stopped"));
}
