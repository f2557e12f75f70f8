// SPDX-License-Identifier: GPL-2.0-or-later
#include "e2e/e2e_fixture.h"

#include "support/wait.h"

#include <unistd.h>

#include <sstream>

namespace {

// One start of the fake window manager (or of the signal probe), as logged.
struct WmRun {
    long pid = 0;
    std::string argv0;
    std::string argc;
    std::string blocked;
    std::string ignored;
};

const char *const kNoSignals = "0000000000000000";

// Signals 32 and 33 belong to the C library: its posix_spawn, which starts the
// program here, leaves them ignored, and no program can change them through it.
std::string without_library_signals(const std::string &mask) {
    char text[17];
    snprintf(text, sizeof text, "%016llx", std::stoull(mask, nullptr, 16) & ~(3ull << 31));
    return text;
}

class LaunchE2e : public QuorvaneE2e {
  protected:
    std::vector<WmRun> wm_runs() {
        std::vector<WmRun> runs;
        if (!file_exists(wm_log_path()))
            return runs;
        std::istringstream lines(wm_log());
        std::string line;
        WmRun run;
        while (std::getline(lines, line)) {
            if (line.rfind("pid=", 0) == 0)
                run.pid = std::stol(line.substr(4));
            else if (line.rfind("argv0=", 0) == 0)
                run.argv0 = line.substr(6);
            else if (line.rfind("argc=", 0) == 0)
                run.argc = line.substr(5);
            else if (line.rfind("SigBlk:", 0) == 0)
                run.blocked = line.substr(line.find_first_not_of(" \t", 7));
            else if (line.rfind("SigIgn:", 0) == 0)
                run.ignored = line.substr(line.find_first_not_of(" \t", 7));
            else if (line == "started") {
                runs.push_back(run);
                run = WmRun();
            }
        }
        return runs;
    }

    bool wait_for_runs(size_t count) {
        return wait_for([&] { return wm_runs().size() >= count; });
    }

    // The signal probe stands in where a shell script cannot tell its mask.
    void install_probe(const std::string &name) {
        ASSERT_EQ(symlink(SIGNAL_PROBE, path_of("bin/" + name).c_str()), 0);
    }

    std::vector<Window> boxes() { return x().mapped_windows_of_type("DIALOG"); }

    void press_in(Window window, const std::string &key) {
        ASSERT_TRUE(x().wait_for_focus(window));
        x().key(key);
    }

    std::string copies() { return file_exists(path_of("copy")) ? read_file(path_of("copy")) : ""; }
    std::map<std::string, std::string> copy_config_env() {
        return {{"FAKE_WM_COPY", config_path() + ":" + path_of("copy")}};
    }
};

// The writer drops comments, so a surviving comment means a file never rewritten.
const char *const kDroppedComment = "# gone once the program has written the file";

TEST_F(LaunchE2e, CountdownExecsTheDefaultRowInPlaceAfterWritingTheFile) {
    install_fake_wm("first-wm");
    install_fake_wm("second-wm");
    write_config({kDroppedComment, "First=first-wm", "Second=second-wm"}, 0.3, 0, 1);
    std::map<std::string, std::string> env = copy_config_env();
    env["FAKE_WM_HOLD"] = path_of("go");
    start({}, env);
    ASSERT_TRUE(wait_for_runs(1)) << err();
    // Nothing of the chooser, its X connection included, outlives the exec.
    EXPECT_TRUE(wait_for([&] { return x().windows_titled(MAIN_TITLE).empty(); }));
    write_file(path_of("go"), "");
    EXPECT_EQ(exit_code(), 0) << err();

    const std::vector<WmRun> runs = wm_runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].pid, app().pid()) << "exec replaces the program itself";
    EXPECT_EQ(runs[0].argv0, path_of("bin/second-wm"));
    EXPECT_EQ(runs[0].argc, "0");
    const std::string copy = copies();
    EXPECT_NE(copy.find("First=first-wm\nSecond=second-wm\n"), std::string::npos) << copy;
    EXPECT_NE(copy.find("default_wm:1\n"), std::string::npos) << copy;
    EXPECT_EQ(copy.find(kDroppedComment), std::string::npos) << copy;
}

