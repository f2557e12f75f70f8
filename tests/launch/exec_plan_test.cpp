// SPDX-License-Identifier: GPL-2.0-or-later
#include "launch/exec_plan.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The mask of ignored signals as /proc shows it, for what this test process
// was started ignoring plus the signal given. A parent that started it with
// glibc 2.36's posix_spawn (GNU make's, as under dpkg-buildpackage) leaves the
// C library's own signals 32 and 33 ignored; the program hands them on as it
// got them, like any other.
std::string ignored_mask(int also = 0) {
    std::ifstream status("/proc/self/status");
    std::string key;
    unsigned long long mask = 0;
    while (status >> key)
        if (key == "SigIgn:") {
            status >> std::hex >> mask;
            break;
        }
    if (also != 0)
        mask |= 1ULL << (also - 1);
    char text[32];
    snprintf(text, sizeof text, "%016llx\n", mask);
    return text;
}

// A program that writes its tag, $0 and its argument count to one file.
struct Program {
    std::string path;
    std::string tag;
    bool with_interpreter_line = true;
    mode_t mode = 0755;
};

class ExecPlanTest : public ::testing::Test {
  protected:
    std::string out() const { return tmp_.file("out"); }

    void make_folder(const std::string &name) {
        ASSERT_EQ(mkdir(tmp_.file(name).c_str(), 0700), 0);
    }

    void make_program(const Program &program) {
        std::string text = program.with_interpreter_line ? "#!/bin/sh\n" : "";
        text += "echo \"" + program.tag + " $0 $#\" >'" + out() + "'\n";
        const std::string path = tmp_.file(program.path);
        write_file(path, text);
        ASSERT_EQ(chmod(path.c_str(), program.mode), 0);
    }

    // bin/wm: a program that writes its mask of ignored signals to out().
    std::string make_ignored_signals_reporter() {
        make_folder("bin");
        const std::string script = dir("bin/wm");
        write_file(script, "#!/bin/sh\nwhile read -r key value; do case $key in SigIgn:) echo "
                           "\"$value\";; esac; done </proc/$$/status >'" +
                               out() + "'\n");
        EXPECT_EQ(chmod(script.c_str(), 0755), 0);
        return script;
    }

    struct Run {
        int exit_code;    // the errno left by a failed start, or the program's 0
        std::string said; // what the started program wrote
    };

    // Prepares and runs the command in a child with the given PATH (nullptr:
    // unset) and working folder, as the launcher does after a fork.
    Run run(const std::string &command, const char *path, const std::string &folder = "") {
        unlink(out().c_str());
        const pid_t pid = fork();
        if (pid == 0) {
            if (path != nullptr)
                setenv("PATH", path, 1);
            else
                unsetenv("PATH");
            if (chdir(tmp_.file(folder).c_str()) != 0)
                _exit(99);
            const ExecPlan plan = prepare_exec(command);
            _exit(run_exec_plan(plan));
        }
        int status = 0;
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status));
        const std::string said = file_exists(out()) ? read_file(out()) : "";
        return {WEXITSTATUS(status), said};
    }

    std::string dir(const std::string &name) const { return tmp_.file(name); }

    TempDir tmp_;
};

TEST_F(ExecPlanTest, SearchesPathInOrderAndKeepsTheNameWhole) {
    make_folder("a");
    make_folder("b");
    make_program({"b/wm", "second-b"});
    make_program({"a/wm", "first-a"});
    make_program({"b/wm --replace", "blank-name"});
    make_program({"b/tool", "tool"});
    const std::string path = dir("a") + ":" + dir("b");

    Run first = run("wm", path.c_str());
    EXPECT_EQ(first.exit_code, 0);
    EXPECT_EQ(first.said, "first-a " + dir("a/wm") + " 0\n");

    // Blanks are part of the file name, never an argument separator.
    Run blank = run("wm --replace", path.c_str());
    EXPECT_EQ(blank.said, "blank-name " + dir("b/wm --replace") + " 0\n");

    Run split = run("tool --replace", path.c_str());
    EXPECT_EQ(split.exit_code, ENOENT);
    EXPECT_EQ(split.said, "");
}

