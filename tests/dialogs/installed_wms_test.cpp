// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/installed_wms.h"
#include "dialogs/search.h"
#include "launch/launcher.h"

#include "support/private_mounts.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include <climits>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

// Sets environment variables for one test and puts them back after it.
class ScopedEnv {
  public:
    ~ScopedEnv() {
        for (const auto &[name, value] : saved_)
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
    }
    void set(const std::string &name, const std::optional<std::string> &value) {
        if (saved_.count(name) == 0) {
            const char *old = getenv(name.c_str());
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }

  private:
    std::map<std::string, std::optional<std::string>> saved_;
};

std::vector<std::string> as_lines(const std::vector<FoundWm> &found) {
    std::vector<std::string> lines;
    for (const FoundWm &wm : found)
        lines.push_back(wm.description + "=" + wm.command);
    return lines;
}

constexpr char kHelper[] = "/usr/bin/update-alternatives";

// A private system: data folders with their xsessions folders, program
// folders for PATH, and a fake update-alternatives put over Debian's for the
// tests that ask for one. Nothing the machine has installed is seen.
class InstalledWmsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *folder :
             {"share", "share/xsessions", "later", "later/xsessions", "bin", "opt", "tools"})
            ASSERT_EQ(mkdir(tmp.file(folder).c_str(), 0755), 0);
        env.set("XDG_DATA_DIRS", tmp.file("share") + ":" + tmp.file("later"));
        env.set("PATH", tmp.file("bin") + ":" + tmp.file("tools"));
        env.set("LANGUAGE", std::nullopt);
        env.set("LC_ALL", "C");
    }
    void TearDown() override {
        if (helper_mounted_)
            umount2(kHelper, MNT_DETACH);
    }

    std::string program(const std::string &name, mode_t mode = 0755) {
        const std::string path = tmp.file(name);
        write_file(path, "#!/bin/sh\nexit 0\n");
        EXPECT_EQ(chmod(path.c_str(), mode), 0);
        return path;
    }
    void session(const std::string &name, const std::string &keys,
                 const std::string &folder = "share") {
        write_file(tmp.file(folder + "/xsessions/" + name),
                   "[Desktop Entry]\nType=XSession\n" + keys);
    }
    // Lays tools/update-alternatives over Debian's, for this process and
    // what it starts; false, with the reason, when that cannot be done here.
    bool put_fake_helper_in_place(std::string *why) {
        helper_script("exit 2\n");
        if (!enter_private_mount_namespace("put a fake over " + std::string(kHelper), why))
            return false;
        if (mount(tmp.file("tools/update-alternatives").c_str(), kHelper, nullptr, MS_BIND,
                  nullptr) != 0) {
            *why = std::string("cannot put a fake over ") + kHelper + ": " + strerror(errno);
            return false;
        }
        helper_mounted_ = true;
        return true;
    }
    // The fake's answer for x-window-manager: these lines, then the rest of
    // the script.
    void alternatives(const std::vector<std::string> &paths, const std::string &then = "exit 0\n") {
        std::string script;
        for (const std::string &path : paths)
            script += "echo '" + path + "'\n";
        helper_script(script + then);
    }
    std::vector<std::string> sessions() const {
        return as_lines(find_session_wms(session_data_dirs()));
    }

    TempDir tmp;
    ScopedEnv env;

  private:
    // Written in place, so that the mounted file shows every new text.
    void helper_script(const std::string &body) {
        write_file(tmp.file("tools/update-alternatives"),
                   "#!/bin/sh\n[ $# = 2 ] && [ \"$1\" = --list ] && "
                   "[ \"$2\" = x-window-manager ] || exit 2\n" +
                       body);
        ASSERT_EQ(chmod(tmp.file("tools/update-alternatives").c_str(), 0755), 0);
    }

    bool helper_mounted_ = false;
};

