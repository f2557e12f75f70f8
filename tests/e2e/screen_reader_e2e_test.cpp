// SPDX-License-Identifier: GPL-2.0-or-later
// The real program heard through the Orca screen reader itself (Debian 12's
// Orca 43), driven by real keys with the pointer parked: what Orca speaks is
// what a blind person hears.
#include "e2e/list_e2e_fixture.h"
#include "support/screen_reader.h"
#include "support/temp_dir.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <regex>

namespace {

const std::vector<std::string> kThree = {"First", "Second", "Third"};

class ScreenReaderE2e : public ListE2e {
  protected:
    void SetUp() override {
        // Under the sanitizers, the program's leaks are told with their whole
        // stacks: the one the toolkit's accessibility module makes each time
        // Orca asks a list for its selected rows is suppressed by that
        // module's name, which a quick, shallow stack would not show.
        if (const char *asan = getenv("ASAN_OPTIONS")) {
            saved_asan_ = asan;
            setenv("ASAN_OPTIONS", (saved_asan_ + ":fast_unwind_on_malloc=0").c_str(), 1);
        }
        ListE2e::SetUp();
        // Before the program, as a person's session starts it.
        orca_ = std::make_unique<ScreenReader>(xvfb_->display(), *bus_, tmp_.file("orca"));
    }

    ScreenReader &orca() { return *orca_; }
    // Where the next utterance will be.
    size_t now() const { return orca_->said().size(); }
    // Waits for Orca to have said this since from; its index, or fails.
    size_t heard(const std::string &part, size_t from) {
        const int at = orca_->wait_until_said(part, from);
        EXPECT_GE(at, 0) << "Orca did not say \"" << part << "\"; it said:\n"
                         << orca_->said_since(from);
        return at < 0 ? now() : static_cast<size_t>(at);
    }
    // What Orca said from this index on.
    std::vector<std::string> said_since(size_t from) const {
        const std::vector<std::string> all = orca_->said();
        return std::vector<std::string>(all.begin() + std::min(from, all.size()), all.end());
    }
    // Orca's last words once it has said these, in this order, at the end.
    bool ends_with(size_t from, const std::vector<std::string> &last) {
        return wait_for([&] {
            const std::vector<std::string> since = said_since(from);
            return since.size() >= last.size() &&
                   std::equal(last.begin(), last.end(), since.end() - last.size());
        });
    }

    void TearDown() override {
        if (!saved_asan_.empty())
            setenv("ASAN_OPTIONS", saved_asan_.c_str(), 1);
        ListE2e::TearDown();
    }

