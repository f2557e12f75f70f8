// SPDX-License-Identifier: GPL-2.0-or-later
#include "e2e/e2e_fixture.h"
#include "e2e/list_e2e_fixture.h"

#include "support/private_mounts.h"
#include "support/wait.h"
#include "wmlist/config_texts.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>

namespace {

// Names the program might have left behind while replacing the file.
std::set<std::string> strays(const std::string &folder) {
    std::set<std::string> result;
    for (const std::string &name : list_folder(folder))
        if (name.rfind(".quorvanerc.", 0) == 0)
            result.insert(name);
    return result;
}

class ConfigE2e : public QuorvaneE2e {
  protected:
    // Quits by closing the window, which saves.
    void close_and_wait() {
        const Window window = main_window();
        ASSERT_NE(window, 0u) << err();
        x().close_window(window);
        EXPECT_EQ(exit_code(), 0) << err();
    }
    // With no entry the program first asks whether to search; say no.
    void decline_search() {
        const Window question = wait_for_dialog();
        ASSERT_NE(question, 0u) << err();
        x().close_window(question);
    }
};

// A tiny tmpfs over the home folder, seen by this test process and the
// program it starts, and by nobody else.
class PrivateDisk {
  public:
    bool mount_at(const std::string &folder, std::string *why) {
        if (!enter_private_mount_namespace("mount a tiny tmpfs", why))
            return false;
        if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=16k,mode=0700") != 0) {
            *why = std::string("cannot mount a tmpfs: ") + strerror(errno);
            return false;
        }
        folder_ = folder;
        return true;
    }
    bool fill() {
        const int fd = open((folder_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const std::string block(512, 'f');
        while (write(fd, block.data(), block.size()) > 0) {
        }
        const bool full = errno == ENOSPC;
        return close(fd) == 0 && full;
    }
    bool make_read_only() {
        return mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    ~PrivateDisk() {
        if (!folder_.empty())
            umount2(folder_.c_str(), MNT_DETACH);
    }

  private:
    std::string folder_;
};

class UnwritableE2e : public ConfigE2e, public ::testing::WithParamInterface<bool> {};

TEST_P(UnwritableE2e, FileStaysAsItWas) {
    const bool read_only = GetParam();
    PrivateDisk disk;
    std::string why;
    if (!disk.mount_at(home(), &why))
        GTEST_SKIP() << why;
    write_config({"twm=twm", "other=xterm"}, 0, 0, 1);
    write_file(config_path(), read_file(config_path()) + "# a note the save would drop\n");
    const std::string before = read_file(config_path());
    ASSERT_TRUE(read_only ? disk.make_read_only() : disk.fill()) << strerror(errno);

    start();
    close_and_wait();
    EXPECT_EQ(read_file(config_path()), before);
    EXPECT_TRUE(strays(home()).empty());
    EXPECT_TRUE(logged_warning(err(), WRITE_WARNING)) << err();
    EXPECT_FALSE(logged_warning(err(), READ_WARNING)) << err();
}

INSTANTIATE_TEST_SUITE_P(Disk, UnwritableE2e, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &param) {
                             return std::string(param.param ? "ReadOnly" : "Full");
                         });

class KeptFileE2e : public ConfigE2e, public ::testing::WithParamInterface<bool> {};

TEST_P(KeptFileE2e, SavingKeepsLinkAndMode) {
    const bool linked = GetParam();
    write_config({"twm=twm", "other=xterm"}, 0, 0, 1);
    const std::string saved = read_file(config_path());
    std::string file = config_path();
    if (linked) {
        ASSERT_EQ(mkdir(path_of("dots").c_str(), 0700), 0);
        file = path_of("dots/quorvanerc");
        ASSERT_EQ(rename(config_path().c_str(), file.c_str()), 0);
        ASSERT_EQ(symlink("../dots/quorvanerc", config_path().c_str()), 0);
    }
    write_file(file, saved + "# a note the save drops\n");
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);

    start();
    close_and_wait();
    EXPECT_EQ(read_file(file), saved);
    EXPECT_EQ(mode_of(file), 0600u);
    if (linked) {
        char target[256] = {};
        ASSERT_GT(readlink(config_path().c_str(), target, sizeof target - 1), 0)
            << "the link was replaced";
        EXPECT_STREQ(target, "../dots/quorvanerc");
        EXPECT_EQ(list_folder(path_of("dots")), std::set<std::string>{"quorvanerc"});
    }
    EXPECT_TRUE(strays(home()).empty());
    EXPECT_EQ(err().find("WARNING"), std::string::npos) << err();
}

INSTANTIATE_TEST_SUITE_P(File, KeptFileE2e, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &param) {
                             return std::string(param.param ? "BehindRelativeLink" : "Plain");
                         });

