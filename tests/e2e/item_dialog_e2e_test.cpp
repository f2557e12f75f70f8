// SPDX-License-Identifier: GPL-2.0-or-later
// The add and edit dialog in the running program, opened from the list's
// context menu and driven by real keys; what it changes shows in the list's
// rows on screen and in the file written at quit.
#include "e2e/dialog_input.h"
#include "e2e/list_e2e_fixture.h"

#include "support/wait.h"

#include <optional>
#include <string>
#include <vector>

namespace {

using std::chrono::milliseconds;

#define ADD_TITLE "Add item"
#define EDIT_TITLE "Edit Item"
#define SELECTOR_TITLE "Select a window manager"

const std::vector<std::string> kThree = {"First", "Second", "Third"};
const std::vector<std::string> kEntries = {"First=first-wm", "Second=second-wm", "Third=third-wm"};

std::vector<std::string> with(std::vector<std::string> lines, const std::string &more) {
    lines.push_back(more);
    return lines;
}

class ItemDialogE2e : public ListE2e {
  protected:
    // No countdown; the default row is selected at start.
    void start_with_default(int default_wm = 1) {
        start_with_rows(kThree, 0, default_wm);
        window_with_rows(kThree.size());
    }

    // "_add item..." or "_edit item..." from the menu of the Menu key, which
    // acts on the selected row; the dialog has the keyboard, its description
    // entry first.
    Window open_dialog(const char *mnemonic, const char *title) {
        if (!x().wait_for_focus(main_))
            return 0;
        x().key("Menu");
        if (wait_for_full_menu() == 0)
            return 0;
        x().key(mnemonic);
        const Window dialog = x().wait_for_viewable(title);
        if (dialog == 0 || !x().wait_for_focus(dialog))
            return 0;
        return dialog;
    }

    bool gone(const char *title) {
        return wait_for([&] { return x().windows_titled(title).empty(); });
    }

    // Typed after End, so that any text already there would stay in front.
    void type_at_end(const std::string &text) {
        x().key("End");
        type_text(x(), text);
    }
    // Reached by Tab, an entry has all its text selected.
    void next_entry() { x().key("Tab"); }
    void previous_entry() { x().key("Tab", {"Shift_L"}); }
    void alt(const char *key) { x().key(key, {"Alt_L"}); }

    // Whether the rows, top to bottom, are the default where true.
    bool rows_default_as(const std::vector<bool> &is_default) {
        return wait_for([&] {
            const std::vector<ShownRow> shown = rows();
            if (shown.size() != is_default.size())
                return false;
            for (size_t i = 0; i < shown.size(); ++i)
                if (shown[i].is_default != is_default[i])
                    return false;
            return true;
        });
    }
};

struct EmptyCase {
    const char *what;
    bool description_first; // typed before the first try
    bool command_first;
    const char *description;
    const char *command;
};

class EmptyFieldE2e : public ItemDialogE2e, public ::testing::WithParamInterface<EmptyCase> {};

// Centred and empty: what is typed after End is all the entry ends up with,
// and the try with a field left empty proves the other field started empty.
// Accepting then does nothing and says nothing; blanks count as text.
TEST_P(EmptyFieldE2e, KeepsTheDialogUntilBothTextsAreThereThenAppendsAPlainRow) {
    const EmptyCase test = GetParam();
    start_with_default();
    const Window dialog = open_dialog("a", ADD_TITLE);
    ASSERT_NE(dialog, 0u) << err();
    EXPECT_LE(distance_from_screen_centre(x(), dialog), 1);

    if (test.description_first)
        type_at_end(test.description);
    next_entry();
    if (test.command_first)
        type_at_end(test.command);
    alt("a");
    EXPECT_FALSE(wait_for(
        [&] { return !x().is_viewable(dialog) || x().mapped_windows_of_type("DIALOG").size() > 1; },
        milliseconds(700)))
        << "the dialog closed or a message came up";

    if (!test.command_first)
        type_at_end(test.command);
    previous_entry();
    if (!test.description_first)
        type_at_end(test.description);
    alt("a");
    ASSERT_TRUE(gone(ADD_TITLE));
    // Last, and the default row still the default; the keyboard in the list.
    ASSERT_TRUE(x().wait_for_focus(main_));
    EXPECT_TRUE(rows_default_as({false, true, false, false}));
    quit();
    EXPECT_EQ(saved_entries(), with(kEntries, std::string(test.description) + "=" + test.command));
    EXPECT_EQ(saved_default(), "1");
}

INSTANTIATE_TEST_SUITE_P(Fields, EmptyFieldE2e,
                         ::testing::Values(EmptyCase{"Both", false, false, "Mine", "mine-wm"},
                                           EmptyCase{"TheCommand", true, false, "Mine", "mine-wm"},
                                           EmptyCase{"TheDescription", false, true, "  ",
                                                     "mine-wm --blanks-only"}),
                         [](const auto &test) { return std::string(test.param.what); });

// Return in either field accepts, under the same rule as the button; the
// keyboard then goes back to the list, where the new row is selected, and
// Return starts it.
TEST_F(ItemDialogE2e, ReturnInAFieldAddsOnceBothHoldText) {
    install_fake_wm("mine-wm");
    start_with_default();
    const Window dialog = open_dialog("a", ADD_TITLE);
    ASSERT_NE(dialog, 0u) << err();
    type_at_end("Mine");
    x().key("Return");
    EXPECT_FALSE(wait_for([&] { return !x().is_viewable(dialog); }, milliseconds(700)))
        << "accepted with the command empty";
    next_entry();
    type_at_end("mine-wm");
    x().key("Return");
    ASSERT_TRUE(gone(ADD_TITLE));
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("mine-wm")});
    EXPECT_EQ(saved_entries(), with(kEntries, "Mine=mine-wm"));
}

