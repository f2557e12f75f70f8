// SPDX-License-Identifier: GPL-2.0-or-later
// The preferences window in the running program, driven by the mouse and the
// keyboard; what it changes shows in the file written at quit.
#include "e2e/dialog_input.h"
#include "e2e/e2e_fixture.h"

#include "support/wait.h"

#include <functional>
#include <string>
#include <vector>

namespace {

#define PREFS_TITLE "Preferences"

class PreferencesE2e : public QuorvaneE2e {
  protected:
    // A countdown long enough for a test to act before it runs out.
    void start_with(double delay, int goback_btn) {
        install_fake_wm("first-wm");
        write_config({"First=first-wm"}, delay, 0, 0, goback_btn);
        start();
        main_ = main_window();
        ASSERT_NE(main_, 0u) << err();
    }

    // The Preferences button fills the right half of the bottom row.
    void click_preferences_button() {
        int left, top, width, height;
        x().geometry(main_, &left, &top, &width, &height);
        x().move_pointer(left + width * 3 / 4, top + height - 19);
        x().click(1);
    }

    // Alt+P on the main window, with the pointer put somewhere else first.
    void open_by_key_with_pointer_at(int px, int py) {
        ASSERT_TRUE(x().wait_for_focus(main_));
        x().move_pointer(px, py);
        x().key("p", {"Alt_L"});
    }

    Window wait_for_prefs() { return x().wait_for_viewable(PREFS_TITLE); }

    // The window opens with the keyboard in the timeout field; Tab goes on
    // to the radio buttons, OK and Cancel.
    void tab(int times) {
        for (int i = 0; i < times; ++i)
            x().key("Tab");
    }

    void quit_and_expect_saved(const std::vector<std::string> &lines) {
        if (HasFatalFailure())
            return;
        x().close_window(main_);
        ASSERT_EQ(exit_code(), 0) << err();
        const std::string saved = read_file(config_path());
        for (const std::string &line : lines)
            EXPECT_NE(saved.find("\n" + line + "\n"), std::string::npos) << line << " in\n"
                                                                         << saved;
    }

    bool wm_started(std::chrono::milliseconds limit) {
        return wait_for([&] { return file_exists(wm_log_path()); }, limit);
    }

