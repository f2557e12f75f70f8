// SPDX-License-Identifier: GPL-2.0-or-later
// The real program with the toolkit's accessibility bridge, read from outside
// over a private accessibility bus as a screen reader reads it, and worked
// through the objects' own actions: no key and no pointer.
#include "e2e/e2e_fixture.h"
#include "support/at_spi.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

class AccessibilityE2e : public QuorvaneE2e {
  protected:
    void SetUp() override {
        QuorvaneE2e::SetUp();
        listen_as_screen_reader();
    }

    // The program as it is now, once its main window shows this.
    AccessibleNode read_until(const std::function<bool(const AccessibleNode &)> &shows) {
        return read_program_until(shows, std::chrono::seconds(20));
    }

    // Clicks the object of this role and name, as a screen reader's user does.
    void act_on(const std::string &role, const char *name) {
        const AccessibleNode app =
            read_until([&](const AccessibleNode &a) { return a.find(role, name) != nullptr; });
        const AccessibleNode *target = app.find(role, name);
        ASSERT_NE(target, nullptr) << role << " " << name << " is not there:\n" << app.dump();
        ASSERT_TRUE(reader().do_action(*target));
    }
};

// The countdown: the first label of the main window.
const AccessibleNode *countdown_of(const AccessibleNode &app) {
    const AccessibleNode *frame = app.find("frame", MAIN_TITLE);
    return frame != nullptr ? frame->find("label") : nullptr;
}

int seconds_named(const AccessibleNode *countdown) {
    if (countdown == nullptr)
        return -1;
    std::smatch seconds;
    static const std::regex sentence("Starts Beta in ([0-9]+) seconds");
    return std::regex_match(countdown->name, seconds, sentence) ? std::stoi(seconds[1]) : -1;
}

TEST_F(AccessibilityE2e, AScreenReaderFindsTheListTheDefaultTheCountdownAndTheFields) {
    install_fake_wm("beta");
    write_config({"Alpha=alpha", "Beta=beta", "Gamma=gamma"}, 60, 0, 1, 2);
    start();

    AccessibleNode app = read_until([](const AccessibleNode &a) {
        const AccessibleNode *list = a.find("table", "Window managers");
        return list != nullptr && list->find_all("table cell").size() == 6;
    });
    SCOPED_TRACE(app.dump());
    const AccessibleNode *frame = app.find("frame", MAIN_TITLE);
    ASSERT_NE(frame, nullptr);
    const AccessibleNode *list = frame->find("table", "Window managers");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->description, "The default is Beta");

    // The description's cell says the row, the icon's nothing; the default
    // says so.
    struct Row {
        const char *name;
        const char *description;
        bool selected;
    };
    const Row rows[] = {
        {"Alpha", "alpha", false}, {"Beta", "Default: beta", true}, {"Gamma", "gamma", false}};
    const std::vector<const AccessibleNode *> cells = list->find_all("table cell");
    for (size_t i = 0; i < cells.size(); ++i) {
        const Row &row = rows[i / 2];
        const bool icon = i % 2 == 0;
        SCOPED_TRACE(i);
        EXPECT_EQ(cells[i]->name, icon ? "" : row.name);
        // The row the countdown will start says so after its command.
        if (!icon && row.selected)
            EXPECT_TRUE(
                std::regex_match(cells[i]->description,
                                 std::regex(std::string(row.description) +
                                            "\\. Starts in [0-9]+ seconds\\. Any key stops it\\.")))
                << cells[i]->description;
        else
            EXPECT_EQ(cells[i]->description, icon ? "" : row.description);

        EXPECT_EQ(cells[i]->has_state(STATE_SHOWING), !icon);
        EXPECT_EQ(cells[i]->has_state(STATE_SELECTED), row.selected);
    }

    // The countdown speaks whole seconds and counts down; the label still
    // shows the tenths.
    const AccessibleNode *countdown = countdown_of(app);
    ASSERT_NE(countdown, nullptr);
    const int first = seconds_named(countdown);
    EXPECT_GT(first, 50) << countdown->name;
    EXPECT_LE(first, 60);
    app = read_until([&](const AccessibleNode &a) {
        const int now = seconds_named(countdown_of(a));
        return now > 0 && now < first;
    });
    countdown = countdown_of(app);
    ASSERT_NE(countdown, nullptr);
    EXPECT_LT(seconds_named(countdown), first) << countdown->name;
    EXPECT_TRUE(std::regex_match(reader().read_text(*countdown), std::regex("[0-9]+\\.[0-9]")))
        << reader().read_text(*countdown);

    // Ticking the go-back box stops it, and the countdown says so.
    act_on("check box", "Go back to quorvane\nwhen the WM exits");
    app = read_until([](const AccessibleNode &a) {
        const AccessibleNode *label = countdown_of(a);
        return label != nullptr && label->name == "Countdown stopped";
    });
    ASSERT_NE(countdown_of(app), nullptr);
    EXPECT_EQ(countdown_of(app)->name, "Countdown stopped");
    const AccessibleNode *stopped = app.find("table", "Window managers");
    ASSERT_NE(stopped, nullptr);
    EXPECT_EQ(stopped->find_all("table cell").at(3)->description, "Default: beta")
        << "the row still says the countdown";

    // Preferences is a dialog, and its field is named by its label.
    act_on("push button", "Preferences");
    app = read_until([](const AccessibleNode &a) { return a.find("dialog", "Preferences"); });
    const AccessibleNode *prefs = app.find("dialog", "Preferences");
    ASSERT_NE(prefs, nullptr) << app.dump();
    const AccessibleNode *timeout = prefs->find("spin button");
    ASSERT_NE(timeout, nullptr) << prefs->dump();
    EXPECT_EQ(timeout->name, "Timeout in seconds (0 = infinite)");
    EXPECT_EQ(timeout->relations.at("labelled-by"),
              std::vector<std::string>{"Timeout in seconds (0 = infinite)"});
    const AccessibleNode *cancel = prefs->find("push button", "Cancel");
    ASSERT_NE(cancel, nullptr);
    ASSERT_TRUE(reader().do_action(*cancel));
    app = read_until([](const AccessibleNode &a) { return !a.find("dialog"); });
    EXPECT_EQ(app.find("dialog"), nullptr);

    act_on("push button", "Quit");
    EXPECT_EQ(exit_code(), 0);
    EXPECT_EQ(wm_log(), "") << "nothing started";
}

} // namespace
