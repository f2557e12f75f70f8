// SPDX-License-Identifier: GPL-2.0-or-later
// Entries whose bytes are not UTF-8, through the item dialog of the running
// program: what the user leaves alone is saved and started byte for byte,
// what the user changes as typed. The program runs as nobody.
#include "e2e/dialog_input.h"
#include "e2e/list_e2e_fixture.h"

#include "support/wait.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

#define EDIT_TITLE "Edit Item"

struct BytesCase {
    const char *what;
    int row;                 // edited: 0 is "Caf\xe9=xterm", 1 has the command ending in \xe9
    const char *description; // typed at the end of the description; nullptr: left alone
    const char *command;     // the same for the command
    const char *saved_row;   // the row's entry line once saved, with COMMAND for the command
    bool launch;             // then start the row, which ends the program
};

class OtherBytesE2e : public ListE2e, public ::testing::WithParamInterface<BytesCase> {
  protected:
    OtherBytesE2e() { reads_rows_ = false; }

    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root, to run the program as nobody";
        const struct passwd *nobody = getpwnam("nobody");
        const struct group *nogroup = getgrnam("nogroup");
        if (nobody == nullptr || nogroup == nullptr)
            GTEST_SKIP() << "needs the user nobody and the group nogroup";
        ListE2e::SetUp();
        ASSERT_EQ(chmod(tmp_.path().c_str(), 0755), 0);
        ASSERT_EQ(chmod(path_of("bin").c_str(), 0755), 0);
        ASSERT_EQ(chown(home().c_str(), nobody->pw_uid, nogroup->gr_gid), 0);
        // A copy, which nobody may run wherever the tree is.
        command_ = path_of("bin/wm-caf\xe9");
        write_file(command_, read_file(FAKE_WM));
        ASSERT_EQ(chmod(command_.c_str(), 0755), 0);
        write_file(wm_log_path(), "");
        ASSERT_EQ(chown(wm_log_path().c_str(), nobody->pw_uid, nogroup->gr_gid), 0);

        write_config({"Caf\xe9=xterm", "Mine=" + command_}, 0, 0, 0);
        ASSERT_EQ(chown(config_path().c_str(), nobody->pw_uid, nogroup->gr_gid), 0);
        original_ = read_file(config_path());
        run_through({"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--init-groups"});
    }

    std::string with_command(std::string line) {
        const auto at = line.find("COMMAND");
        if (at != std::string::npos)
            line.replace(at, 7, command_);
        return line;
    }

    void type_at_end(const char *text) {
        if (text == nullptr)
            return;
        x().key("End");
        type_text(x(), text);
    }

    std::string command_;
    std::string original_;
};

TEST_P(OtherBytesE2e, FieldLeftAloneKeepsItsBytesAndAChangedOneIsStoredAsTyped) {
    const BytesCase c = GetParam();
    start();
    main_ = main_window();
    ASSERT_NE(main_, 0u) << err();
    // As nobody the program cannot reach the test's accessibility bus, so
    // the keyboard picks the row; the menu acts on the selected one.
    ASSERT_TRUE(x().wait_for_focus(main_));
    for (int row = 0; row < c.row; ++row)
        x().key("Down");
    x().key("Menu");
    ASSERT_NE(wait_for_full_menu(), 0u) << err();
    x().key("e");
    const Window dialog = x().wait_for_viewable(EDIT_TITLE);
    ASSERT_NE(dialog, 0u) << err();
    ASSERT_TRUE(x().wait_for_focus(dialog)); // the description entry has the keyboard
    type_at_end(c.description);
    x().key("Tab");
    type_at_end(c.command);
    x().key("o", {"Alt_L"});
    ASSERT_TRUE(wait_for([&] { return x().windows_titled(EDIT_TITLE).empty(); }));

    if (c.launch) {
        ASSERT_TRUE(x().wait_for_focus(main_));
        x().key("Return");
        ASSERT_TRUE(wait_for_start(1)) << err();
        EXPECT_EQ(started(), std::vector<std::string>{command_});
        EXPECT_EQ(exit_code(), 0) << err();
    } else {
        quit();
    }
    std::vector<std::string> expected = {"Caf\xe9=xterm", "Mine=" + command_};
    expected[c.row] = with_command(c.saved_row);
    EXPECT_EQ(saved_entries(), expected);
    if (c.description == nullptr && c.command == nullptr) {
        EXPECT_EQ(read_file(config_path()), original_) << "not byte for byte";
    }
    // Neither the list nor the entries were handed text that is not UTF-8.
    EXPECT_EQ(err().find("Pango-WARNING"), std::string::npos) << err();
    EXPECT_EQ(err().find("Gtk-"), std::string::npos) << err();
}

INSTANTIATE_TEST_SUITE_P(
    Edits, OtherBytesE2e,
    ::testing::Values(
        BytesCase{"DescriptionLeftAlone", 0, nullptr, nullptr, "Caf\xe9=xterm", false},
        BytesCase{"CommandLeftAlone", 1, nullptr, nullptr, "Mine=COMMAND", false},
        BytesCase{"OnlyTheDescriptionChangedThenStarted", 1, "s", nullptr, "Mines=COMMAND", true},
        BytesCase{"OnlyTheCommandChanged", 0, nullptr, " -x", "Caf\xe9=xterm -x", false},
        // The replacement character shown for the byte is part of what was typed.
        BytesCase{"TypedAfterTheConvertedText", 0, "s", nullptr, "Caf\xef\xbf\xbds=xterm", false}),
    [](const auto &test) { return std::string(test.param.what); });

} // namespace
