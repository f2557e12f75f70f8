// SPDX-License-Identifier: GPL-2.0-or-later
// The session people really run: xinit starts an X server and ~/.xinitrc,
// whose last line is "exec quorvane"; the countdown then replaces the
// program with a real window manager from Debian's packages, which must go on
// to manage the session's windows.
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/wait.h"

#include <gtest/gtest.h>

// After GoogleTest: Xlib's macros (None, Bool, Status) would break its headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char XINIT[] = "/usr/bin/xinit";
const char XVFB[] = "/usr/bin/Xvfb";
const char TWM[] = "/usr/bin/twm";
const char XMESSAGE[] = "/usr/bin/xmessage";

std::string proc_field(pid_t pid, const std::string &file) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    std::string text;
    std::getline(in, text);
    return text;
}

std::string exe_of(pid_t pid) {
    char target[4096];
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    return n < 0 ? "" : std::string(target, static_cast<size_t>(n));
}

std::vector<pid_t> children_of(pid_t parent) {
    std::vector<pid_t> children;
    std::istringstream list(proc_field(parent, "task/" + std::to_string(parent) + "/children") +
                            " ");
    pid_t pid;
    while (list >> pid)
        children.push_back(pid);
    return children;
}

// A display number that no server holds now; xinit is told to use it.
int free_display_number() {
    std::mt19937 random(static_cast<unsigned>(getpid()));
    for (int tries = 0; tries < 200; ++tries) {
        const int number = 300 + static_cast<int>(random() % 600);
        if (!file_exists("/tmp/.X" + std::to_string(number) + "-lock") &&
            !file_exists("/tmp/.X11-unix/X" + std::to_string(number)))
            return number;
    }
    return -1;
}

// Where a window named title sits: its parent, or 0 when there is none yet.
Window parent_of_window_named(Display *dpy, Window under, const std::string &title) {
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(dpy, under, &root, &parent, &children, &count) == 0)
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        char *name = nullptr;
        if (XFetchName(dpy, children[i], &name) != 0 && name != nullptr) {
            if (title == name)
                found = under;
            XFree(name);
        }
        if (found == 0)
            found = parent_of_window_named(dpy, children[i], title);
    }
    if (children != nullptr)
        XFree(children);
    return found;
}

int ignore_errors(Display *, XErrorEvent *) {
    return 0;
}

class XinitSession : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *program : {XINIT, XVFB, TWM, XMESSAGE})
            if (access(program, X_OK) != 0)
                GTEST_SKIP() << program << " is not installed (packages xinit, xvfb, twm, "
                             << "x11-utils)";
        ASSERT_EQ(mkdir(tmp_.file("home").c_str(), 0700), 0);
        ASSERT_EQ(mkdir(tmp_.file("bin").c_str(), 0700), 0);
        ASSERT_EQ(symlink(QUORVANE_BINARY, tmp_.file("bin/quorvane").c_str()), 0);
    }

    void TearDown() override {
        // Ending the session's client ends the session: xinit then stops the server.
        if (client_ > 0)
            kill(client_, SIGTERM);
        if (xinit_ && !xinit_->wait_exit(std::chrono::seconds(10)))
            for (pid_t child : children_of(xinit_->pid()))
                kill(child, SIGKILL);
    }

    TempDir tmp_;
    std::unique_ptr<Process> xinit_;
    pid_t client_ = 0;
};

TEST_F(XinitSession, CountdownExecsTwmWhichManagesTheSession) {
    const std::string home = tmp_.file("home");
    write_file(home + "/.xinitrc", "#!/bin/sh\nexec quorvane\n");
    ASSERT_EQ(chmod((home + "/.xinitrc").c_str(), 0755), 0);
    write_file(home + "/.quorvanerc", "twm=twm\ndelay:0.5\n");

    const int number = free_display_number();
    ASSERT_GE(number, 0);
    const std::string display = ":" + std::to_string(number);
    const std::string path = tmp_.file("bin") + ":/usr/bin:/bin";
    xinit_ = std::make_unique<Process>(
        std::vector<std::string>{XINIT, home + "/.xinitrc", "--", XVFB, display, "-nolisten", "tcp",
                                 "-screen", "0", "1024x768x24"},
        std::map<std::string, std::string>{{"HOME", home}, {"PATH", path}}, tmp_.file("stdout"),
        tmp_.file("stderr"));

    // xinit's two children are the server and the session's client, which
    // runs ~/.xinitrc, becomes quorvane and then the window manager.
    ASSERT_TRUE(wait_for(
        [&] {
            for (pid_t child : children_of(xinit_->pid()))
                if (exe_of(child) != XVFB)
                    client_ = child;
            return client_ > 0 && exe_of(client_) == TWM;
        },
        std::chrono::seconds(30)))
        << "the session's client is " << exe_of(client_) << "\n"
        << read_file(tmp_.file("stderr"));
    EXPECT_EQ(proc_field(client_, "comm"), "twm");

    // twm places a window that gives no position by hand; this one gives one.
    Process message({XMESSAGE, "-geometry", "+20+20", "-title", "session-probe", "hello"},
                    {{"DISPLAY", display}, {"HOME", home}}, tmp_.file("xmessage.out"),
                    tmp_.file("xmessage.err"));
    Display *dpy = XOpenDisplay(display.c_str());
    ASSERT_NE(dpy, nullptr);
    XSetErrorHandler(ignore_errors);
    const Window root = DefaultRootWindow(dpy);
    Window parent = 0;
    const bool framed = wait_for(
        [&] {
            parent = parent_of_window_named(dpy, root, "session-probe");
            return parent != 0 && parent != root;
        },
        std::chrono::seconds(15));
    XCloseDisplay(dpy);
    EXPECT_TRUE(framed) << "the window was not taken into a frame by the window manager";
}

} // namespace