    std::unique_ptr<ScreenReader> orca_;
    std::string saved_asan_;
};

// Left alone, the window is heard with what will start, when, and how to
// stop it; then twice more on the way, and the default starts.
TEST_F(ScreenReaderE2e, TheCountdownIsHeardWithTheWindowAndTwiceMoreButNoOftener) {
    const size_t start = now();
    start_with_rows(kThree, 11, 1);
    ASSERT_TRUE(wait_for([&] { return started().size() == 1; }, std::chrono::seconds(30)))
        << orca().said_since(start);
    ASSERT_TRUE(wait_for([&] { return !app().running(); }));
    const std::vector<std::string> said = said_since(start);
    SCOPED_TRACE(orca().said_since(start));

    // The first that is said of the countdown, which comes with the window:
    // all said before it opens the window, and names what will start.
    const auto countdown = std::find_if(said.begin(), said.end(), [](const std::string &utterance) {
        return utterance.find("seconds. Any key stops it.") != std::string::npos;
    });
    ASSERT_NE(countdown, said.end());
    static const std::regex opening("quorvane [0-9.]+ frame\\.|Window managers\\.|"
                                    "table with 3 rows 2 columns\\.?|The default is Second\\.|"
                                    "Second\\.");
    for (auto utterance = said.begin(); utterance != countdown; ++utterance)
        EXPECT_TRUE(std::regex_match(*utterance, opening))
            << "said before the countdown: " << *utterance;
    // With the row, or, when the program was not heard as its window opened,
    // on its own a moment later.
    static const std::regex first_told(
        "Default: second-wm\\. Starts in (11|10|9) seconds\\. Any key stops it\\.|"
        "notification Starts Second in 10 seconds\\. Any key stops it\\.");
    EXPECT_TRUE(std::regex_match(*countdown, first_told)) << *countdown;

    // Again at ten and five seconds, and at no other time.
    std::vector<std::string> notifications;
    for (const std::string &utterance : said)
        if (utterance.rfind("notification", 0) == 0)
            notifications.push_back(utterance);
    EXPECT_EQ(notifications, (std::vector<std::string>{
                                 "notification Starts Second in 10 seconds. Any key stops it.",
                                 "notification Starts Second in 5 seconds. Any key stops it."}))
        << "run out, not stopped: nothing more is said";
    EXPECT_EQ(started(), std::vector<std::string>{fake("second-wm")});
}

// Orca's own keys never reach the list; they stop the countdown all the
// same, and Orca says that it stopped. Where Am I says the row.
TEST_F(ScreenReaderE2e, OrcasWhereAmIStopsTheCountdownAndOrcaSaysSo) {
    const size_t start = now();
    start_with_rows(kThree, 60, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    heard("Any key stops it.", start);

    const size_t pressed = now();
    x().key("KP_Enter");
    heard("notification Countdown stopped.", pressed);
    heard("Second", pressed);
    EXPECT_EQ(reader().read_name(countdown_label()), "Countdown stopped");
    quit();
    EXPECT_TRUE(started().empty());
}

TEST_F(ScreenReaderE2e, TheFirstStartQuestionIsReadWithItsButton) {
    const size_t start = now();
    this->start();
    const Window question = wait_for_dialog();
    ASSERT_NE(question, 0u) << err();
    const size_t asked = heard("Question dialog There isn't any window manager configured ! "
                               "Should I search for known ones ?",
                               start);
    heard("No push button.", asked);

    ASSERT_TRUE(x().wait_for_focus(question));
    x().key("Escape");
    ASSERT_NE(window_with_rows(0), 0u);
    quit();
}

// Back from every window, and from a window manager run in go-back mode,
// Orca ends with the row the cursor is on, as it says it when arrowed to.
TEST_F(ScreenReaderE2e, EveryReturnToTheListEndsWithTheFocusedRow) {
    for (const char *name : {"first-wm", "second-wm"})
        install_fake_wm(name);
    write_config({"First=first-wm", "Second=second-wm"}, 0, 1, 0);
    const std::string hold = path_of("hold");
    start({}, {{"FAKE_WM_HOLD", hold}});
    ASSERT_NE(window_with_rows(2), 0u);
    size_t at = now();
    x().key("Down");
    EXPECT_TRUE(ends_with(at, {"Second.", "second-wm."})) << orca().said_since(at);
    const std::vector<std::string> row = {"Second.", "second-wm."};

    struct Visit {
        const char *what;
        std::vector<std::string> keys;
        const char *heard_there;
    };
    const Visit visits[] = {
        {"Preferences", {"alt+p", "Escape"}, "Preferences dialog"},
        {"the menu", {"shift+F10", "Escape"}, "menu."},
        {"the add dialog", {"shift+F10", "a", "Escape"}, "Add item dialog"},
    };
    for (const Visit &visit : visits) {
        SCOPED_TRACE(visit.what);
        at = now();
        for (size_t i = 0; i < visit.keys.size(); ++i) {
            if (i + 1 == visit.keys.size())
                heard(visit.heard_there, at);
            const std::string &key = visit.keys[i];
            const auto plus = key.find('+');
            if (plus == std::string::npos)
                x().key(key);
            else
                x().key(key.substr(plus + 1), {key.substr(0, plus) == "alt" ? "Alt_L" : "Shift_L"});
        }
        const size_t back = now();
        EXPECT_TRUE(ends_with(back, row)) << orca().said_since(back);
    }
    // A finger lets go of Escape a moment after the menu has closed, which
    // Orca may hear before it knows the window again.
    for (const int held_ms : {10, 20, 30, 40, 50, 60, 70, 80}) {
        SCOPED_TRACE(testing::Message() << "Escape held " << held_ms << " ms");
        at = now();
        x().key("F10", {"Shift_L"});
        heard("search for known window managers...", at);
        const size_t back = now();
        x().key_held("Escape", std::chrono::milliseconds(held_ms));
        EXPECT_TRUE(ends_with(back, row)) << orca().said_since(back);
    }

    // The window manager starts, the window goes; it ends, and the window
    // comes back with the row.
    at = now();
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1));
    const size_t away = now();
    write_file(hold, "");
    EXPECT_TRUE(ends_with(away, row)) << orca().said_since(away);
    ASSERT_TRUE(x().wait_for_focus(main_));
    quit();
}

// A row's name is said once, then its command; Alt+Up and Alt+Down move the
// row, which stays selected, and Orca says where it is now.
TEST_F(ScreenReaderE2e, EachRowIsSaidOnceAndAltArrowsMoveItAndSayWhere) {
    start_with_rows(kThree, 0, 0);
    ASSERT_NE(window_with_rows(3), 0u);
    size_t at = now();
    x().key("Down");
    EXPECT_TRUE(ends_with(at, {"Second.", "second-wm."})) << orca().said_since(at);
    const std::vector<std::string> down = said_since(at);
    EXPECT_EQ(std::count(down.begin(), down.end(), "Second."), 1);

    at = now();
    x().key("Down", {"Alt_L"});
    heard("notification Second moved to place 3 of 3.", at);
    std::vector<ShownRow> shown = rows();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[2].description, "Second");
    EXPECT_EQ(selected_row(), 2);
    // At the end, it goes no further.
    at = now();
    x().key("Down", {"Alt_L"});
    at = now();
    x().key("Up", {"Alt_L"});
    heard("notification Second moved to place 2 of 3.", at);
    at = now();
    x().key("KP_Up", {"Alt_L"});
    heard("notification Second moved to place 1 of 3.", at);
    EXPECT_EQ(selected_row(), 0);
    quit();
    EXPECT_EQ(saved_entries(),
              (std::vector<std::string>{"Second=second-wm", "First=first-wm", "Third=third-wm"}));
    EXPECT_EQ(saved_default(), "1") << "the default row moved with its mark";
}

