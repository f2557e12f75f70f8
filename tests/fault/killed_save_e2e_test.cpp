// SPDX-License-Identifier: GPL-2.0-or-later
// The real program saving a long list is killed with SIGKILL at moments spread
// over its save: the file is then always the whole old or the whole new text.
// The fault injector stops the program at the chosen call, so the kill lands
// exactly there. KILLED_SAVES sets how many moments (the suite runs a few
// dozen; bench/killed-save many more, and measures a save in place too).
#include "e2e/e2e_fixture.h"
#include "fault/fault_env.h"
#include "fault/killed_save_text.h"

#include "support/wait.h"
#include "wmlist/config_texts.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace {

// A few hundred entries written 64 bytes at a time give as many moments to
// kill at as a long list written in pages.
constexpr int kEntries = 300;
constexpr size_t kWriteMax = 64;
constexpr int kDefaultKills = 30;

const std::string &old_text() {
    static const std::string text = killed_save_text(kEntries, false);
    return text;
}

const std::string &new_text() {
    static const std::string text = killed_save_text(kEntries, true);
    return text;
}

struct Moment {
    const char *action; // stop-before or stop-after
    const char *call;
    long nth;
    bool renamed; // the new text has taken the file's name by then
};

std::string name_of(const Moment &m) {
    std::string name = std::string(m.action) + "-" + m.call + "-" + std::to_string(m.nth);
    for (char &c : name)
        if (c == '-')
            c = '_';
    return name;
}

void PrintTo(const Moment &m, std::ostream *os) {
    *os << name_of(m);
}

int count_from_environment(const char *name, int fallback) {
    const char *value = getenv(name);
    return value != nullptr && value[0] != '\0' ? atoi(value) : fallback;
}

// The calls of a save by rename, in order, with as many of its writes spread
// in between as make up the count asked for.
std::vector<Moment> rename_moments() {
    const std::vector<Moment> before_writes = {
        {"stop-before", "open-create", 1, false},
        {"stop-after", "open-create", 1, false},
        {"stop-after", "fchmod", 1, false},
    };
    const std::vector<Moment> after_writes = {
        {"stop-before", "fsync", 1, false},       {"stop-after", "fsync", 1, false},
        {"stop-after", "close", 1, false},        {"stop-after", "link", 1, false},
        {"stop-before", "rename", 1, false},      {"stop-after", "rename", 1, true},
        {"stop-before", "fsync-folder", 1, true}, {"stop-after", "fsync-folder", 1, true},
    };
    const long writes = static_cast<long>((new_text().size() + kWriteMax - 1) / kWriteMax);
    const int wanted = count_from_environment("KILLED_SAVES", kDefaultKills);
    const long spread =
        std::max<long>(2, wanted - static_cast<long>(before_writes.size() + after_writes.size()));
    std::vector<Moment> moments = before_writes;
    long last = 0;
    for (long i = 0; i < spread; ++i) {
        const long nth = 1 + i * (writes - 1) / (spread - 1);
        if (nth != last)
            moments.push_back({"stop-after", "write", nth, false});
        last = nth;
    }
    moments.insert(moments.end(), after_writes.begin(), after_writes.end());
    return moments;
}

const char *what_text(const std::string &text) {
    if (text == old_text())
        return "old";
    if (text == new_text())
        return "new";
    return "torn";
}

class KilledSave : public QuorvaneE2e {
  protected:
    std::string folder() const { return path_of("conf"); }
    std::string file() const { return folder() + "/rc"; }

    void prepare() {
        ASSERT_EQ(mkdir(folder().c_str(), 0700), 0);
        write_file(file(), old_text());
    }

    // Quits, which saves; the injector stops the program at the moment, and
    // the kill comes while it is stopped there.
    void kill_at(const Moment &m) {
        start({"-c", file()}, fault_env({m.call, m.nth, "EIO", m.action}, folder(),
                                        path_of("fault.log"), kWriteMax));
        const Window window = main_window();
        ASSERT_NE(window, 0u) << err();
        x().close_window(window);
        ASSERT_TRUE(
            wait_for([&] { return process_state(app().pid()) == 'T'; }, std::chrono::seconds(30)))
            << "never stopped at " << name_of(m) << "\n"
            << err();
        ASSERT_EQ(kill(app().pid(), SIGKILL), 0);
        const std::optional<int> status = app().wait_exit();
        ASSERT_TRUE(status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL);
    }

    // What the killed save left beside the file, as "kind (bytes)" items:
    // the new text, whole or in part, and, once the new file has taken the
    // file's place and until the old one is removed, the old text.
    std::string leftovers(bool old_may_stay, bool *only_known) {
        std::set<std::string> items;
        *only_known = true;
        for (const std::string &name : list_folder(folder())) {
            if (name == "rc")
                continue;
            const std::string text = read_file(folder() + "/" + name);
            const char *kind = "unknown";
            if (new_text().compare(0, text.size(), text) == 0)
                kind = "temporary";
            else if (old_may_stay && text == old_text())
                kind = "old";
            else
                *only_known = false;
            items.insert(std::string(kind) + " (" + std::to_string(text.size()) + " bytes)");
        }
        std::string summary;
        for (const std::string &item : items)
            summary += (summary.empty() ? "" : ", ") + item;
        return summary.empty() ? "nothing" : summary;
    }

    void report(const char *path, const Moment &m, const std::string &file_state,
                const std::string &left) {
        // One line per kill, which bench/killed-save counts up.
        std::cout << "KILLED " << path << " " << name_of(m) << " file=" << file_state
                  << " left=" << left << std::endl;
    }
};

class KilledRenameSave : public KilledSave, public ::testing::WithParamInterface<Moment> {};

TEST_P(KilledRenameSave, FileIsTheWholeOldOrTheWholeNewText) {
    const Moment m = GetParam();
    prepare();
    kill_at(m);
    const std::string text = read_file(file());
    bool only_known = true;
    const std::string left = leftovers(m.renamed, &only_known);
    report("rename", m, what_text(text), left);
    EXPECT_EQ(what_text(text), std::string(m.renamed ? "new" : "old"));
    EXPECT_TRUE(only_known) << left;
}

INSTANTIATE_TEST_SUITE_P(Moments, KilledRenameSave, ::testing::ValuesIn(rename_moments()),
                         [](const ::testing::TestParamInfo<Moment> &param) {
                             return name_of(param.param);
                         });

// Killed where it leaves something behind (the new text, named, not yet
// renamed), the save does not stand in the way of the next run.
TEST_F(KilledSave, NextRunReadsTheWholeListAndSavesIt) {
    prepare();
    kill_at({"stop-before", "rename", 1, false});
    ASSERT_EQ(read_file(file()), old_text());
    const std::set<std::string> names = list_folder(folder());
    ASSERT_EQ(names.size(), 2u);

    start({"-c", file()});
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(read_file(file()), new_text());
    EXPECT_EQ(err().find("WARNING"), std::string::npos) << err();
}

} // namespace
