// SPDX-License-Identifier: GPL-2.0-or-later
// Saving as an ordinary user, for whom permissions count: the save refuses
// what writing the file itself would refuse, and keeps what the file is; a
// file that is not whole text, or no file at all, is never written. The
// program runs as nobody; the X server and the test stay root.
#include "e2e/e2e_fixture.h"

#include "support/wait.h"
#include "wmlist/config_texts.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

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
    // Where the program finds the file, bind-mounted from path, when not at path.
    std::string bound_at{};
    // A link to path given with -c instead, which the kernel itself refuses to
    // follow where it protects links (fs.protected_symlinks), as Debian does
    // by default: then the file is not even read.
    std::string link_the_kernel_may_refuse{};
};

bool kernel_protects_links() {
    return file_exists("/proc/sys/fs/protected_symlinks") &&
           read_file("/proc/sys/fs/protected_symlinks") != "0\n";
}

// Every extended attribute of the file (its ACL among them), by name.
std::map<std::string, std::string> attributes_of(const std::string &path) {
    std::map<std::string, std::string> attributes;
    char names[4096];
    const ssize_t length = llistxattr(path.c_str(), names, sizeof names);
    for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(strlen(names + at)) + 1) {
        char value[4096];
        const ssize_t size = lgetxattr(path.c_str(), names + at, value, sizeof value);
        attributes[names + at] = std::string(value, size < 0 ? 0 : static_cast<size_t>(size));
    }
    return attributes;
}

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

