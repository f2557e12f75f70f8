// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/search.h"

#include "app/glib_ptr.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

class SearchWalkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *folder : {"local", "x11", "bin"}) {
            ASSERT_EQ(mkdir(tmp.file(folder).c_str(), 0755), 0);
            prefixes_.push_back(tmp.file(folder) + "/");
        }
    }

    // The three folders in their order, closed as the real list is.
    std::vector<const char *> prefixes() const {
        std::vector<const char *> list;
        for (const std::string &prefix : prefixes_)
            list.push_back(prefix.c_str());
        list.push_back("");
        return list;
    }
    std::string path(int folder, const std::string &name) const { return prefixes_[folder] + name; }
    void program(int folder, const std::string &name, mode_t mode = 0755) {
        write_file(path(folder, name), "#!/bin/sh\n");
        ASSERT_EQ(chmod(path(folder, name).c_str(), mode), 0);
    }
    std::vector<FoundWm> find() const { return find_known_wms(known_wms, prefixes().data()); }

    TempDir tmp;
    std::vector<std::string> prefixes_;
};

std::vector<std::string> as_lines(const std::vector<FoundWm> &found) {
    std::vector<std::string> lines;
    for (const FoundWm &wm : found)
        lines.push_back(wm.description + "=" + wm.command);
    return lines;
}

// What the search makes of the table it is given: every entry in table
// order, under its description as it stands, wherever the folder lists it.
TEST_F(SearchWalkTest, FindsEveryEntryOfTheTableInItsOrderUnderItsDescription) {
    std::vector<const KnownWm *> entries;
    for (const KnownWm *wm = known_wms; wm->command[0] != '\0'; ++wm)
        entries.push_back(wm);
    ASSERT_FALSE(entries.empty());
    // Created backwards, so that the order of the folder's entries cannot help.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        program(2, (*it)->command);
    std::vector<std::string> expected;
    for (const KnownWm *wm : entries)
        expected.push_back(std::string(wm->description) + "=" + path(2, wm->command));
    EXPECT_EQ(as_lines(find()), expected);
}

// The whole search over the table, with every program in every folder: one
// row for each entry, from the first folder, before anything the machine's
// own sessions or alternatives add, and no description twice.
TEST_F(SearchWalkTest, TheSearchOffersEachKnownProgramOnceFromTheFirstFolderThatHasIt) {
    for (const KnownWm *wm = known_wms; wm->command[0] != '\0'; ++wm)
        for (int folder = 0; folder < 3; ++folder)
            program(folder, wm->command);
    ASSERT_EQ(mkdir(tmp.file("share").c_str(), 0755), 0);
    const char *saved = getenv("XDG_DATA_DIRS");
    const std::string saved_dirs = saved != nullptr ? saved : "";
    setenv("XDG_DATA_DIRS", tmp.file("share").c_str(), 1);
    const std::vector<FoundWm> found = find_installed_wms(known_wms, prefixes().data());
    if (saved != nullptr)
        setenv("XDG_DATA_DIRS", saved_dirs.c_str(), 1);
    else
        unsetenv("XDG_DATA_DIRS");

    std::vector<std::string> expected;
    for (const KnownWm *wm = known_wms; wm->command[0] != '\0'; ++wm)
        expected.push_back(std::string(wm->description) + "=" + path(0, wm->command));
    const std::vector<std::string> lines = as_lines(found);
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
    std::set<std::string> descriptions;
    for (const FoundWm &wm : found)
        EXPECT_TRUE(
            descriptions.insert(GCharPtr(g_utf8_casefold(wm.description.c_str(), -1)).get()).second)
            << wm.description << " twice";
}

TEST_F(SearchWalkTest, OrdersByTableEntryThenByFolderAndKeepsDuplicates) {
    program(2, "twm");
    program(0, "twm");
    program(2, "fluxbox");
    program(1, "fluxbox");
    program(0, "fluxbox");
    program(1, "xterm");
    const std::vector<std::string> expected = {
        "Fluxbox=" + path(0, "fluxbox"), "Fluxbox=" + path(1, "fluxbox"),
        "Fluxbox=" + path(2, "fluxbox"), "twm=" + path(0, "twm"),
        "twm=" + path(2, "twm"),         "xterm=" + path(1, "xterm"),
    };
    EXPECT_EQ(as_lines(find()), expected);
    // Nothing is remembered from one search to the next.
    EXPECT_EQ(as_lines(find()), expected);
}

// Only what can be started counts: a folder passes the executable test too.
TEST_F(SearchWalkTest, CountsOnlyExecutableRegularFilesAfterFollowingLinks) {
    program(0, "fvwm");
    program(0, "twm", 0644);                             // not executable, even for root
    program(0, "ctwm", 0700);                            // executable by its owner alone
    ASSERT_EQ(mkdir(path(0, "icewm").c_str(), 0755), 0); // a folder
    ASSERT_EQ(mkdir(path(1, "mwm").c_str(), 0755), 0);
    program(1, "mwm/mwm");
    ASSERT_EQ(symlink("../local/fvwm", path(1, "fluxbox").c_str()), 0); // wrong name, but a program
    ASSERT_EQ(symlink(path(0, "icewm").c_str(), path(1, "wmaker").c_str()), 0);
    ASSERT_EQ(symlink("gone", path(2, "xterm").c_str()), 0);
    ASSERT_EQ(symlink(path(0, "twm").c_str(), path(2, "twm").c_str()), 0);
    write_file(path(2, "rxvt"), "");
    ASSERT_EQ(chmod(path(2, "rxvt").c_str(), 0111), 0);

    const std::vector<std::string> expected = {
        "Fluxbox=" + path(1, "fluxbox"),
        "fvwm=" + path(0, "fvwm"),
        "ctwm=" + path(0, "ctwm"),
        "rxvt=" + path(2, "rxvt"),
    };
    EXPECT_EQ(as_lines(find()), expected);
}

TEST_F(SearchWalkTest, StopsAtTheClosingEntries) {
    program(0, "twm");
    program(1, "twm");
    const KnownWm table[] = {{"tab", "twm"}, {"", ""}, {"never", "twm"}};
    const char *const one_prefix[] = {prefixes_[1].c_str(), "", prefixes_[0].c_str()};
    const std::vector<FoundWm> found = find_known_wms(table, one_prefix);
    EXPECT_EQ(as_lines(found), std::vector<std::string>{"tab=" + path(1, "twm")});
    EXPECT_TRUE(find_known_wms(known_wms, std::vector<const char *>{""}.data()).empty());
}

} // namespace
