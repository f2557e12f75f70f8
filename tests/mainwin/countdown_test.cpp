// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/countdown.h"

#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "support/temp_dir.h"
#include "wmlist/wm_list.h"

#include <gdk/gdkkeysyms.h>
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
        write_file(wm, "#!/bin/sh\necho started >>'" + started_log + "'\n");
        ASSERT_EQ(chmod(wm.c_str(), 0755), 0);
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
    TempDir tmp;
    // A window manager that adds a line to started_log each time it starts.
    const std::string wm = tmp.file("wm");
    const std::string started_log = tmp.file("log");
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
        {0, 3, false},  {0.05, 3, false}, {NAN, 3, false}, {INFINITY, 3, false},
        {-1, 3, false}, {0.051, 3, true}, {15, 1, true},   {15, 0, false},
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
    add_wm_row(&state, wm.c_str(), "WM");
    select_list_row(state.tree_view, 0);
    state.restart = 1;
    state.delay = 0.3;
    start_countdown(&state, 1);

    for (int tick = 1; tick <= 2; ++tick)
        on_countdown_tick(&state);
    EXPECT_FALSE(file_exists(started_log));
    EXPECT_NE(state.timeout_id, 0u);
    EXPECT_EQ(ticks_until_stopped(), 1);
    EXPECT_EQ(read_file(started_log), "started\n");

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

// The kinds of press in the list, each as the toolkit gets it from the X
// server; the end-to-end tests send one key and one click through X.
enum class Press {
    ArrowKey,
    MenuKey,
    KeypadEnter,
    LeftClickOnARow,
    MiddleClick,
    LeftClickBelowTheRows,
    RightClick
};

class CountdownStopTest : public CountdownTest, public ::testing::WithParamInterface<Press> {
  protected:
    void key(guint keyval) {
        GdkKeymapKey *keys = nullptr;
        gint count = 0;
        ASSERT_TRUE(gdk_keymap_get_entries_for_keyval(nullptr, keyval, &keys, &count));
        GdkEvent *event = gdk_event_new(GDK_KEY_PRESS);
        event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(state.window)));
        event->key.keyval = keyval;
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
        event->key.group = static_cast<guint8>(keys[0].group);
        g_free(keys);
        gtk_main_do_event(event);
        event->type = GDK_KEY_RELEASE;
        gtk_main_do_event(event);
        gdk_event_free(event);
    }

    // A press, and its release unless a menu takes it, at a point of the
    // list's rows; y may lie below the last row.
    void click(int button, int x, int y) {
        GdkEvent *event = gdk_event_new(GDK_BUTTON_PRESS);
        event->button.window =
            GDK_WINDOW(g_object_ref(gtk_tree_view_get_bin_window(GTK_TREE_VIEW(state.tree_view))));
        event->button.button = static_cast<guint>(button);
        event->button.x = x;
        event->button.y = y;
        event->button.device = gdk_device_get_core_pointer();
        gtk_main_do_event(event);
        if (button != 3) {
            event->type = GDK_BUTTON_RELEASE;
            gtk_main_do_event(event);
        }
        gdk_event_free(event);
    }

    GdkRectangle row_area(int index) {
        GdkRectangle area;
        GtkTreePath *path = gtk_tree_path_new_from_indices(index, -1);
        gtk_tree_view_get_background_area(GTK_TREE_VIEW(state.tree_view), path, nullptr, &area);
        gtk_tree_path_free(path);
        return area;
    }

    void press(Press what) {
        const GdkRectangle row = row_area(2);
        switch (what) {
        case Press::ArrowKey:
            key(GDK_Down);
            break;
        case Press::MenuKey:
            key(GDK_Menu);
            break;
        case Press::KeypadEnter:
            key(GDK_KP_Enter);
            break;
        case Press::LeftClickOnARow:
            click(1, row.x + 40, row.y + row.height / 2);
            break;
        case Press::MiddleClick:
            click(2, row.x + 40, row.y + row.height / 2);
            break;
        case Press::LeftClickBelowTheRows:
            click(1, row.x + 40, row.y + row.height + 20);
            break;
        case Press::RightClick:
            click(3, row.x + 40, row.y + row.height / 2);
            break;
        }
    }
};

// However the list is pressed, the countdown stops then and there, stays
// stopped once a menu that the press opened has gone, and nothing starts.
TEST_P(CountdownStopTest, AnyPressInTheListStopsItForGood) {
    for (const char *name : {"First", "Second", "Third"})
        add_wm_row(&state, wm.c_str(), name);
    select_list_row(state.tree_view, 1);
    state.restart = 1;
    gtk_widget_show(state.window);
    ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(state.window); }));
    gtk_widget_grab_focus(state.tree_view);
    state.delay = 60;
    start_countdown(&state, 3);
    ASSERT_NE(state.timeout_id, 0u);

    press(GetParam());
    const bool stopped = state.timeout_id == 0;
    EXPECT_TRUE(stopped) << "the countdown still runs";
    pump_events();
    if (GtkWidget *menu = gtk_grab_get_current(); menu != nullptr && GTK_IS_MENU(menu))
        gtk_menu_shell_cancel(GTK_MENU_SHELL(menu));
    pump_events();
    if (stopped) {
        EXPECT_EQ(state.timeout_id, 0u) << "the countdown started again";
    }
    EXPECT_FALSE(file_exists(started_log)) << "the press started a window manager";
}

std::string press_name(const ::testing::TestParamInfo<Press> &info) {
    const char *const names[] = {"ArrowKey",        "MenuKey",     "KeypadEnter",
                                 "LeftClickOnARow", "MiddleClick", "LeftClickBelowTheRows",
                                 "RightClick"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Presses, CountdownStopTest,
                         ::testing::Values(Press::ArrowKey, Press::MenuKey, Press::KeypadEnter,
                                           Press::LeftClickOnARow, Press::MiddleClick,
                                           Press::LeftClickBelowTheRows, Press::RightClick),
                         press_name);

} // namespace