TEST_F(InstalledWmsTest, OffersTheSessionsThatStartOneProgramWithItsFullPath) {
    const std::string bare = program("bin/bare-wm");
    const std::string absolute = program("opt/absolute-wm");
    const std::string blank = program("opt/my wm");
    program("bin/plain-wm", 0644);
    program("bin/quorvane");
    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    ASSERT_EQ(symlink(self, tmp.file("bin/chooser").c_str()), 0);
    ASSERT_EQ(mkfifo(tmp.file("share/xsessions/fifo.desktop").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(tmp.file("share/xsessions/folder.desktop").c_str(), 0755), 0);
    // Installed, so that only its field code leaves it out.
    program("bin/%c");

    session("a-bare.desktop", "Name=Bare\nExec=bare-wm\nTryExec=bare-wm\n");
    session("b-absolute.desktop", "Name=Absolute\nExec=" + absolute + "\nTryExec=" + absolute);
    session("c-quoted.desktop", "Name=Quoted\nExec=\"" + blank + "\"\n");
    session("d-unnamed.desktop", "Exec=bare-wm\n");
    const std::vector<std::string> left_out = {
        "Exec=bare-wm --replace\n",
        "Exec=bare-wm %U\n",
        "Exec=" + tmp.file("bin") + "/%c\n",
        "Exec=bare-wm\nHidden=true\n",
        "Exec=bare-wm\nNoDisplay=true\n",
        "Exec=gone-wm\n",
        "Exec=" + tmp.file("opt/gone-wm") + "\n",
        "Exec=bin/bare-wm\n",
        "Exec=plain-wm\n",
        "Exec=bare-wm\nTryExec=gone-wm\n",
        "Exec=bare-wm\nTryExec=" + tmp.file("bin") + "\n",
        "Exec=quorvane\n",
        "Exec=chooser\n",
        "Exec=\n",
        "Name=No Exec\n",
    };
    for (size_t i = 0; i < left_out.size(); ++i)
        session("e-out-" + std::to_string(i) + ".desktop", "Name=Out\n" + left_out[i]);
    write_file(tmp.file("share/xsessions/readme.txt"),
               "[Desktop Entry]\nName=Text\nExec=bare-wm\n");
    write_file(tmp.file("share/xsessions/f-broken.desktop"), "Name=Broken\nExec=bare-wm\n");

    EXPECT_EQ(sessions(), (std::vector<std::string>{"Bare=" + bare, "Absolute=" + absolute,
                                                    "Quoted=" + blank, "bare-wm=" + bare}));
}

// The file blanks ":", "=" and line breaks and strips blanks at the ends: a
// program whose path has them would be another file after the next start.
TEST_F(InstalledWmsTest, LeavesOutTheSessionsWhosePathTheFileCannotHold) {
    const std::string wm = program("bin/wm");
    ASSERT_EQ(mkdir(tmp.file("odd=folder").c_str(), 0755), 0);
    program("odd=folder/odd-wm");
    env.set("PATH", tmp.file("bin") + ":" + tmp.file("odd=folder"));
    const std::vector<std::string> left_out = {
        "Exec=" + program("opt/wm:1"),
        "Exec=" + program("opt/a=b"),
        "Exec=\"" + program("opt/trailing ") + "\"",
        "Exec=\" " + program("opt/leading") + "\"",
        "Exec=\"" + tmp.file("opt/line\\nbreak") + "\"",
        "Exec=odd-wm",
    };
    program("opt/line\nbreak");
    for (size_t i = 0; i < left_out.size(); ++i)
        session("out-" + std::to_string(i) + ".desktop", "Name=Out\n" + left_out[i] + "\n");
    session("plain.desktop", "Name=Plain\nExec=wm\n");
    EXPECT_EQ(sessions(), std::vector<std::string>{"Plain=" + wm});
}

// A bare name is looked for where a launch would look for it: never in the
// current folder when PATH is unset, as the toolkit's own search would.
TEST_F(InstalledWmsTest, BareNamesAreLookedForAlongThePathALaunchSearches) {
    program("bin/plantedwm");
    session("a.desktop", "Name=Planted\nExec=plantedwm\n");
    session("b.desktop", "Name=Shell\nExec=sh\n");
    char folder[PATH_MAX] = {};
    ASSERT_NE(getcwd(folder, sizeof folder), nullptr);
    ASSERT_EQ(chdir(tmp.file("bin").c_str()), 0);
    const std::vector<std::pair<std::optional<std::string>, std::vector<std::string>>> cases = {
        {std::nullopt, {"Shell=/bin/sh"}},
        {"", {}},
        {":" + tmp.file("opt"), {}},
    };
    for (const auto &[path, expected] : cases) {
        SCOPED_TRACE(path ? "PATH=" + *path : "PATH unset");
        env.set("PATH", path);
        EXPECT_EQ(sessions(), expected);
    }
    ASSERT_EQ(chdir(folder), 0);
}

// A session file is a few kilobytes: a larger one is passed over by what the
// opened file says, and never read, whatever memory is left.
TEST_F(InstalledWmsTest, ASessionFileLargerThanAnyRealOneIsPassedOverUnread) {
    const std::string wm = program("bin/wm");
    const auto padded = [](const std::string &name, size_t size) {
        std::string text = "[Desktop Entry]\nExec=wm\nName=" + name + "\n#";
        text.append(size - text.size() - 1, 'x');
        return text + "\n";
    };
    write_file(tmp.file("share/xsessions/a.desktop"), padded("At the limit", 64 * 1024));
    write_file(tmp.file("share/xsessions/b.desktop"), padded("Over", 64 * 1024 + 1));
    const std::string huge = tmp.file("share/xsessions/c.desktop");
    write_file(huge, "[Desktop Entry]\nExec=wm\nName=Huge\n");
    ASSERT_EQ(truncate(huge.c_str(), 3LL << 30), 0);
    session("d.desktop", "Name=Small\nExec=wm\n");

    // Under a memory limit, as a session may run; a file read whole would
    // end the search, and the program with it.
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlim_t limit = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE)) + (512 << 20);
        const struct rlimit memory = {limit, limit};
        if (setrlimit(RLIMIT_AS, &memory) != 0)
            _exit(2);
        std::string lines;
        for (const std::string &line : sessions())
            lines += line + "\n";
        write_file(tmp.file("found"), lines);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(read_file(tmp.file("found")), "At the limit=" + wm + "\nSmall=" + wm + "\n");
}