// However long the list, the row added is the selected one and in sight.
TEST_F(ItemDialogE2e, TheAddedRowIsSelectedAndInSightFarDownALongList) {
    std::vector<std::string> names;
    for (int i = 0; i < 30; ++i)
        names.push_back("Row" + std::to_string(100 + i));
    start_with_rows(names, 0, 0);
    ASSERT_NE(window_with_rows(names.size()), 0u);
    ASSERT_NE(open_dialog("a", ADD_TITLE), 0u) << err();
    type_at_end("Mine");
    next_entry();
    type_at_end("mine-wm");
    x().key("Return");
    ASSERT_TRUE(gone(ADD_TITLE));
    EXPECT_TRUE(wait_for([&] {
        const std::vector<ShownRow> shown = rows();
        return shown.size() == 31 && shown[30].selected && shown[30].showing && !shown[0].selected;
    })) << "the new row is not the selected one in sight";
    quit();
}

TEST_F(ItemDialogE2e, CancelOrClosingTheAddDialogAddsNothing) {
    start_with_default();
    for (bool by_cancel : {true, false}) {
        const Window dialog = open_dialog("a", ADD_TITLE);
        ASSERT_NE(dialog, 0u) << err();
        type_text(x(), "Unwanted");
        next_entry();
        type_text(x(), "unwanted-wm");
        if (by_cancel)
            alt("c");
        else
            x().close_window(dialog);
        ASSERT_TRUE(gone(ADD_TITLE));
    }
    EXPECT_TRUE(wait_for([&] { return rows().size() == 3; }));
    quit();
    EXPECT_EQ(saved_entries(), kEntries);
}

// Whether the add dialog shows the sentence that refuses a command.
bool shows_refusal(AccessibilityReader &reader, std::chrono::milliseconds limit) {
    return wait_for(
        [&] {
            const std::optional<AccessibleNode> program = reader.read_application("quorvane");
            if (!program)
                return false;
            for (const AccessibleNode *label : program->find_all("label"))
                if (label->has_state(STATE_SHOWING) &&
                    label->name.rfind("A command may not hold", 0) == 0)
                    return true;
            return false;
        },
        limit);
}