TEST_F(ConfigE2e, MissingFileGivesTheDefaultsAndIsWrittenOnQuit) {
    const mode_t old_mask = umask(022);
    start();
    umask(old_mask);
    decline_search();
    close_and_wait();
    EXPECT_TRUE(logged_warning(err(), READ_WARNING)) << err();
    EXPECT_FALSE(logged_warning(err(), WRITE_WARNING)) << err();
    EXPECT_EQ(read_file(config_path()),
              std::string(HEADER) +
                  "delay:15.000000\nrestart_quorvane:0\ndefault_wm:0\ngoback_btn:3\n");
    EXPECT_EQ(mode_of(config_path()), 0644u);
}

TEST_F(ConfigE2e, FolderAsConfigWarnsAtStartAndAtQuit) {
    ASSERT_EQ(mkdir(config_path().c_str(), 0700), 0);
    start();
    decline_search();
    close_and_wait();
    EXPECT_TRUE(logged_warning(err(), READ_WARNING)) << err();
    EXPECT_TRUE(logged_warning(err(), WRITE_WARNING)) << err();
    EXPECT_TRUE(list_folder(config_path()).empty());
}

// The list was saved before a go-back launch; an entry added by hand while
// the window manager ran is in the list that comes back, and is kept.
TEST_F(ListE2e, EditMadeWhileAGoBackWindowManagerRanIsReadAgain) {
    for (const char *name : {"first-wm", "second-wm", "third-wm"})
        install_fake_wm(name);
    write_config({"First=first-wm", "Second=second-wm"}, 0, 1);
    start({}, {{"FAKE_WM_APPEND", config_path()}, {"FAKE_WM_LINE", "Third=third-wm"}});
    ASSERT_NE(window_with_rows(2), 0u);
    click_row(0, 1, 2);
    ASSERT_TRUE(wait_for_start(1)) << err();
    ASSERT_NE(window_with_rows(3), 0u) << read_file(config_path());
    // The list was saved before the launch: there is nothing to tell.
    EXPECT_EQ(wait_for_dialog(std::chrono::milliseconds(500)), 0u);
    wait_past_double_click();
    click_row(2, 1, 2);
    ASSERT_TRUE(wait_for_start(2)) << err();
    ASSERT_NE(window_with_rows(4), 0u) << read_file(config_path());
    quit();
    EXPECT_EQ(started(), (std::vector<std::string>{fake("first-wm"), fake("third-wm")}));
    EXPECT_EQ(saved_entries(), (std::vector<std::string>{"First=first-wm", "Second=second-wm",
                                                         "Third=third-wm", "Third=third-wm"}));
    EXPECT_EQ(err().find("WARNING"), std::string::npos) << err();
}

// Read again, a long list comes back as it does at start: the default that
// the file names now, far down, is selected, in sight and named to a screen
// reader, and Return starts it.
TEST_F(ListE2e, TheDefaultReadAgainFarDownALongListIsSelectedInSightAndNamed) {
    std::vector<std::string> entries;
    for (int i = 0; i < 40; ++i) {
        const std::string number = std::to_string(100 + i);
        install_fake_wm("row" + number + "-wm");
        entries.push_back("Row" + number + "=row" + number + "-wm");
    }
    write_config(entries, 0, 1);
    start({}, {{"FAKE_WM_APPEND", config_path()}, {"FAKE_WM_LINE", "default_wm:35"}});
    ASSERT_NE(window_with_rows(40), 0u);
    click_row(0, 1, 2);
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_TRUE(wait_for([&] {
        const std::vector<ShownRow> shown = rows();
        return shown.size() == 40 && shown[35].is_default && shown[35].selected &&
               shown[35].showing;
    })) << "the default read again is not the selected row in sight";
    const AccessibleNode program = read_program_until([](const AccessibleNode &p) {
        const AccessibleNode *list = p.find("table", "Window managers");
        return list != nullptr && list->description == "The default is Row135";
    });
    const AccessibleNode *list = program.find("table", "Window managers");
    ASSERT_NE(list, nullptr) << program.dump();
    EXPECT_EQ(list->description, "The default is Row135");
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("Return");
    ASSERT_TRUE(wait_for_start(2)) << err();
    ASSERT_NE(window_with_rows(40), 0u);
    quit();
    EXPECT_EQ(started(), (std::vector<std::string>{fake("row100-wm"), fake("row135-wm")}));
}