TEST_F(InstalledWmsTest, AnEarlierFolderHidesSessionsOfTheSameNameAndNamesGiveTheOrder) {
    const std::string wm = program("bin/wm");
    session("b.desktop", "Name=Hidden here\nExec=wm\nHidden=true\n");
    session("c.desktop", "Name=Earlier C\nExec=wm\n");
    session("a.desktop", "Name=Later A\nExec=wm\n", "later");
    session("b.desktop", "Name=Later B\nExec=wm\n", "later");
    session("c.desktop", "Name=Later C\nExec=wm\n", "later");
    session("C.desktop", "Name=Capital C\nExec=wm\n", "later");
    EXPECT_EQ(sessions(),
              (std::vector<std::string>{"Capital C=" + wm, "Later A=" + wm, "Earlier C=" + wm}));
}

TEST_F(InstalledWmsTest, TheDataFoldersComeFromXdgDataDirsOrItsDefault) {
    env.set("XDG_DATA_DIRS", "/one::relative/two:/three/");
    EXPECT_EQ(session_data_dirs(), (std::vector<std::string>{"/one", "/three/"}));
    for (const std::optional<std::string> &unset :
         {std::optional<std::string>(""), std::optional<std::string>()}) {
        env.set("XDG_DATA_DIRS", unset);
        EXPECT_EQ(session_data_dirs(),
                  (std::vector<std::string>{"/usr/local/share", "/usr/share"}));
    }
}

TEST_F(InstalledWmsTest, DescribesASessionByItsNameInTheUsersLanguage) {
    const std::string wm = program("bin/wm");
    session("a.desktop", "Name=Session\nName[de]=Sitzung\nName[fr]=Séance\nExec=wm\n");
    session("b.desktop", "Name=Other\nName[de_AT]=Andere\nExec=wm\n");
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"de_DE.UTF-8", {"Sitzung=" + wm, "Other=" + wm}},
        {"de_AT.UTF-8", {"Sitzung=" + wm, "Andere=" + wm}},
        {"fr_FR.UTF-8", {"Séance=" + wm, "Other=" + wm}},
        {"C", {"Session=" + wm, "Other=" + wm}},
    };
    for (const auto &[locale, expected] : cases) {
        SCOPED_TRACE(locale);
        env.set("LC_ALL", locale);
        EXPECT_EQ(sessions(), expected);
    }
}