// Alt+G leaves the keyboard in the list, where a screen reader stays: what
// became of the go-back button is said all the same.
TEST_F(ScreenReaderE2e, AltGIsHeardThoughTheKeysStayInTheList) {
    start_with_rows(kThree, 0, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    size_t at = now();
    x().key("g", {"Alt_L"});
    heard("when the WM exits: checked", at);
    at = now();
    x().key("g", {"Alt_L"});
    heard("when the WM exits: not checked", at);
    quit();
}

TEST_F(ScreenReaderE2e, DeleteSaysWhatWasDeletedAndThenWhereTheCursorIs) {
    start_with_rows(kThree, 0, 0);
    ASSERT_NE(window_with_rows(3), 0u);
    x().key("Down");
    ASSERT_TRUE(wait_for([&] { return selected_row() == 1; }));
    size_t at = now();
    x().key("F10", {"Shift_L"});
    heard("search for known window managers...", at);
    for (const char *key : {"d", "d", "Return"})
        x().key(key);
    const size_t deleted = heard("notification Second deleted.", at);
    ASSERT_TRUE(wait_for([&] { return rows().size() == 2; }));
    // The last that Orca says is where the cursor is: the row under it, or
    // the list when there is none.
    const int selected = selected_row();
    const std::vector<std::string> last =
        selected < 0 ? std::vector<std::string>{"The default is First."}
                     : std::vector<std::string>{rows()[selected].description + ".",
                                                rows()[selected].command + "."};
    EXPECT_TRUE(ends_with(deleted + 1, last)) << orca().said_since(deleted);
    quit();
    EXPECT_EQ(saved_entries(), (std::vector<std::string>{"First=first-wm", "Third=third-wm"}));
}

// All found rows start chosen; the arrows read the list without changing
// that, Space changes the row under the cursor, and the dialog counts.
TEST_F(ScreenReaderE2e, TheSearchsChoiceSurvivesTheArrowKeys) {
    ASSERT_EQ(mkdir(path_of("share").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path_of("share/xsessions").c_str(), 0755), 0);
    for (const std::string name : {"Alpha", "Omega"}) {
        const std::string lower = name == "Alpha" ? "alpha-wm" : "omega-wm";
        write_file(path_of("share/xsessions/" + lower + ".desktop"),
                   "[Desktop Entry]\nName=" + name + "\nExec=" + install_fake_wm(lower) + "\n");
    }
    write_file(path_of("bin/update-alternatives"), "#!/bin/sh\n");
    chmod(path_of("bin/update-alternatives").c_str(), 0755);
    start_with_rows({"First"}, 0, 0);
    ASSERT_NE(window_with_rows(1), 0u);
    size_t at = now();
    x().key("F10", {"Shift_L"});
    heard("search for known window managers...", at);
    x().key("s");
    const Window dialog = x().wait_for_viewable(RESULT_TITLE);
    ASSERT_NE(dialog, 0u);
    ASSERT_TRUE(x().wait_for_focus(dialog));
    std::vector<ShownRow> found;
    ASSERT_TRUE(wait_for([&] { return (found = rows_of(RESULT_TITLE)).size() >= 2; }));
    const size_t total = found.size();
    const std::string all = std::to_string(total) + " of " + std::to_string(total) + " selected";
    heard(all, at);

    // Down to Omega's row, wherever the machine's own window managers put
    // it: every row stays chosen.
    size_t omega = 0;
    while (omega < total && found[omega].description != "Omega")
        ++omega;
    ASSERT_LT(omega, total) << "Omega was not offered";
    ASSERT_GT(omega, 0u) << "Omega came first, where the cursor starts";
    at = now();
    for (size_t i = 0; i < omega; ++i)
        x().key("Down");
    heard("Omega", at);
    found = rows_of(RESULT_TITLE);
    for (const ShownRow &row : found)
        EXPECT_TRUE(row.selected) << row.description << " lost its choice";

    at = now();
    x().key("space");
    heard("unselected", at);
    const std::string one_less =
        std::to_string(total - 1) + " of " + std::to_string(total) + " selected";
    const AccessibleNode program = read_program_until(
        [&](const AccessibleNode &p) { return p.find("label", one_less.c_str()) != nullptr; });
    EXPECT_NE(program.find("label", one_less.c_str()), nullptr) << program.dump();
    EXPECT_FALSE(rows_of(RESULT_TITLE).at(omega).selected);
    x().key("Return");
    ASSERT_NE(window_with_rows(total), 0u) << "one row fewer than found is added";
    for (const ShownRow &row : rows())
        EXPECT_NE(row.description, "Omega");
    quit();
}

} // namespace
