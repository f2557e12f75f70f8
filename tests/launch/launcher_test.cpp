// SPDX-License-Identifier: GPL-2.0-or-later
#include "launch/launcher.h"

#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "wmlist/wm_list.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

// The launcher's fork, through the linker: when asked, the parent returns
// only once the child has ended, its status still there to collect, and any
// SIGCHLD it was not holding back has been handled.
bool let_children_end_before_fork_returns = false;

extern "C" pid_t __real_fork();

extern "C" pid_t __wrap_fork() {
    const pid_t pid = __real_fork();
    if (pid > 0 && let_children_end_before_fork_returns) {
        siginfo_t info;
        while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 &&
               errno == EINTR) {
        }
    }
    return pid;
}

namespace {

GtkMessageType box_type(GtkWidget *box) {
    GtkMessageType type = GTK_MESSAGE_OTHER;
    g_object_get(box, "message-type", &type, nullptr);
    return type;
}

// The handler SIGCHLD has now: install_child_reaper's, once it has run.
using SignalHandler = void (*)(int);
SignalHandler child_signal_handler() {
    struct sigaction action;
    EXPECT_EQ(sigaction(SIGCHLD, nullptr, &action), 0);
    return action.sa_handler;
}

void count_unmaps(GtkWidget *, gpointer count) {
    ++*static_cast<int *>(count);
}

class LauncherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        install_child_reaper();
        create_main_window(&state);
        state.save_on_exit = 0;
        state.restart = 1;
        warnings.emplace();
        gtk_widget_show(state.window);
        ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(state.window); }));
        g_signal_connect(state.window, "unmap", G_CALLBACK(count_unmaps), &unmaps);
    }
    void TearDown() override {
        warnings.reset();
        close_boxes();
        destroy_main_window(&state);
    }

    void close_boxes() {
        for (GtkWidget *box : visible_message_boxes())
            gtk_widget_destroy(box);
        pump_events();
    }

    // A row for the command, selected as the configuration loader would.
    void add_selected_row(const std::string &command, const std::string &description) {
        add_wm_row(&state, command.c_str(), description.c_str());
        const int last = gtk_tree_model_iter_n_children(GTK_TREE_MODEL(state.store.get()), nullptr);
        select_list_row(state.tree_view, last - 1);
    }

    std::string make_script(const std::string &name, const std::string &body) {
        const std::string path = tmp.file(name);
        write_file(path, "#!/bin/sh\n" + body + "\n");
        EXPECT_EQ(chmod(path.c_str(), 0755), 0);
        return path;
    }

    AppState state{};
    TempDir tmp;
    std::optional<WarningCapture> warnings;
    int unmaps = 0;
};