// The window manager gets the environment as the program got it, but for the
// start-up notification's id: it was the program's own (its window ends that
// start-up), and a window manager that handed it on to the programs it
// starts would have them claim a start-up long over.
TEST_F(LaunchE2e, WindowManagerGetsTheEnvironmentButTheProgramsStartUpId) {
    install_fake_wm("first-wm");
    write_config({"First=first-wm"}, 0.2, 0);
    const std::string odd = "a=b\n c\t%s";
    start({}, {{"FAKE_WM_ENV", path_of("env")},
               {"DESKTOP_STARTUP_ID", "quorvane-test_TIME42"},
               {"QUORVANE_PROBE", odd}});
    ASSERT_TRUE(wait_for_runs(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    std::map<std::string, std::string> env;
    std::istringstream entries(read_file(path_of("env")));
    std::string entry;
    while (std::getline(entries, entry, '\0'))
        env[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
    EXPECT_EQ(env["QUORVANE_PROBE"], odd);
    EXPECT_EQ(env["HOME"], home());
    EXPECT_EQ(env["FAKE_WM_LOG"], wm_log_path());
    EXPECT_EQ(env.count("DESKTOP_STARTUP_ID"), 0u);
}

struct Mode {
    const char *what;
    double delay;
    int restart;
    bool started_under_nohup; // with SIGHUP ignored, as nohup starts programs
};

class LaunchModeE2e : public LaunchE2e, public ::testing::WithParamInterface<Mode> {};

// The toolkit ignores SIGPIPE; the window manager must not inherit that, but
// must inherit what the program itself was started with.
TEST_P(LaunchModeE2e, LaunchedProgramGetsTheSignalsTheProgramWasStartedWith) {
    const Mode mode = GetParam();
    install_probe("probe-wm");
    write_config({"Probe=probe-wm"}, mode.delay, mode.restart);
    if (mode.started_under_nohup)
        run_through({"/bin/sh", "-c", "trap '' HUP; exec \"$0\" \"$@\""});
    start();
    if (mode.restart != 0) {
        const Window window = main_window();
        ASSERT_NE(window, 0u) << err();
        press_in(window, "Return");
    }
    ASSERT_TRUE(wait_for_runs(1)) << err();
    const WmRun run = wm_runs()[0];
    EXPECT_EQ(run.pid == app().pid(), mode.restart == 0);
    EXPECT_EQ(run.blocked, kNoSignals);
    EXPECT_EQ(without_library_signals(run.ignored),
              mode.started_under_nohup ? "0000000000000001" : kNoSignals);
    if (mode.restart != 0) {
        const Window window = main_window();
        ASSERT_NE(window, 0u);
        x().close_window(window);
    }
    EXPECT_EQ(exit_code(), 0) << err();
}

INSTANTIATE_TEST_SUITE_P(Modes, LaunchModeE2e,
                         ::testing::Values(Mode{"ExecByCountdown", 0.2, 0, false},
                                           Mode{"ForkByReturn", 0, 1, false},
                                           Mode{"ExecUnderNohup", 0.2, 0, true},
                                           Mode{"ForkUnderNohup", 0, 1, true}),
                         [](const auto &test) { return std::string(test.param.what); });

TEST_F(LaunchE2e, ReturnStartsTheSelectedRow) {
    install_fake_wm("first-wm");
    install_fake_wm("second-wm");
    install_fake_wm("third-wm");
    write_config({"First=first-wm", "Second=second-wm", "Third=third-wm"}, 0, 0, 0);
    start();
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    press_in(window, "Down");
    x().key("Return");
    ASSERT_TRUE(wait_for_runs(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    const std::vector<WmRun> runs = wm_runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].argv0, path_of("bin/second-wm"));
    EXPECT_EQ(runs[0].pid, app().pid());
}

TEST_F(LaunchE2e, ReturnWithoutSelectedRowStartsNothing) {
    install_fake_wm("first-wm");
    // A default position outside the list selects no row.
    write_config({"First=first-wm"}, 0, 0, -1);
    start({}, {{"FAKE_WM_EXIT", "3"}});
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    press_in(window, "Return");
    x().key("q", {"Alt_L"});
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_TRUE(wm_runs().empty());
    EXPECT_TRUE(boxes().empty());
}

TEST_F(LaunchE2e, ForkModeHidesTheWindowUntilTheChildEndsAndKeepsEverything) {
    install_fake_wm("first-wm");
    install_fake_wm("second-wm");
    write_config({kDroppedComment, "First=first-wm", "Second=second-wm"}, 0, 1, 1);
    std::map<std::string, std::string> env = copy_config_env();
    env["FAKE_WM_HOLD"] = path_of("go");
    start({}, env);
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();

    press_in(window, "Return");
    ASSERT_TRUE(wait_for_runs(1)) << err();
    EXPECT_FALSE(x().is_viewable(window)) << "hidden while the window manager runs";
    write_file(path_of("go"), "");
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(window); })) << err();
    EXPECT_TRUE(wait_for([&] { return zombie_children(app().pid()).empty(); }));

    // The same row, and the same file, a second time.
    press_in(window, "Return");
    ASSERT_TRUE(wait_for_runs(2)) << err();
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(window); })) << err();
    const std::vector<WmRun> runs = wm_runs();
    for (const WmRun &run : runs) {
        EXPECT_NE(run.pid, app().pid());
        EXPECT_EQ(run.argv0, path_of("bin/second-wm"));
    }
    const std::string copy = copies();
    const std::string end = "--- end of copy\n";
    const auto first_end = copy.find(end);
    ASSERT_NE(first_end, std::string::npos);
    const std::string first = copy.substr(0, first_end);
    EXPECT_EQ(copy, first + end + first + end);
    EXPECT_NE(first.find("restart_quorvane:1\ndefault_wm:1\n"), std::string::npos) << first;
    EXPECT_EQ(first.find(kDroppedComment), std::string::npos);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(count_of(err(), "Cannot start"), 0u) << err();
    EXPECT_TRUE(wait_for([&] { return zombie_children(app().pid()).empty(); }));

    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();
}