// A command that the file would give back as another one is refused, with
// the reason in the dialog, and the dialog stays for it to be mended; the
// description keeps its separators in the list and has blanks in the file.
TEST_F(ItemDialogE2e, ACommandTheFileCannotKeepIsRefusedWithTheReason) {
    install_fake_wm("mine-wm");
    start_with_default();
    const Window dialog = open_dialog("a", ADD_TITLE);
    ASSERT_NE(dialog, 0u) << err();
    type_at_end("My:WM=1");
    next_entry();
    EXPECT_FALSE(shows_refusal(reader(), milliseconds(0)));
    for (const char *command : {"no:such", "wm=2", "mine-wm "}) {
        SCOPED_TRACE(command);
        // Tab back and forth selects the whole field: what is typed replaces it.
        previous_entry();
        next_entry();
        type_text(x(), command);
        x().key("Return");
        EXPECT_TRUE(shows_refusal(reader(), std::chrono::seconds(5)));
        EXPECT_TRUE(x().is_viewable(dialog)) << "accepted a command the file changes";
    }
    // The blank at the end goes; the rest stays as typed.
    x().key("End");
    x().key("BackSpace");
    x().key("Return");
    ASSERT_TRUE(gone(ADD_TITLE));
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("mine-wm")});
    EXPECT_EQ(saved_entries(), with(kEntries, "My WM 1=mine-wm"));
}

struct EditCase {
    const char *what;
    const char *keys_in_list; // to move the selection first, or nullptr
    std::vector<std::string> saved;
};

class EditE2e : public ItemDialogE2e, public ::testing::WithParamInterface<EditCase> {};

// The entries start with the row's texts: what is typed at their end lands in
// that row only, and the default row stays the default.
TEST_P(EditE2e, ChangesOnlyTheSelectedRow) {
    const EditCase edit = GetParam();
    start_with_default();
    if (edit.keys_in_list != nullptr) {
        ASSERT_TRUE(x().wait_for_focus(main_));
        x().key(edit.keys_in_list);
    }
    const Window dialog = open_dialog("e", EDIT_TITLE);
    ASSERT_NE(dialog, 0u) << err();
    EXPECT_LE(distance_from_screen_centre(x(), dialog), 1);
    type_at_end(":X");
    next_entry();
    type_at_end(" --x");
    alt("o");
    ASSERT_TRUE(gone(EDIT_TITLE));
    ASSERT_TRUE(x().wait_for_focus(main_));
    EXPECT_TRUE(rows_default_as({false, true, false}));
    quit();
    EXPECT_EQ(saved_entries(), edit.saved);
    EXPECT_EQ(saved_default(), "1");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EditE2e,
    ::testing::Values(EditCase{"TheDefaultRow",
                               nullptr,
                               {"First=first-wm", "Second X=second-wm --x", "Third=third-wm"}},
                      EditCase{"AnotherRow",
                               "End",
                               {"First=first-wm", "Second=second-wm", "Third X=third-wm --x"}}),
    [](const auto &test) { return std::string(test.param.what); });

struct Pick {
    const char *what;
    const char *path; // under the test's folder
    const char *dialog_key;
    bool added;
};

class PickE2e : public ItemDialogE2e, public ::testing::WithParamInterface<Pick> {};

// "gtk-find" opens the selector at the pointer; its OK replaces the command
// with the full path typed there, a folder's too, and leaves the description.
// Cancel on the dialog afterwards still adds nothing.
TEST_P(PickE2e, SelectorOkFillsTheCommandEntry) {
    const Pick pick = GetParam();
    install_fake_wm("picked-wm");
    start_with_default();
    const Window dialog = open_dialog("a", ADD_TITLE);
    ASSERT_NE(dialog, 0u) << err();
    type_text(x(), "Picked");
    next_entry();
    type_text(x(), "typed-wm --to-be-replaced");
    x().move_pointer(600, 400);
    alt("f");
    const Window selector = x().wait_for_viewable(SELECTOR_TITLE);
    ASSERT_NE(selector, 0u) << err();
    EXPECT_LE(distance_from_placement_at(x(), selector, 600, 400), 1);

    ASSERT_TRUE(x().wait_for_focus(selector)); // its file name entry has the keyboard
    const std::string path = path_of(pick.path);
    type_text(x(), path);
    x().key("Return");
    ASSERT_TRUE(gone(SELECTOR_TITLE));
    ASSERT_TRUE(x().wait_for_focus(dialog));
    alt(pick.dialog_key);
    ASSERT_TRUE(gone(ADD_TITLE));
    EXPECT_TRUE(wait_for([&] { return rows().size() == (pick.added ? 4u : 3u); }));
    quit();
    EXPECT_EQ(saved_entries(), pick.added ? with(kEntries, "Picked=" + path) : kEntries);
}

