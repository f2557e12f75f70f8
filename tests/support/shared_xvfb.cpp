// SPDX-License-Identifier: GPL-2.0-or-later
// One Xvfb for all the runs of a test program, which ctest starts before the
// first and ends after the last (tests/CMakeLists.txt):
//   shared_xvfb start FILE   starts the server and its keeper, and returns
//                            once FILE names the display
//   shared_xvfb stop FILE    removes FILE, and the keeper ends the server
// The keeper also ends the server once FILE has not been touched for ten
// minutes, so that a test run broken off leaves no server behind; each run
// touches it (xvfb.cpp).
#include <X11/Xlib.h>

#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/xvfb.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <string>

namespace {

constexpr time_t kIdleLimit = 600;

// The root window's properties as the server starts, one name a line.
std::string root_properties(const std::string &display) {
    std::string names;
    Display *dpy = XOpenDisplay(display.c_str());
    if (dpy == nullptr)
        return names;
    int count = 0;
    Atom *properties = XListProperties(dpy, DefaultRootWindow(dpy), &count);
    for (int i = 0; i < count; ++i)
        if (char *name = XGetAtomName(dpy, properties[i])) {
            names += std::string(name) + "\n";
            XFree(name);
        }
    if (properties != nullptr)
        XFree(properties);
    XCloseDisplay(dpy);
    return names;
}

bool in_use(const std::string &file) {
    struct stat status = {};
    return stat(file.c_str(), &status) == 0 && time(nullptr) - status.st_mtime < kIdleLimit;
}

// Runs in a session of its own, with nothing of ctest's open: ctest waits
// for a test's output to close.
void keep(const std::string &file) {
    const int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd)
        dup2(null, fd);
    closefrom(3);
    unsetenv(kSharedXVariable);
    Xvfb server;
    const std::string aside = file + ".new";
    write_file(aside, server.display() + "\n" + root_properties(server.display()));
    rename(aside.c_str(), file.c_str());
    while (in_use(file))
        sleep(1);
    unlink(file.c_str());
}

int start(const std::string &file) {
    unlink(file.c_str());
    const pid_t child = fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        setsid();
        if (fork() == 0) {
            try {
                keep(file);
            } catch (const std::exception &) {
            }
            _exit(0);
        }
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    if (!wait_for([&] { return file_exists(file); }, std::chrono::seconds(20))) {
        fprintf(stderr, "shared_xvfb: no X server started for %s\n", file.c_str());
        return 1;
    }
    printf("%s", read_file(file).c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3 || (strcmp(argv[1], "start") != 0 && strcmp(argv[1], "stop") != 0)) {
        fprintf(stderr, "usage: shared_xvfb start|stop FILE\n");
        return 2;
    }
    if (strcmp(argv[1], "start") == 0)
        return start(argv[2]);
    unlink(argv[2]);
    return 0;
}