// A second Return that is already queued when the launcher lets pending
// events through before forking must not start a second window manager.
TEST_F(LaunchE2e, QueuedSecondReturnStartsNothingMore) {
    install_fake_wm("fake-wm");
    write_config({"Fake=fake-wm"}, 0, 1);
    start({}, {{"FAKE_WM_HOLD", path_of("go")}});
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();

    ASSERT_TRUE(x().wait_for_focus(window));
    x().key("Return");
    x().key("Return");
    ASSERT_TRUE(wait_for_runs(1)) << err();
    write_file(path_of("go"), "");
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(window); })) << err();
    // Once the program has ended, every launch it was going to make is made.
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(wm_runs().size(), 1u);
}

struct ChildEnd {
    const char *what;
    const char *variable;
    const char *value;
    bool reported;
};

class ChildEndE2e : public LaunchE2e, public ::testing::WithParamInterface<ChildEnd> {};

TEST_P(ChildEndE2e, OnlyAnExitWith128IsReportedInForkMode) {
    const ChildEnd c = GetParam();
    install_fake_wm("fake-wm");
    write_config({"Fake WM=fake-wm"}, 0, 1);
    start({}, {{c.variable, c.value}});
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    press_in(window, "Return");
    ASSERT_TRUE(wait_for_runs(1)) << err();
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(window); })) << err();

    // The report, if any, is logged and shown before the window comes back.
    const std::string text = err();
    const std::string report = ": Cannot start \"fake-wm\" (Fake WM)\n";
    if (c.reported) {
        // GLib's own warning line: "** (quorvane:PID): WARNING **: TIME: TEXT".
        const auto at = text.find(report);
        ASSERT_NE(at, std::string::npos) << text;
        const auto line_start = text.rfind('\n', at) + 1;
        const std::string head = text.substr(line_start, at - line_start);
        EXPECT_NE(head.find("(quorvane:" + std::to_string(app().pid()) + "): WARNING **: "),
                  std::string::npos)
            << head;
        const Window box = wait_for_dialog();
        ASSERT_NE(box, 0u);
        press_in(box, "Escape");
        EXPECT_TRUE(wait_for([&] { return boxes().empty(); }));
    } else {
        EXPECT_EQ(count_of(err(), "Cannot start"), 0u) << err();
        EXPECT_TRUE(boxes().empty());
    }
    EXPECT_TRUE(wait_for([&] { return zombie_children(app().pid()).empty(); }));
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();
}