INSTANTIATE_TEST_SUITE_P(Picks, PickE2e,
                         ::testing::Values(Pick{"AProgram", "bin/picked-wm", "a", true},
                                           Pick{"AFolder", "bin", "a", true},
                                           Pick{"ThenCancel", "bin/picked-wm", "c", false}),
                         [](const auto &test) { return std::string(test.param.what); });

// Cancel on the selector, or closing it, brings back both entries as they were.
TEST_F(ItemDialogE2e, SelectorCancelOrCloseKeepsBothEntries) {
    start_with_default();
    for (bool by_cancel : {true, false}) {
        const Window dialog = open_dialog("a", ADD_TITLE);
        ASSERT_NE(dialog, 0u) << err();
        type_text(x(), by_cancel ? "Cancelled" : "Closed");
        next_entry();
        type_text(x(), "kept-wm");
        alt("f");
        const Window selector = x().wait_for_viewable(SELECTOR_TITLE);
        ASSERT_NE(selector, 0u) << err();
        ASSERT_TRUE(x().wait_for_focus(selector));
        type_text(x(), "/bin/sh");
        if (by_cancel)
            alt("c");
        else
            x().close_window(selector);
        ASSERT_TRUE(gone(SELECTOR_TITLE));
        ASSERT_TRUE(x().wait_for_focus(dialog));
        alt("a");
        ASSERT_TRUE(gone(ADD_TITLE));
    }
    quit();
    EXPECT_EQ(saved_entries(), with(with(kEntries, "Cancelled=kept-wm"), "Closed=kept-wm"));
}

struct StartAt {
    const char *what;
    const char *command; // "@" stands for the test's folder
    const char *kept;    // the command after the selector's OK, "@" as above
};

class StartAtE2e : public ItemDialogE2e, public ::testing::WithParamInterface<StartAt> {};

// The selector opens at the file the command names, its name chosen, so that
// Return there keeps it; the keyboard is back in the command entry, where
// Return accepts the dialog. A command that is no file opens its folder.
TEST_P(StartAtE2e, ReturnTwiceKeepsTheCommandsFileAndClosesBoth) {
    const StartAt at = GetParam();
    auto expand = [&](std::string text) {
        const size_t mark = text.find('@');
        return mark == std::string::npos ? text : text.replace(mark, 1, path_of(""));
    };
    install_fake_wm("picked-wm");
    write_config({"First=first-wm", "Picked=" + expand(at.command)}, 0, 0, 1);
    install_fake_wm("first-wm");
    start();
    ASSERT_NE(window_with_rows(2), 0u);
    const Window dialog = open_dialog("e", EDIT_TITLE);
    ASSERT_NE(dialog, 0u) << err();
    alt("f");
    const Window selector = x().wait_for_viewable(SELECTOR_TITLE);
    ASSERT_NE(selector, 0u) << err();
    ASSERT_TRUE(x().wait_for_focus(selector));
    x().key("Return");
    ASSERT_TRUE(gone(SELECTOR_TITLE));
    ASSERT_TRUE(x().wait_for_focus(dialog));
    x().key("Return");
    ASSERT_TRUE(gone(EDIT_TITLE));
    quit();
    EXPECT_EQ(saved_entries(),
              (std::vector<std::string>{"First=first-wm", "Picked=" + expand(at.kept)}));
}

INSTANTIATE_TEST_SUITE_P(Commands, StartAtE2e,
                         ::testing::Values(StartAt{"AFullPath", "@bin/picked-wm", "@bin/picked-wm"},
                                           StartAt{"ANameOnThePath", "picked-wm", "@bin/picked-wm"},
                                           StartAt{"AMissingFile", "@bin/gone-wm", "@bin"},
                                           StartAt{"AMissingFolder", "@bin/gone/deeper/wm",
                                                   "@bin"}),
                         [](const auto &test) { return std::string(test.param.what); });

} // namespace