// Another program changed the file while the list was shown, so the save
// before a go-back launch leaves it: when the window manager ends, the list
// that comes back is the file's, and a message box says that the list was not
// saved, why, and what it shows now. The person's own change gives way.
TEST_F(ListE2e, RefusedSaveBeforeAGoBackLaunchIsToldWhenTheListComesBack) {
    for (const char *name : {"first-wm", "second-wm"})
        install_fake_wm(name);
    write_config({"First=first-wm", "Second=second-wm"}, 0, 1);
    start();
    ASSERT_NE(window_with_rows(2), 0u);
    ASSERT_NE(open_menu_on_row(1), 0u);
    x().key("d");
    x().key("d");
    x().key("Return");
    ASSERT_TRUE(wait_for([&] { return rows().size() == 1; }));
    const std::vector<std::string> theirs = {"First=first-wm", "Second=second-wm",
                                             "Other=other-wm"};
    write_config(theirs, 0, 1);
    const std::string file = read_file(config_path());

    wait_past_double_click();
    click_row(0, 1, 2);
    ASSERT_TRUE(wait_for_start(1)) << err();
    const std::string told = "The list was not saved when \"First\" started: another program had "
                             "changed " +
                             config_path() +
                             " since quorvane read or wrote it. The list now shows what that "
                             "file holds.";
    const AccessibleNode program = read_program_until([&](const AccessibleNode &p) {
        return p.find("dialog") != nullptr && p.find("dialog")->find("label", told.c_str());
    });
    ASSERT_NE(program.find("dialog"), nullptr) << program.dump();
    EXPECT_NE(program.find("dialog")->find("label", told.c_str()), nullptr) << program.dump();
    EXPECT_TRUE(wait_for([&] { return rows().size() == 3; })) << rows().size() << " rows";
    EXPECT_TRUE(logged_warning(err(), CHANGED_WARNING)) << err();
    EXPECT_EQ(read_file(config_path()), file);

    x().close_window(wait_for_dialog());
    ASSERT_TRUE(wait_for([&] { return x().mapped_windows_of_type("DIALOG").empty(); }));
    quit();
    EXPECT_EQ(saved_entries(), theirs);
    EXPECT_EQ(started(), std::vector<std::string>{fake("first-wm")});
}

TEST_F(ConfigE2e, UnreadableFileGivesTheReadWarning) {
    write_config({"twm=twm"}, 0, 0);
    ASSERT_EQ(chmod(config_path().c_str(), 0), 0);
    // Root reads any file: as root, the program runs as nobody, who owns the
    // file and its folder.
    if (geteuid() == 0) {
        const struct passwd *nobody = getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        const uid_t nobody_uid = nobody->pw_uid;
        const struct group *nogroup = getgrnam("nogroup");
        ASSERT_NE(nogroup, nullptr);
        ASSERT_EQ(chmod(tmp_.path().c_str(), 0755), 0);
        ASSERT_EQ(chown(home().c_str(), nobody_uid, nogroup->gr_gid), 0);
        ASSERT_EQ(chown(config_path().c_str(), nobody_uid, nogroup->gr_gid), 0);
        run_through({"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--init-groups"});
    }
    start();
    decline_search();
    close_and_wait();
    EXPECT_TRUE(logged_warning(err(), READ_WARNING)) << err();
}

} // namespace