INSTANTIATE_TEST_SUITE_P(Ends, ChildEndE2e,
                         ::testing::Values(ChildEnd{"Exit128", "FAKE_WM_EXIT", "128", true},
                                           ChildEnd{"Exit1", "FAKE_WM_EXIT", "1", false},
                                           ChildEnd{"KilledByTerm", "FAKE_WM_SIGNAL", "TERM",
                                                    false}),
                         [](const auto &test) { return std::string(test.param.what); });

// A child that fails at once is the one most likely to be collected by the
// SIGCHLD handler before the launcher's wait; every failure must still show.
TEST_F(LaunchE2e, FiftyFailedStartsInARowAreEachReported) {
    write_config({"Missing %s 100%=no-such-wm-%s%d"}, 0, 1);
    start();
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    const std::string line = "Cannot start \"no-such-wm-%s%d\" (Missing %s 100%)\n";
    for (size_t launch = 1; launch <= 50; ++launch) {
        SCOPED_TRACE(launch);
        press_in(window, "Return");
        const Window box = wait_for_dialog();
        ASSERT_NE(box, 0u) << err();
        EXPECT_EQ(count_of(err(), line), launch);
        x().close_window(box);
        ASSERT_TRUE(wait_for([&] { return boxes().empty(); }));
    }
    EXPECT_TRUE(zombie_children(app().pid()).empty());
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();
}

TEST_F(LaunchE2e, FailedExecInExecModeLeavesTheProgramWorking) {
    install_fake_wm("fake-wm");
    write_config({"Missing %s 100%=no-such-wm-%s%d", "Fake=fake-wm"}, 0.2, 0, 0);
    start();
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    const Window box = wait_for_dialog();
    ASSERT_NE(box, 0u) << err();
    EXPECT_TRUE(x().is_viewable(window));
    EXPECT_EQ(count_of(err(), "Cannot start \"no-such-wm-%s%d\" (Missing %s 100%)\n"), 1u) << err();
    press_in(box, "Escape");
    ASSERT_TRUE(wait_for([&] { return boxes().empty(); }));

    press_in(window, "Down");
    x().key("Return");
    ASSERT_TRUE(wait_for_runs(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(wm_runs()[0].pid, app().pid());
    EXPECT_EQ(wm_runs()[0].argv0, path_of("bin/fake-wm"));
}

struct Answer {
    const char *what;
    const char *key; // empty: the box is closed from its frame
    const char *modifier;
};

class QuestionE2e : public LaunchE2e, public ::testing::WithParamInterface<Answer> {};

TEST_P(QuestionE2e, WithoutConfigurationTheQuestionComesFirst) {
    const Answer answer = GetParam();
    start();
    const Window box = wait_for_dialog();
    ASSERT_NE(box, 0u) << err();
    for (Window window : x().windows_titled(MAIN_TITLE))
        EXPECT_FALSE(x().is_viewable(window));
    if (answer.key[0] == '\0') {
        x().close_window(box);
    } else {
        ASSERT_TRUE(x().wait_for_focus(box));
        std::vector<std::string> modifiers;
        if (answer.modifier[0] != '\0')
            modifiers.push_back(answer.modifier);
        x().key(answer.key, modifiers);
    }
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    EXPECT_TRUE(boxes().empty());
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();
}

INSTANTIATE_TEST_SUITE_P(Answers, QuestionE2e,
                         ::testing::Values(Answer{"No", "n", "Alt_L"},
                                           Answer{"Escape", "Escape", ""},
                                           Answer{"Closed", "", ""}),
                         [](const auto &test) { return std::string(test.param.what); });

} // namespace