// A folder of root's group staff, in which every new file takes that group.
std::string set_group_id_folder(const std::string &tmp, const Ids &ids) {
    const std::string folder = tmp + "/staff-folder";
    EXPECT_EQ(mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(chown(folder.c_str(), 0, ids.staff), 0);
    EXPECT_EQ(chmod(folder.c_str(), 02777), 0);
    return folder;
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
    // Planted by another user (daemon) in a folder anyone may write, as in
    // /tmp: the save follows it no more than the kernel's protected_symlinks
    // would, and the user's own file it names stays as it was.
    {"LinkOfAnotherInAStickyFolder",
     [](const std::string &home, const std::string &tmp, const Ids &ids) {
         const std::string folder = tmp + "/shared";
         EXPECT_EQ(mkdir(folder.c_str(), 0777), 0);
         EXPECT_EQ(chmod(folder.c_str(), 01777), 0);
         const std::string own = make_file(home + "/own", ids.nobody, ids.nogroup, 0640);
         const std::string link = folder + "/rc";
         EXPECT_EQ(symlink(own.c_str(), link.c_str()), 0);
         const struct passwd *daemon = getpwnam("daemon");
         EXPECT_NE(daemon, nullptr);
         EXPECT_EQ(lchown(link.c_str(), daemon != nullptr ? daemon->pw_uid : 1,
                          daemon != nullptr ? daemon->pw_gid : 1),
                   0);
         return MadeFile{own, false, "", link};
     },
     true, false, nobody_user, nogroup_group, 0640},
    {"InASetGroupIdFolder",
     [](const std::string &, const std::string &tmp, const Ids &ids) {
         return MadeFile{
             make_file(set_group_id_folder(tmp, ids) + "/rc", ids.nobody, ids.nogroup, 0640)};
     },
     true, true, nobody_user, nogroup_group, 0640},
    {"WithAnAclEntryAndAUserAttribute",
     [](const std::string &home, const std::string &, const Ids &ids) {
         const std::string path = make_file(home + "/.quorvanerc", ids.nobody, ids.nogroup, 0640);
         EXPECT_EQ(system(("setfacl -m g:staff:r '" + path + "'").c_str()), 0);
         EXPECT_EQ(setxattr(path.c_str(), "user.note", "kept", 4, 0), 0) << strerror(errno);
         return MadeFile{path};
     },
     true, true, nobody_user, nogroup_group, 0640},
    {"BindMounted",
     [](const std::string &home, const std::string &, const Ids &ids) {
         write_file(home + "/.quorvanerc", "");
         return MadeFile{make_file(home + "/kept-rc", ids.nobody, ids.nogroup, 0640), false,
                         home + "/.quorvanerc"};
     },
     true, true, nobody_user, nogroup_group, 0640},
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

class AsUserE2e : public QuorvaneE2e {
  protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root, to make files of other owners and run the program "
                            "as nobody";
        // Each lookup overwrites the record the one before returned.
        const struct passwd *nobody = getpwnam("nobody");
        const uid_t nobody_uid = nobody != nullptr ? nobody->pw_uid : 0;
        const struct group *nogroup = getgrnam("nogroup");
        const gid_t nogroup_gid = nogroup != nullptr ? nogroup->gr_gid : 0;
        const struct group *staff = getgrnam("staff");
        if (nobody_uid == 0 || nogroup_gid == 0 || staff == nullptr)
            GTEST_SKIP() << "needs the user nobody and the groups nogroup and staff";
        ids_ = Ids{nobody_uid, nogroup_gid, staff->gr_gid};
        QuorvaneE2e::SetUp();
        ASSERT_EQ(chmod(tmp_.path().c_str(), 0755), 0);
        ASSERT_EQ(chown(home().c_str(), ids_.nobody, ids_.nogroup), 0);
    }

    // Before setpriv: a command that runs it, such as prlimit.
    void run_as_user(bool in_staff, std::vector<std::string> before = {}) {
        for (const char *part : {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup"})
            before.emplace_back(part);
        before.emplace_back(in_staff ? "--groups=staff" : "--init-groups");
        run_through(before);
    }

    // Runs it in a private mount namespace where source is bind-mounted on target.
    void run_as_user_with_mount(const std::string &source, const std::string &target) {
        run_as_user(false,
                    {"/usr/bin/unshare", "-m", "/bin/sh", "-c",
                     "mount --bind \"$1\" \"$2\" && shift 2 && exec \"$@\"", "sh", source, target});
    }

    // A window manager that nobody can start and that records its start.
    void install_wm_for_user(const std::string &name) {
        ASSERT_EQ(chmod(path_of("bin").c_str(), 0755), 0);
        write_file(path_of("bin/" + name), read_file(FAKE_WM));
        ASSERT_EQ(chmod(path_of("bin/" + name).c_str(), 0755), 0);
        write_file(wm_log_path(), "");
        ASSERT_EQ(chown(wm_log_path().c_str(), ids_.nobody, ids_.nogroup), 0);
    }

    bool wm_started(const std::string &name) {
        // The shell that runs it takes its path as its name.
        return wm_log().find("/bin/" + name + "\n") != std::string::npos;
    }

    Ids ids_;
};

class SaveAsUserE2e : public AsUserE2e, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveAsUserE2e, SaveWritesOnlyWhatTheUserMayAndKeepsTheFileAsItIs) {
    const SaveCase &c = GetParam();
    const MadeFile setup = c.make(home(), tmp_.path(), ids_);
    const std::string folder = setup.path.substr(0, setup.path.rfind('/'));
    const std::set<std::string> names_before = list_folder(folder);
    const std::string before = read_file(setup.path);
    const auto attributes = attributes_of(setup.path);
    if (std::string(c.name) == "WithAnAclEntryAndAUserAttribute" && attributes.size() != 2)
        GTEST_SKIP() << "needs a file system with ACLs and user attributes";
    const std::string &link = setup.link_the_kernel_may_refuse;
    const bool readable = c.readable && !(!link.empty() && kernel_protects_links());
    if (setup.bound_at.empty())
        run_as_user(setup.in_staff);
    else
        run_as_user_with_mount(setup.path, setup.bound_at);

    start({"-c", !setup.bound_at.empty() ? setup.bound_at : !link.empty() ? link : setup.path});
    if (!readable) {
        // An empty list first asks whether to search; say no.
        const Window question = wait_for_dialog();
        ASSERT_NE(question, 0u) << err();
        x().close_window(question);
    }
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();

    EXPECT_EQ(logged_warning(err(), READ_WARNING), !readable) << err();
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
    EXPECT_EQ(attributes_of(setup.path), attributes);
    EXPECT_EQ(list_folder(folder), names_before) << "a file was left beside it";
}

INSTANTIATE_TEST_SUITE_P(Files, SaveAsUserE2e, ::testing::ValuesIn(SAVE_CASES),
                         [](const ::testing::TestParamInfo<SaveCase> &param) {
                             return std::string(param.param.name);
                         });

} // namespace

namespace {

std::string utf16(const std::string &text) {
    std::string wide = "\xff\xfe";
    for (const char c : text)
        wide += std::string{c, '\0'};
    return wide;
}

const std::string LISTED = "A=a-wm\nB=b-wm\nC=c-wm\nD=d-wm\ndelay:0.2\ndefault_wm:2\n";

struct UnreadCase {
    const char *name;
    // Makes the configuration at path; entries from LISTED when it is read.
    std::function<void(const std::string &path)> make;
    const char *reason;   // in the write warning
    const char *launched; // what Return starts: the entry at default_wm, or none
};

const UnreadCase UNREAD_CASES[] = {
    {"ZeroBytesAfterAnEntry",
     [](const std::string &path) {
         write_file(path, "A=a-wm" + std::string(200, '\0') + "\n" + LISTED.substr(7));
     },
     "Invalid or incomplete multibyte or wide character", "c-wm"},
    {"Utf16", [](const std::string &path) { write_file(path, utf16(LISTED)); },
     "Invalid or incomplete multibyte or wide character", ""},
    {"Fifo", [](const std::string &path) { EXPECT_EQ(mkfifo(path.c_str(), 0600), 0); },
     "not a regular file", ""},
    {"LinkToDevZero",
     [](const std::string &path) { EXPECT_EQ(symlink("/dev/zero", path.c_str()), 0); },
     "not a regular file", ""},
};

void PrintTo(const UnreadCase &c, std::ostream *os) {
    *os << c.name;
}

class UnreadAsUserE2e : public AsUserE2e, public ::testing::WithParamInterface<UnreadCase> {};

// A file not read whole is left as it is: the list shows what could be read,
// no line glued to the next, nothing starts by itself, and every save says
// why it was refused. Nothing hangs on a pipe or a device.
TEST_P(UnreadAsUserE2e, ShowsWhatCouldBeReadAndIsNeverWritten) {
    const UnreadCase &c = GetParam();
    for (const char *name : {"a-wm", "b-wm", "c-wm", "d-wm"})
        install_wm_for_user(name);
    c.make(config_path());
    ASSERT_EQ(lchown(config_path().c_str(), ids_.nobody, ids_.nogroup), 0);
    struct stat before = {};
    ASSERT_EQ(lstat(config_path().c_str(), &before), 0);
    const std::string bytes = S_ISREG(before.st_mode) ? read_file(config_path()) : "";
    run_as_user(false);

    start();
    const bool listed = c.launched[0] != '\0';
    if (!listed) {
        const Window question = wait_for_dialog(std::chrono::seconds(5));
        ASSERT_NE(question, 0u) << err();
        x().close_window(question);
    }
    const Window window = x().wait_for_viewable(MAIN_TITLE, std::chrono::seconds(5));
    ASSERT_NE(window, 0u) << err();
    if (listed) {
        // The file's delay is 0.2 s: a countdown would have started it by then.
        EXPECT_FALSE(wait_for([&] { return !wm_log().empty(); }, std::chrono::seconds(1)));
        ASSERT_TRUE(x().wait_for_focus(window));
        x().key("Return");
        // The fake writes its record line by line: wait for the last one.
        ASSERT_TRUE(wait_for([&] { return wm_log().find("started\n") != std::string::npos; }))
            << err();
        EXPECT_TRUE(wm_started(c.launched)) << wm_log();
    } else {
        x().close_window(window);
    }
    EXPECT_EQ(exit_code(), 0) << err();

    EXPECT_TRUE(logged_warning(err(), READ_WARNING)) << err();
    EXPECT_TRUE(logged_warning(err(), std::string(WRITE_WARNING) +
                                          ": it could not be read in full at start-up \\(" +
                                          c.reason + "\\)"))
        << err();
    struct stat after = {};
    ASSERT_EQ(lstat(config_path().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    if (S_ISREG(before.st_mode)) {
        EXPECT_EQ(read_file(config_path()), bytes);
    }
    EXPECT_EQ(list_folder(home()), std::set<std::string>{".quorvanerc"});
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadAsUserE2e, ::testing::ValuesIn(UNREAD_CASES),
                         [](const ::testing::TestParamInfo<UnreadCase> &param) {
                             return std::string(param.param.name);
                         });

// A save that would write past the file-size limit fails like any other
// write: the file, rewritten in place for its second name, keeps its old
// bytes, the warning says why, and the window manager starts all the same.
TEST_F(AsUserE2e, FileSizeLimitLeavesTheOldTextAndTheLaunchGoesOn) {
    install_wm_for_user("a-wm");
    // Written by hand, without the header that a save adds.
    std::string old_text;
    for (int i = 0; i < 40; ++i)
        old_text += "Entry " + std::to_string(i) + "=a-wm\n";
    old_text += "delay:0.2\n";
    write_file(config_path(), old_text);
    ASSERT_EQ(chown(config_path().c_str(), ids_.nobody, ids_.nogroup), 0);
    ASSERT_EQ(link(config_path().c_str(), (home() + "/second-name").c_str()), 0);
    run_as_user(false, {"/usr/bin/prlimit", "--fsize=" + std::to_string(old_text.size() + 16)});

    start();
    ASSERT_TRUE(wait_for([&] { return wm_started("a-wm"); })) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_TRUE(logged_warning(err(), std::string(WRITE_WARNING) + ": File too large")) << err();
    EXPECT_EQ(read_file(config_path()), old_text);
    EXPECT_EQ(list_folder(home()), (std::set<std::string>{".quorvanerc", "second-name"}));
}

} // namespace