TEST_F(InstalledWmsTest, OffersTheRegisteredAlternativesThatCanBeStarted) {
    std::string why;
    if (!put_fake_helper_in_place(&why))
        GTEST_SKIP() << why;
    const std::string first = program("opt/first-wm");
    const std::string second = program("bin/second-wm");
    program("opt/plain-wm", 0644);
    program("opt/quorvane");
    alternatives({first, tmp.file("opt/gone-wm"), tmp.file("opt/plain-wm"), "second-wm", second,
                  tmp.file("opt"), tmp.file("opt/quorvane"), program("opt/wm:2")});
    EXPECT_EQ(as_lines(find_alternative_wms()),
              (std::vector<std::string>{"first-wm=" + first, "second-wm=" + second}));

    // A failing tool offers nothing.
    alternatives({first}, "exit 2\n");
    EXPECT_TRUE(find_alternative_wms().empty());
}

// Debian's tool is run by its full path: one that comes first along PATH is
// never asked.
TEST_F(InstalledWmsTest, TheToolOnPathIsNeverRun) {
    const std::string planted = program("opt/planted-wm");
    write_file(tmp.file("bin/update-alternatives"),
               "#!/bin/sh\ntouch '" + tmp.file("ran") + "'\necho '" + planted + "'\n");
    ASSERT_EQ(chmod(tmp.file("bin/update-alternatives").c_str(), 0755), 0);
    for (const FoundWm &wm : find_alternative_wms())
        EXPECT_NE(wm.command, planted);
    EXPECT_FALSE(file_exists(tmp.file("ran")));
}

// The program's SIGCHLD reaper must not collect the tool before the search
// has its exit status: a failing tool's output would pass for a good one.
TEST_F(InstalledWmsTest, TheChildReaperLeavesTheToolsExitStatusToTheSearch) {
    std::string why;
    if (!put_fake_helper_in_place(&why))
        GTEST_SKIP() << why;
    install_child_reaper();
    const std::string wm = program("opt/wm");
    for (int round = 0; round < 20; ++round) {
        alternatives({wm}, "exit 2\n");
        EXPECT_TRUE(find_alternative_wms().empty()) << "round " << round;
        alternatives({wm});
        EXPECT_EQ(as_lines(find_alternative_wms()), std::vector<std::string>{"wm=" + wm});
    }
}

// A tool that hangs, floods or leaves a child holding its output open never
// holds the search: it is stopped, says so, and the sessions still count.
TEST_F(InstalledWmsTest, AToolThatHangsOrFloodsIsStoppedAndTheOtherSourcesStillCount) {
    std::string why;
    if (!put_fake_helper_in_place(&why))
        GTEST_SKIP() << why;
    install_child_reaper();
    const std::string wm = program("opt/wm");
    session("s.desktop", "Name=Session\nExec=" + program("opt/session-wm") + "\n");
    struct Case {
        const char *name;
        std::string then;
        std::vector<std::string> found;
        std::string warning;
    };
    const std::string session_row = "Session=" + tmp.file("opt/session-wm");
    const Case cases[] = {
        {"hangs", "exec /bin/sleep 1000\n", {session_row}, "did not finish within 2 seconds"},
        {"floods", "/usr/bin/yes '" + wm + "'\n", {session_row}, "wrote more than 65536 bytes"},
        {"leaves a child", "/bin/sleep 1000 &\nexit 0\n", {session_row, "wm=" + wm}, ""},
    };
    const char *const no_prefixes[] = {""};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alternatives({wm}, c.then);
        WarningCapture warnings;
        EXPECT_EQ(as_lines(find_installed_wms(known_wms, no_prefixes)), c.found);
        if (c.warning.empty()) {
            EXPECT_TRUE(warnings.messages().empty());
        } else {
            ASSERT_EQ(warnings.messages().size(), 1u);
            EXPECT_EQ(warnings.messages()[0],
                      std::string("Stopped \"") + kHelper + "\": it " + c.warning);
        }
    }
}

