// SPDX-License-Identifier: GPL-2.0-or-later
#include <X11/Xlib.h>

#include "support/xvfb.h"

#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/x_client.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char **environ;

namespace {

int ignore_errors(Display *, XErrorEvent *) {
    return 0;
}

// What one run of a test program may leave on a shared server, and the
// next must not meet: windows of clients that have not gone yet, keys and
// buttons held down, locked modifiers, the pointer elsewhere, the keyboard
// focus set, and properties put on the root window (an accessibility bus
// that has ended, say).
void make_like_new(const std::string &display, const std::set<std::string> &root_properties) {
    Display *dpy = XOpenDisplay(display.c_str());
    if (dpy == nullptr)
        throw std::runtime_error("cannot open the shared display " + display);
    XErrorHandler previous = XSetErrorHandler(ignore_errors);
    const Window root = DefaultRootWindow(dpy);

    // A client that has ended takes its windows along a moment later.
    if (!wait_for([&] { return top_level_windows(dpy).empty(); }, std::chrono::seconds(5))) {
        for (Window window : top_level_windows(dpy))
            XKillClient(dpy, window);
        XSync(dpy, False);
        if (!wait_for([&] { return top_level_windows(dpy).empty(); }, std::chrono::seconds(5)))
            throw std::runtime_error("windows of an earlier test stay on the shared display");
    }

    char keys[32];
    XQueryKeymap(dpy, keys);
    for (int code = 0; code < 256; ++code)
        if ((keys[code / 8] >> (code % 8) & 1) != 0)
            XTestFakeKeyEvent(dpy, static_cast<unsigned>(code), False, CurrentTime);
    Window child;
    int root_x, root_y, x, y;
    unsigned int mask = 0;
    XQueryPointer(dpy, root, &child, &child, &root_x, &root_y, &x, &y, &mask);
    for (unsigned int button = 1; button <= 5; ++button)
        if ((mask & (Button1Mask << (button - 1))) != 0)
            XTestFakeButtonEvent(dpy, button, False, CurrentTime);
    XkbLockModifiers(dpy, XkbUseCoreKbd, 0xff, 0);
    XkbLockGroup(dpy, XkbUseCoreKbd, 0);
    const int screen = DefaultScreen(dpy);
    XTestFakeMotionEvent(dpy, screen, DisplayWidth(dpy, screen) / 2, DisplayHeight(dpy, screen) / 2,
                         CurrentTime);
    XSetInputFocus(dpy, PointerRoot, RevertToPointerRoot, CurrentTime);

    int count = 0;
    Atom *properties = XListProperties(dpy, root, &count);
    for (int i = 0; i < count; ++i) {
        char *name = XGetAtomName(dpy, properties[i]);
        if (name != nullptr && root_properties.count(name) == 0)
            XDeleteProperty(dpy, root, properties[i]);
        if (name != nullptr)
            XFree(name);
    }
    if (properties != nullptr)
        XFree(properties);
    XSync(dpy, False);
    XSetErrorHandler(previous);
    XCloseDisplay(dpy);
}

} // namespace

Xvfb::Xvfb() {
    const char *shared = getenv(kSharedXVariable);
    if (shared == nullptr || shared[0] == '\0') {
        start_own();
        return;
    }
    std::istringstream lines(read_file(shared));
    std::set<std::string> root_properties;
    std::string line;
    if (!std::getline(lines, display_) || display_.empty())
        throw std::runtime_error(std::string("no shared X server in ") + shared);
    while (std::getline(lines, line))
        root_properties.insert(line);
    // Its keeper ends a server that no run has used for a while.
    utimensat(AT_FDCWD, shared, nullptr, 0);
    make_like_new(display_, root_properties);
}

void Xvfb::start_own() {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const std::string fd_text = std::to_string(fds[1]);
    std::vector<std::string> args = {"Xvfb",    "-displayfd", fd_text,       "-nolisten", "tcp",
                                     "-screen", "0",          "1024x768x24", "-noreset"};
    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        throw std::runtime_error("cannot start Xvfb (is the xvfb package installed?)");
    }

    std::string number;
    const Deadline deadline(std::chrono::seconds(20));
    while (!deadline.passed()) {
        struct pollfd pfd = {fds[0], POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0)
            continue;
        char c;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n')
            break;
        number.push_back(c);
    }
    close(fds[0]);
    if (number.empty()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        throw std::runtime_error("Xvfb did not report a display");
    }
    display_ = ":" + number;
}

Xvfb::~Xvfb() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
}