TEST_F(ExecPlanTest, FailuresGiveTheErrorExeclpWouldGive) {
    make_folder("plain");
    make_folder("locked");
    make_folder("ok");
    make_folder("cwd");
    make_program({"locked/wm", "not-executable", true, 0644});
    make_program({"ok/wm", "ok"});
    make_program({"ok/other", "other"});
    write_file(dir("a-file"), "not a folder\n");
    const std::string locked_then_ok = dir("locked") + ":" + dir("ok");
    const std::string file_then_ok = dir("a-file") + ":" + dir("ok");
    const std::string only_locked = dir("plain") + ":" + dir("locked");
    const std::string nowhere = dir("plain");

    struct Case {
        const char *what;
        std::string command;
        std::string path;
        int exit_code;
        std::string said;
    };
    const std::vector<Case> cases = {
        {"no execute permission is remembered, the search goes on", "wm", locked_then_ok, 0,
         "ok " + dir("ok/wm") + " 0\n"},
        {"a PATH element that is a file is passed over", "other", file_then_ok, 0,
         "other " + dir("ok/other") + " 0\n"},
        {"only a file without permission: EACCES, not ENOENT", "wm", only_locked, EACCES, ""},
        {"found nowhere", "wm", nowhere, ENOENT, ""},
        {"an empty command", "", nowhere, ENOENT, ""},
        {"a name longer than a file name can be", std::string(300, 'w'), nowhere, ENAMETOOLONG, ""},
        // A slash means a path: PATH is not searched even though ok/ holds "wm".
        {"a relative path is not searched for", "ok-not-here/wm", dir("."), ENOENT, ""},
        {"an absolute path runs as it is", dir("ok/other"), nowhere, 0,
         "other " + dir("ok/other") + " 0\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Run result = run(c.command, c.path.c_str());
        EXPECT_EQ(result.exit_code, c.exit_code);
        EXPECT_EQ(result.said, c.said);
    }
}

TEST_F(ExecPlanTest, FileWithoutInterpreterLineRunsAsShellScript) {
    make_folder("bin");
    make_program({"bin/script-wm", "script", false});
    const std::string path = dir("bin");
    Run searched = run("script-wm", path.c_str());
    EXPECT_EQ(searched.exit_code, 0);
    EXPECT_EQ(searched.said, "script " + dir("bin/script-wm") + " 0\n");

    Run direct = run(dir("bin/script-wm"), "");
    EXPECT_EQ(direct.said, "script " + dir("bin/script-wm") + " 0\n");
}

TEST_F(ExecPlanTest, EmptyPathElementsMeanTheWorkingFolder) {
    make_folder("cwd");
    make_program({"cwd/here-wm", "here"});
    for (const char *path : {":/nonexistent", "/nonexistent:", "/a::/b"}) {
        SCOPED_TRACE(path);
        Run result = run("here-wm", path, "cwd");
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_EQ(result.said, "here here-wm 0\n");
    }
    EXPECT_EQ(run("here-wm", "/nonexistent", "cwd").exit_code, ENOENT);
}

// The shell keeps the dispositions it was started with, so it can tell them.
TEST_F(ExecPlanTest, StartedProgramIgnoresNoSignalAndAFailureIgnoresThemAgain) {
    const std::string script = make_ignored_signals_reporter();
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGPIPE, SIG_IGN);
        signal(SIGUSR1, SIG_IGN);
        const ExecPlan failing = prepare_exec(dir("bin/missing"));
        run_exec_plan(failing);
        if (signal(SIGPIPE, SIG_DFL) != SIG_DFL)
            _exit(90);
        restore_signals(failing);
        if (signal(SIGPIPE, SIG_IGN) != SIG_IGN || signal(SIGUSR1, SIG_IGN) != SIG_IGN)
            _exit(91);
        _exit(run_exec_plan(prepare_exec(script)));
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_file(out()), ignored_mask());
}

void handle_nothing(int) {}

sighandler_t handler_of(int signal_number) {
    struct sigaction action = {};
    sigaction(signal_number, nullptr, &action);
    return action.sa_handler;
}

// A signal that the program was started with ignored and handles itself, as
// it does SIGCHLD, is ignored again for the exec and gets its handler back
// when the exec fails: nothing needs to install it anew.
TEST_F(ExecPlanTest, FailedExecGivesAHandledSignalItsHandlerBack) {
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGCHLD, SIG_IGN);
        remember_inherited_signals();
        signal(SIGCHLD, handle_nothing);
        const ExecPlan failing = prepare_exec(dir("bin/missing"));
        run_exec_plan(failing);
        if (handler_of(SIGCHLD) != SIG_IGN)
            _exit(90);
        restore_signals(failing);
        _exit(handler_of(SIGCHLD) == handle_nothing ? 0 : 91);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The program ignores SIGXFSZ so that a save past the file-size limit fails
// instead of ending it; what it starts gets the disposition it inherited.
TEST_F(ExecPlanTest, FileSizeSignalGoesBackToWhatTheProgramInherited) {
    const std::string script = make_ignored_signals_reporter();
    for (const bool inherited_ignored : {false, true}) {
        SCOPED_TRACE(inherited_ignored ? "inherited ignored" : "inherited by default");
        unlink(out().c_str());
        const pid_t pid = fork();
        if (pid == 0) {
            signal(SIGXFSZ, inherited_ignored ? SIG_IGN : SIG_DFL);
            remember_inherited_signals();
            ignore_file_size_signal();
            if (signal(SIGXFSZ, SIG_IGN) != SIG_IGN)
                _exit(90);
            _exit(run_exec_plan(prepare_exec(script)));
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(read_file(out()), ignored_mask(inherited_ignored ? SIGXFSZ : 0));
    }
}

TEST(ExecPlanCandidates, UnsetPathSearchesTheDefaultFolders) {
    const char *saved = getenv("PATH");
    const std::string saved_path = saved != nullptr ? saved : "";
    unsetenv("PATH");
    const ExecPlan plan = prepare_exec("wm");
    if (saved != nullptr)
        setenv("PATH", saved_path.c_str(), 1);
    EXPECT_EQ(plan.candidates, (std::vector<std::string>{"/bin/wm", "/usr/bin/wm"}));
    EXPECT_EQ(plan.command, "wm");
}

} // namespace