// Paths to one file under one name are one row; other files, and one file
// under another name, keep theirs.
TEST_F(InstalledWmsTest, FoldsThePathsThatReachOneProgramUnderOneName) {
    ASSERT_EQ(mkdir(tmp.file("usr").c_str(), 0755), 0);
    ASSERT_EQ(symlink("../bin", tmp.file("usr/linked").c_str()), 0);
    const std::string twm = program("bin/twm");
    const std::string other_twm = program("opt/twm");
    ASSERT_EQ(symlink(twm.c_str(), tmp.file("opt/renamed").c_str()), 0);
    ASSERT_EQ(mkdir(tmp.file("opt/sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink(twm.c_str(), tmp.file("opt/sub/twm").c_str()), 0);
    const std::string through_link = tmp.file("usr/linked/twm");
    std::vector<FoundWm> found = {
        {through_link, "first"},   {tmp.file("opt/renamed"), "renamed"}, {twm, "second"},
        {other_twm, "other file"}, {tmp.file("opt/sub/twm"), "third"},   {through_link, "fourth"},
    };
    fold_same_programs(&found);
    EXPECT_EQ(as_lines(found), (std::vector<std::string>{
                                   "first=" + twm,
                                   "renamed=" + tmp.file("opt/renamed"),
                                   "other file=" + other_twm,
                               }));
}

// The whole search in a private system laid out as Debian's: /usr/bin/X11 is
// a link to /usr/bin, and the sessions and alternatives name programs that
// the table finds too.
TEST_F(InstalledWmsTest, TheTableComesFirstThenSessionsThenAlternativesEachProgramOnce) {
    std::string why;
    if (!put_fake_helper_in_place(&why))
        GTEST_SKIP() << why;
    for (const char *folder : {"usr", "usr/local", "usr/local/bin", "usr/bin"})
        ASSERT_EQ(mkdir(tmp.file(folder).c_str(), 0755), 0);
    ASSERT_EQ(symlink(".", tmp.file("usr/bin/X11").c_str()), 0);
    const std::string local = tmp.file("usr/local/bin/");
    const std::string x11 = tmp.file("usr/bin/X11/");
    const std::string bin = tmp.file("usr/bin/");
    for (const char *name : {"xterm", "twm", "fluxbox", "startfluxbox", "openbox", "i3"})
        program("usr/bin/" + std::string(name));
    program("usr/local/bin/fluxbox");
    env.set("PATH", local + ":" + x11 + ":" + tmp.file("tools"));
    session("fluxbox.desktop", "Name=Fluxbox\nExec=" + bin + "startfluxbox\n");
    session("i3.desktop", "Name=i3\nExec=i3\nTryExec=i3\n");
    session("twm.desktop", "Name=TWM\nExec=twm\nTryExec=twm\n");
    session("openbox.desktop", "Name=Openbox\nExec=" + program("usr/bin/openbox-session") + "\n");
    alternatives({bin + "i3", bin + "openbox", bin + "startfluxbox", bin + "twm", bin + "xterm"});

    // One row for each description, compared without case: the table's
    // fluxbox in the first folder, then the sessions' Openbox before the
    // alternatives' openbox.
    const char *const prefixes[] = {local.c_str(), x11.c_str(), bin.c_str(), ""};
    EXPECT_EQ(as_lines(find_installed_wms(known_wms, prefixes)),
              (std::vector<std::string>{
                  "Fluxbox=" + local + "fluxbox",
                  "twm=" + bin + "twm",
                  "xterm=" + bin + "xterm",
                  "i3=" + bin + "i3",
                  "Openbox=" + bin + "openbox-session",
              }));
}

TEST(RepeatedDescriptions, TheFirstRowOfADescriptionComparedWithoutCaseStays) {
    std::vector<FoundWm> found = {
        {"/a", "Fluxbox"}, {"/b", "fluxbox"}, {"/c", "Openbox"}, {"/d", "twm"},   {"/e", "OPENBOX"},
        {"/f", "ctwm"},    {"/g", "Émile"},   {"/h", "éMILE"},   {"/a", "Other"},
    };
    drop_repeated_descriptions(&found);
    EXPECT_EQ(as_lines(found), (std::vector<std::string>{"Fluxbox=/a", "Openbox=/c", "twm=/d",
                                                         "ctwm=/f", "Émile=/g", "Other=/a"}));
}

} // namespace