TEST_F(LauncherTest, ForkModeReportsOnlyAChildThatExitsWith128) {
    struct Case {
        const char *what;
        std::string command;
        bool reported;
    };
    const std::string missing = tmp.file("no-such-wm");
    const std::string wm = make_script("wm", "exit 0");
    const std::vector<Case> cases = {
        {"ends normally", wm, false},
        {"ends with 1", make_script("exit1", "exit 1"), false},
        {"ends with 127", make_script("exit127", "exit 127"), false},
        {"ends with 129", make_script("exit129", "exit 129"), false},
        {"ends with 128 after a normal start", make_script("exit128", "exit 128"), true},
        {"killed by SIGTERM", make_script("term", "kill -s TERM $$"), false},
        {"killed by SIGKILL", make_script("kill", "kill -s KILL $$"), false},
        {"cannot be found", missing, true},
        {"empty command", "", true},
        {"program name followed by an option", wm + " --replace", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        warnings->clear();
        unmaps = 0;
        gtk_list_store_clear(state.store.get());
        add_selected_row(c.command, "Some WM");

        launch_selected_wm(&state);

        EXPECT_EQ(unmaps, 1);
        EXPECT_TRUE(gtk_widget_get_visible(state.window));
        const std::string report = "Cannot start \"" + c.command + "\" (Some WM)";
        if (c.reported) {
            EXPECT_EQ(warnings->messages(), std::vector<std::string>{report});
            const std::vector<GtkWidget *> boxes = visible_message_boxes();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(message_box_text(boxes[0]), report);
            EXPECT_EQ(box_type(boxes[0]), GTK_MESSAGE_ERROR);
        } else {
            EXPECT_TRUE(warnings->messages().empty());
            EXPECT_TRUE(visible_message_boxes().empty());
        }
        EXPECT_TRUE(zombie_children(getpid()).empty());
        close_boxes();
    }
}

// A child that fails at once races the SIGCHLD handler for its status. Here
// it always ends before the launcher waits for it, and SIGCHLD reaches the
// program then unless the launcher holds it back: the handler would collect
// the child first, and the failed start would go unreported.
TEST_F(LauncherTest, AFailedStartIsReportedWhenTheChildEndsBeforeTheWait) {
    const std::string command = tmp.file("no-such-wm");
    add_selected_row(command, "WM");
    let_children_end_before_fork_returns = true;
    launch_selected_wm(&state);
    let_children_end_before_fork_returns = false;
    const std::vector<GtkWidget *> boxes = visible_message_boxes();
    ASSERT_EQ(boxes.size(), 1u)
        << "the failed start went unreported: the SIGCHLD handler collected the child first";
    EXPECT_EQ(message_box_text(boxes[0]), "Cannot start \"" + command + "\" (WM)");
    EXPECT_TRUE(zombie_children(getpid()).empty());
}

// A command and a description may hold printf directives of their own.
TEST_F(LauncherTest, FailedStartIsReportedVerbatimInBothModes) {
    const std::string command = tmp.file("wm %s %d 100%");
    const std::string description = "Desc %s 50%%";
    const std::string report = "Cannot start \"" + command + "\" (" + description + ")";
    for (int restart : {1, 0}) {
        SCOPED_TRACE(restart != 0 ? "fork mode" : "exec mode");
        warnings->clear();
        unmaps = 0;
        state.restart = restart;
        gtk_list_store_clear(state.store.get());
        add_selected_row(command, description);
        const SignalHandler reaper = child_signal_handler();

        launch_selected_wm(&state);

        EXPECT_EQ(warnings->messages(), std::vector<std::string>{report});
        const std::vector<GtkWidget *> boxes = visible_message_boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(message_box_text(boxes[0]), report);
        // Exec mode never hides the window; fork mode hides it for the child.
        EXPECT_EQ(unmaps, restart);
        EXPECT_TRUE(gtk_widget_get_visible(state.window));
        // A failed exec leaves the reaper in place.
        EXPECT_EQ(child_signal_handler(), reaper);
        close_boxes();
    }
}

TEST_F(LauncherTest, WithoutSelectedRowNothingIsSavedStartedOrShown) {
    const std::string marker = tmp.file("started");
    add_wm_row(&state, make_script("wm", "touch '" + marker + "'").c_str(), "WM");
    gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(GTK_TREE_VIEW(state.tree_view)));
    state.save_on_exit = 1;
    state.config_path.reset(g_string_new(tmp.file("config").c_str()));
    for (int restart : {1, 0}) {
        state.restart = restart;
        launch_selected_wm(&state);
    }
    EXPECT_FALSE(file_exists(marker));
    EXPECT_FALSE(file_exists(tmp.file("config")));
    EXPECT_EQ(unmaps, 0);
    EXPECT_TRUE(warnings->messages().empty());
    EXPECT_TRUE(visible_message_boxes().empty());
}

