// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/countdown.h"

#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "support/temp_dir.h"
#include "wmlist/wm_list.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <string>

namespace {

class CountdownTest : public ::testing::Test {
  protected:
    void SetUp() override {
        create_main_window(&state);
        state.save_on_exit = 0;
    }
    void TearDown() override {
        stop_countdown(&state);
        destroy_main_window(&state);
    }

    std::string label() const { return gtk_label_get_text(GTK_LABEL(state.countdown_label)); }

    // Drives the real tick by hand, as the timer would, until it stops itself.
    int ticks_until_stopped() {
        int ticks = 0;
        while (state.timeout_id != 0 && ticks < 100000) {
            EXPECT_TRUE(on_countdown_tick(&state));
            ++ticks;
        }
        return ticks;
    }

    AppState state{};
};

// Where the count ends follows from adding -0.1 in double precision each tick.
TEST_F(CountdownTest, RunsOutOnTheTickThatTheDoubleSumGives) {
    struct Case {
        double delay;
        int launching_tick;
        const char *label_after;
    };
    const Case cases[] = {
        {0.06, 1, "-0.0"}, {0.1, 1, "0.0"},   {1, 11, "-0.1"},
        {3, 30, "-0.0"},   {15, 151, "-0.1"}, {20, 200, "-0.0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.delay);
        gtk_label_set_text(GTK_LABEL(state.countdown_label), "");
        state.delay = c.delay;
        start_countdown(&state, 1);
        ASSERT_NE(state.timeout_id, 0u);
        EXPECT_EQ(label(), "") << "the label waits for the first tick";
        EXPECT_EQ(ticks_until_stopped(), c.launching_tick);
        EXPECT_EQ(label(), c.label_after);
    }
}

TEST_F(CountdownTest, StartsOnlyWithEntriesAndADelayAboveTheThreshold) {
    struct Case {
        double delay;
        int loaded;
        bool starts;
    };
    const Case cases[] = {
        {0, 3, false},    {0.05, 3, false}, {NAN, 3, false}, {-1, 3, false},
        {0.051, 3, true}, {15, 1, true},    {15, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "delay " << c.delay << ", entries " << c.loaded);
        state.delay = c.delay;
        state.countdown = -7;
        start_countdown(&state, c.loaded);
        EXPECT_EQ(state.timeout_id != 0, c.starts);
        if (c.starts) {
            EXPECT_EQ(state.countdown, c.delay);
        }
        stop_countdown(&state);
        EXPECT_EQ(label(), "");
    }
}

// The launch happens once, on the last tick, with the timer already gone.
TEST_F(CountdownTest, LaunchesTheSelectedRowOnceWhenItRunsOut) {
    TempDir tmp;
    const std::string script = tmp.file("wm");
    const std::string log = tmp.file("log");
    write_file(script, "#!/bin/sh\necho started >>'" + log + "'\n");
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
    add_wm_row(&state, script.c_str(), "WM");
    GtkTreePath *first = gtk_tree_path_new_first();
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(state.tree_view), first, nullptr, FALSE);
    gtk_tree_path_free(first);
    state.restart = 1;
    state.delay = 0.3;
    start_countdown(&state, 1);

    for (int tick = 1; tick <= 2; ++tick)
        on_countdown_tick(&state);
    EXPECT_FALSE(file_exists(log));
    EXPECT_NE(state.timeout_id, 0u);
    EXPECT_EQ(ticks_until_stopped(), 1);
    EXPECT_EQ(read_file(log), "started\n");

    stop_countdown(&state); // a second stop is harmless
    EXPECT_EQ(state.timeout_id, 0u);
}

TEST_F(CountdownTest, RealTimerTicksEveryTenthOfASecond) {
    state.delay = 0.25;
    start_countdown(&state, 1);
    const gint64 started = g_get_monotonic_time();
    ASSERT_TRUE(pump_until([&] { return !label().empty(); }, std::chrono::seconds(5)));
    EXPECT_EQ(label(), "0.1");
    const gint64 first_tick_us = g_get_monotonic_time() - started;
    EXPECT_GE(first_tick_us, 90000);
    ASSERT_TRUE(pump_until([&] { return state.timeout_id == 0; }, std::chrono::seconds(5)));
    EXPECT_EQ(label(), "-0.1");
}

} // namespace
