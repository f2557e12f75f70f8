// SPDX-License-Identifier: GPL-2.0-or-later
// Saving as an ordinary user, for whom permissions count: the save refuses
// what writing the file itself would refuse, and keeps what the file is.
// The program runs as nobody; the X server and the test stay root.
#include "e2e/e2e_fixture.h"

#include "support/wait.h"
#include "wmlist/config_texts.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <regex>
#include <set>
#include <string>

namespace {

bool logged_warning(const std::string &err, const std::string &text) {
    const std::regex line("\\*\\* \\(quorvane:[0-9]+\\): WARNING \\*\\*: [0-9:.]+: " + text);
    return std::regex_search(err, line);
}

struct stat stat_of(const std::string &path) {
    struct stat info = {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info;
}

struct Ids {
    uid_t nobody = 0;
    gid_t nogroup = 0;
    gid_t staff = 0;
};

// What a case makes: the configuration file at path, as the user finds it.
struct MadeFile {
    std::string path;
    bool in_staff = false; // the user is a member of the group staff
};

struct SaveCase {
    const char *name;
    // Writes the file (two entries, a delay and a line the save drops) and
    // sets its owner and mode; returns where it is.
    std::function<MadeFile(const std::string &home, const std::string &tmp, const Ids &)> make;
    bool readable; // by the user, so that the list is not empty
    bool saved;
    uid_t (*owner)(const Ids &);
    gid_t (*group)(const Ids &);
    mode_t mode;
};

uid_t root_user(const Ids &) {
    return 0;
}
uid_t nobody_user(const Ids &ids) {
    return ids.nobody;
}
gid_t root_group(const Ids &) {
    return 0;
}
gid_t nogroup_group(const Ids &ids) {
    return ids.nogroup;
}
gid_t staff_group(const Ids &ids) {
    return ids.staff;
}

const std::string KEPT_LINE = "# a line that only a save would drop\n";

std::string config_text() {
    return std::string(HEADER) + "First=first-wm\nSecond=second-wm\n" + KEPT_LINE +
           "delay:0.000000\nrestart_quorvane:0\ndefault_wm:1\ngoback_btn:3\n";
}

std::string make_file(const std::string &path, uid_t owner, gid_t group, mode_t mode) {
    write_file(path, config_text());
    EXPECT_EQ(chown(path.c_str(), owner, group), 0);
    EXPECT_EQ(chmod(path.c_str(), mode), 0);
    return path;
}

const SaveCase SAVE_CASES[] = {
    {"UnreadableFileOfRoot",
     [](const std::string &home, const std::string &, const Ids &) {
         return MadeFile{make_file(home + "/.quorvanerc", 0, 0, 0600)};
     },
     false, false, root_user, root_group, 0600},
    {"ReadOnlyFileOfTheUser",
     [](const std::string &home, const std::string &, const Ids &ids) {
         return MadeFile{make_file(home + "/.quorvanerc", ids.nobody, ids.nogroup, 0444)};
     },
     true, false, nobody_user, nogroup_group, 0444},
    {"ModeZeroFileOfTheUser",
     [](const std::string &home, const std::string &, const Ids &ids) {
         return MadeFile{make_file(home + "/.quorvanerc", ids.nobody, ids.nogroup, 0)};
     },
     false, false, nobody_user, nogroup_group, 0},
    {"WriteOnlyFileOfTheUser",
     [](const std::string &home, const std::string &, const Ids &ids) {
         return MadeFile{make_file(home + "/.quorvanerc", ids.nobody, ids.nogroup, 0200)};
     },
     false, false, nobody_user, nogroup_group, 0200},
    {"GroupWritableFileOfAnotherOwner",
     [](const std::string &home, const std::string &, const Ids &ids) {
         return MadeFile{make_file(home + "/.quorvanerc", 0, ids.staff, 0664), true};
     },
     true, true, root_user, staff_group, 0664},
    {"WritableFileOfAnotherInAStickyFolder",
     [](const std::string &, const std::string &tmp, const Ids &) {
         const std::string folder = tmp + "/shared";
         EXPECT_EQ(mkdir(folder.c_str(), 0777), 0);
         EXPECT_EQ(chmod(folder.c_str(), 01777), 0);
         return MadeFile{make_file(folder + "/rc", 0, 0, 0666)};
     },
     true, true, root_user, root_group, 0666},
    {"NameOf255Bytes",
     [](const std::string &home, const std::string &, const Ids &ids) {
         return MadeFile{
             make_file(home + "/" + std::string(255, 'q'), ids.nobody, ids.nogroup, 0640)};
     },
     true, true, nobody_user, nogroup_group, 0640},
};

void PrintTo(const SaveCase &c, std::ostream *os) {
    *os << c.name;
}

class SaveAsUserE2e : public QuorvaneE2e, public ::testing::WithParamInterface<SaveCase> {
  protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root, to make files of other owners and run the program "
                            "as nobody";
        const struct passwd *nobody = getpwnam("nobody");
        const struct group *nogroup = getgrnam("nogroup");
        const struct group *staff = getgrnam("staff");
        if (nobody == nullptr || nogroup == nullptr || staff == nullptr)
            GTEST_SKIP() << "needs the user nobody and the groups nogroup and staff";
        ids_ = Ids{nobody->pw_uid, nogroup->gr_gid, staff->gr_gid};
        QuorvaneE2e::SetUp();
        ASSERT_EQ(chmod(tmp_.path().c_str(), 0755), 0);
        ASSERT_EQ(chown(home().c_str(), ids_.nobody, ids_.nogroup), 0);
    }

    void run_as_user(bool in_staff) {
        run_through({"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                     in_staff ? "--groups=staff" : "--init-groups"});
    }

    Ids ids_;
};

TEST_P(SaveAsUserE2e, SaveWritesOnlyWhatTheUserMayAndKeepsTheFileAsItIs) {
    const SaveCase &c = GetParam();
    const MadeFile setup = c.make(home(), tmp_.path(), ids_);
    const std::string folder = setup.path.substr(0, setup.path.rfind('/'));
    const std::set<std::string> names_before = list_folder(folder);
    const std::string before = read_file(setup.path);
    run_as_user(setup.in_staff);

    start({"-c", setup.path});
    if (!c.readable) {
        // An empty list first asks whether to search; say no.
        const Window question = wait_for_dialog();
        ASSERT_NE(question, 0u) << err();
        x().close_window(question);
    }
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();

    EXPECT_EQ(logged_warning(err(), READ_WARNING), !c.readable) << err();
    EXPECT_EQ(logged_warning(err(), WRITE_WARNING), !c.saved) << err();
    if (c.saved) {
        std::string expected = before;
        expected.erase(expected.find(KEPT_LINE), KEPT_LINE.size());
        EXPECT_EQ(read_file(setup.path), expected);
    } else {
        EXPECT_EQ(read_file(setup.path), before);
    }
    const struct stat info = stat_of(setup.path);
    EXPECT_EQ(info.st_uid, c.owner(ids_));
    EXPECT_EQ(info.st_gid, c.group(ids_));
    EXPECT_EQ(info.st_mode & 07777, c.mode);
    EXPECT_EQ(list_folder(folder), names_before) << "a file was left beside it";
}

INSTANTIATE_TEST_SUITE_P(Files, SaveAsUserE2e, ::testing::ValuesIn(SAVE_CASES),
                         [](const ::testing::TestParamInfo<SaveCase> &param) {
                             return std::string(param.param.name);
                         });

} // namespace