// SIGCHLD is held back only around our own wait: the child gets the mask the
// program had, and the program gets it back afterwards.
TEST_F(LauncherTest, ChildAndProgramKeepTheOriginalSignalMask) {
    sigset_t original, with_usr2;
    sigemptyset(&with_usr2);
    sigaddset(&with_usr2, SIGUSR2);
    ASSERT_EQ(sigprocmask(SIG_BLOCK, &with_usr2, &original), 0);
    const std::string seen = tmp.file("probe.log");
    setenv("FAKE_WM_LOG", seen.c_str(), 1);
    add_selected_row(SIGNAL_PROBE, "WM");

    launch_selected_wm(&state);

    sigset_t after;
    ASSERT_EQ(sigprocmask(SIG_SETMASK, &original, &after), 0);
    EXPECT_EQ(sigismember(&after, SIGCHLD), 0);
    EXPECT_EQ(sigismember(&after, SIGUSR2), 1);
    char expected[64];
    snprintf(expected, sizeof expected, "SigBlk:\t%016lx\n", 1ul << (SIGUSR2 - 1));
    EXPECT_NE(read_file(seen).find(expected), std::string::npos) << read_file(seen);
    EXPECT_TRUE(warnings->messages().empty());
}

TEST(ChildReaper, IsInstalledWithoutRestartAndWithAnEmptyMask) {
    signal(SIGCHLD, SIG_DFL);
    install_child_reaper();
    struct sigaction action;
    ASSERT_EQ(sigaction(SIGCHLD, nullptr, &action), 0);
    EXPECT_NE(action.sa_handler, SIG_DFL);
    EXPECT_NE(action.sa_handler, SIG_IGN);
    // The C library adds a flag of its own, so the public ones are checked.
    EXPECT_NE(action.sa_flags & SA_NOCLDSTOP, 0);
    EXPECT_EQ(action.sa_flags &
                  (SA_RESTART | SA_SIGINFO | SA_NODEFER | SA_RESETHAND | SA_ONSTACK | SA_NOCLDWAIT),
              0);
    for (int signal_number = 1; signal_number < NSIG; ++signal_number)
        EXPECT_EQ(sigismember(&action.sa_mask, signal_number), 0) << signal_number;
}

// The installed handler called straight, with SIGCHLD held back, so that
// the test decides what has ended.
TEST(ChildReaper, CollectsEndedChildrenLeavesRunningOnesAndKeepsErrno) {
    install_child_reaper();
    const SignalHandler reap_children = child_signal_handler();
    ASSERT_NE(reap_children, SIG_DFL);
    ASSERT_NE(reap_children, SIG_IGN);
    sigset_t child_signal, saved;
    sigemptyset(&child_signal);
    sigaddset(&child_signal, SIGCHLD);
    ASSERT_EQ(sigprocmask(SIG_BLOCK, &child_signal, &saved), 0);

    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    const pid_t running = fork();
    if (running == 0) {
        char byte;
        close(pipe_ends[1]);
        _exit(read(pipe_ends[0], &byte, 1) == 0 ? 0 : 1);
    }
    close(pipe_ends[0]);
    std::vector<pid_t> ended;
    for (int i = 0; i < 3; ++i) {
        const pid_t pid = fork();
        if (pid == 0)
            _exit(i);
        ended.push_back(pid);
    }
    ASSERT_TRUE(pump_until([] { return zombie_children(getpid()).size() == 3; }));

    errno = EBADF;
    reap_children(SIGCHLD);
    EXPECT_EQ(errno, EBADF);
    EXPECT_TRUE(zombie_children(getpid()).empty());
    for (pid_t pid : ended)
        EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(waitpid(running, nullptr, WNOHANG), 0);

    close(pipe_ends[1]);
    int status = 0;
    EXPECT_EQ(waitpid(running, &status, 0), running);
    errno = EINVAL;
    reap_children(SIGCHLD); // no children at all
    EXPECT_EQ(errno, EINVAL);
    ASSERT_EQ(sigprocmask(SIG_SETMASK, &saved, nullptr), 0);
}

} // namespace