    Window main_ = 0;
};

// A click on the button opens the window at the pointer; the countdown, well
// under way, never comes back, not even after the window has gone: a screen
// reader hears that it stopped.
TEST_F(PreferencesE2e, ClickOpensItAtThePointerAndEndsTheCountdownForGood) {
    listen_as_screen_reader();
    start_with(60, 3);
    const AccessibleNode countdown = countdown_label();
    const std::string said = reader().read_name(countdown);
    ASSERT_EQ(said.rfind("Starts First in ", 0), 0u) << "the countdown is not running: " << said;
    click_preferences_button();
    const Window prefs = wait_for_prefs();
    ASSERT_NE(prefs, 0u) << err();
    int px, py;
    pointer_position(x(), &px, &py);
    EXPECT_LE(distance_from_placement_at(x(), prefs, px, py), 1);

    ASSERT_TRUE(x().wait_for_focus(prefs));
    tab(3);
    x().key("space"); // Cancel
    ASSERT_TRUE(wait_for([&] { return x().windows_titled(PREFS_TITLE).empty(); }));
    EXPECT_EQ(reader().read_name(countdown), "Countdown stopped") << "the countdown still runs";
    quit_and_expect_saved({"delay:60.000000", "goback_btn:3"});
    EXPECT_FALSE(file_exists(wm_log_path()));
}

TEST_F(PreferencesE2e, KeyOpensItAtThePointerWhereverThatIs) {
    start_with(15, 3);
    for (auto [px, py] : {std::pair{200, 600}, std::pair{1000, 20}}) {
        open_by_key_with_pointer_at(px, py);
        const Window prefs = wait_for_prefs();
        ASSERT_NE(prefs, 0u) << err();
        EXPECT_LE(distance_from_placement_at(x(), prefs, px, py), 1) << px << "," << py;
        x().close_window(prefs);
        ASSERT_TRUE(wait_for([&] { return x().windows_titled(PREFS_TITLE).empty(); }));
    }
    quit_and_expect_saved({"delay:15.000000"});
}

// Escape closes the window as Cancel does, and the keyboard goes back to the
// list, not to the Preferences button: Return then starts the selected row.
TEST_F(PreferencesE2e, EscapeClosesItAndReturnThenStartsTheSelectedRow) {
    start_with(15, 3);
    click_preferences_button();
    const Window prefs = wait_for_prefs();
    ASSERT_NE(prefs, 0u) << err();
    ASSERT_TRUE(x().wait_for_focus(prefs));
    x().key("Up");
    x().key("Escape");
    ASSERT_TRUE(wait_for([&] { return x().windows_titled(PREFS_TITLE).empty(); })) << err();
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("Return");
    ASSERT_TRUE(wm_started(std::chrono::seconds(10))) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_NE(read_file(config_path()).find("\ndelay:15.000000\n"), std::string::npos);
}

// All by keyboard, the pointer parked: the window opens with its timeout
// field's text chosen, so a typed delay replaces it; Return stores it, and
// the keyboard goes back to the list, where Return starts the default row.
TEST_F(PreferencesE2e, TypedDelayAndReturnStoreItThenReturnStartsTheRow) {
    start_with(15, 3);
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("p", {"Alt_L"});
    const Window prefs = wait_for_prefs();
    ASSERT_NE(prefs, 0u) << err();
    ASSERT_TRUE(x().wait_for_focus(prefs));
    type_text(x(), "7");
    x().key("Return");
    ASSERT_TRUE(wait_for([&] { return x().windows_titled(PREFS_TITLE).empty(); })) << err();
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("Return");
    ASSERT_TRUE(wm_started(std::chrono::seconds(10))) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_NE(read_file(config_path()).find("\ndelay:7.000000\n"), std::string::npos);
}

struct DelayInput {
    const char *what;
    std::function<void(XClient &)> keys; // with the spin button focused
    const char *ending;                  // "ok", "return", "cancel" or "close"
    const char *saved;
};

class DelayE2e : public PreferencesE2e, public ::testing::WithParamInterface<DelayInput> {};

// Stepped or typed, OK (or Return in the field) stores the value shown and
// Cancel or closing drops it.
TEST_P(DelayE2e, OnlyOkStoresTheDelay) {
    const DelayInput input = GetParam();
    start_with(15, 3);
    open_by_key_with_pointer_at(500, 400);
    const Window prefs = wait_for_prefs();
    ASSERT_NE(prefs, 0u) << err();
    ASSERT_TRUE(x().wait_for_focus(prefs));
    input.keys(x());
    const std::string ending = input.ending;
    if (ending == "ok") {
        x().key("o", {"Alt_L"});
    } else if (ending == "return") {
        x().key("Return");
    } else if (ending == "cancel") {
        tab(3);
        x().key("space");
    } else {
        x().close_window(prefs);
    }
    ASSERT_TRUE(wait_for([&] { return x().windows_titled(PREFS_TITLE).empty(); })) << err();
    quit_and_expect_saved({input.saved});
}

void press(XClient &x, const char *key, int times) {
    for (int i = 0; i < times; ++i)
        x.key(key);
}

// Keys through the X server reach the field and the buttons: stepped by
// keys and OK by its mnemonic, typed and Cancel by Tab and space. What each
// way of changing the value and of closing the window keeps is the widget
// tests' table.
INSTANTIATE_TEST_SUITE_P(Inputs, DelayE2e,
                         ::testing::Values(DelayInput{"ArrowsAndPageUp",
                                                      [](XClient &x) {
                                                          press(x, "Up", 3);
                                                          press(x, "Page_Up", 1);
                                                      },
                                                      "ok", "delay:16.300000"},
                                           DelayInput{"TypedThenCancel",
                                                      [](XClient &x) { type_text(x, "42"); },
                                                      "cancel", "delay:15.000000"}),
                         [](const auto &test) { return std::string(test.param.what); });

// A radio button's mnemonic sets the value at once, and Cancel keeps it;
// the widget tests have the table of values and buttons.
TEST_F(PreferencesE2e, RadioButtonActsAtOnceAndCancelKeepsIt) {
    start_with(15, 3);
    open_by_key_with_pointer_at(500, 400);
    const Window prefs = wait_for_prefs();
    ASSERT_NE(prefs, 0u) << err();
    ASSERT_TRUE(x().wait_for_focus(prefs));
    // A changed delay that is not saved shows that Cancel was pressed. The
    // mnemonic leaves the focus on its radio button, two Tabs before Cancel.
    x().key("Up");
    x().key("n", {"Alt_L"});
    tab(2);
    x().key("space");
    ASSERT_TRUE(wait_for([&] { return x().windows_titled(PREFS_TITLE).empty(); })) << err();
    quit_and_expect_saved({"goback_btn:2", "delay:15.000000"});
}

} // namespace
