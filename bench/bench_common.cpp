// SPDX-License-Identifier: GPL-2.0-or-later
#include <X11/Xlib.h>

#include "bench_common.h"

#include "bench_rows.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char **environ;

double ms_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

pid_t spawn(const std::vector<std::string> &argv, const Environment &env,
            const std::string &stdin_path, const std::string &log_path) {
    std::vector<std::string> env_texts;
    for (const auto &[name, value] : env)
        env_texts.push_back(name + "=" + value);
    std::vector<char *> env_pointers;
    for (auto &text : env_texts)
        env_pointers.push_back(text.data());
    env_pointers.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char *> arg_pointers;
    size_t arg_bytes = 0;
    for (auto &arg : args) {
        arg_pointers.push_back(arg.data());
        arg_bytes += arg.size() + 1 + sizeof(char *);
    }
    arg_pointers.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int in = open(stdin_path.c_str(), O_RDONLY);
        const int out = open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (in < 0 || out < 0)
            _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // exec takes arguments up to a quarter of the stack limit.
        struct rlimit stack;
        if (getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY &&
            stack.rlim_cur < 8 * arg_bytes) {
            stack.rlim_cur = std::min<rlim_t>(8 * arg_bytes, stack.rlim_max);
            setrlimit(RLIMIT_STACK, &stack);
        }
        // execvp searches the PATH of the environment it runs in: the new one.
        environ = env_pointers.data();
        execvp(arg_pointers[0], arg_pointers.data());
        _exit(127);
    }
    return pid;
}

bool wait_for_exit(pid_t pid, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        const pid_t done = waitpid(pid, nullptr, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD))
            return true;
        usleep(2000);
    }
    return false;
}

void end_process(pid_t pid) {
    kill(pid, SIGTERM);
    if (!wait_for_exit(pid, std::chrono::seconds(5))) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

long cpu_ticks(pid_t pid) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[1024];
    const ssize_t size = read(fd, text, sizeof text - 1);
    close(fd);
    if (size <= 0)
        return -1;
    text[size] = '\0';
    // The command name may hold blanks and parentheses; the fields follow the last ")".
    const char *after = strrchr(text, ')');
    if (after == nullptr)
        return -1;
    std::istringstream fields(after + 1);
    std::string state;
    fields >> state;
    if (state == "Z" || state == "X")
        return -1;
    std::string skipped;
    for (int field = 4; field < 14; ++field)
        fields >> skipped;
    long utime = 0, stime = 0;
    fields >> utime >> stime;
    return fields ? utime + stime : -1;
}

namespace {

long status_kb(pid_t pid, const std::string &field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return -1;
}

} // namespace

long peak_rss_kb(pid_t pid) {
    return status_kb(pid, "VmHWM");
}

long private_rss_kb(pid_t pid) {
    return status_kb(pid, "RssAnon");
}

RootWatch::RootWatch(const std::string &display) {
    dpy_ = XOpenDisplay(display.c_str());
    if (dpy_ == nullptr)
        throw std::runtime_error("cannot open display " + display);
    XSelectInput(dpy_, DefaultRootWindow(dpy_), SubstructureNotifyMask);
    XSync(dpy_, False);
}

RootWatch::~RootWatch() {
    XCloseDisplay(dpy_);
}

void RootWatch::forget_events() {
    XSync(dpy_, True);
}

StartFigures RootWatch::watch_start(pid_t pid, Clock::time_point started, int quiet_ms,
                                    std::chrono::milliseconds limit) {
    StartFigures figures;
    bool mapped = false;
    Clock::time_point map_time, last_use = started;
    long last_ticks = -2;
    const Clock::time_point deadline = started + limit;
    const auto quiet = std::chrono::milliseconds(quiet_ms);
    while (true) {
        while (XPending(dpy_) > 0) {
            XEvent event;
            XNextEvent(dpy_, &event);
            if (!mapped && event.type == MapNotify && !event.xmap.override_redirect &&
                event.xmap.event == DefaultRootWindow(dpy_)) {
                map_time = Clock::now();
                mapped = true;
                figures.window = event.xmap.window;
            }
        }
        const Clock::time_point now = Clock::now();
        const long ticks = cpu_ticks(pid);
        if (ticks < 0)
            throw std::runtime_error("the program ended before it was idle");
        if (ticks != last_ticks) {
            last_ticks = ticks;
            last_use = now;
        }
        if (mapped) {
            const Clock::time_point busy_until = std::max(last_use, map_time);
            if (now - busy_until >= quiet) {
                figures.map_ms = ms_between(started, map_time);
                figures.idle_ms = ms_between(started, busy_until);
                figures.cpu_ms = ticks * 1000.0 / sysconf(_SC_CLK_TCK);
                return figures;
            }
        }
        if (now > deadline)
            throw std::runtime_error(mapped ? "the program did not become idle"
                                            : "the program mapped no window");
        struct pollfd pfd = {ConnectionNumber(dpy_), POLLIN, 0};
        poll(&pfd, 1, 2);
    }
}

BenchRig::BenchRig() : watch(xvfb.display()) {
    mkdir(home().c_str(), 0700);
    const std::string runtime = folder.file("runtime");
    mkdir(runtime.c_str(), 0700);
    const char *path = getenv("PATH");
    env = Environment{
        {"PATH", path != nullptr ? path : "/usr/bin:/bin"},
        {"HOME", home()},
        {"DISPLAY", xvfb.display()},
        {"XDG_RUNTIME_DIR", runtime},
        {"LC_ALL", "C.UTF-8"},
        // Without a session bus the bridge only adds a failed look-up.
        {"NO_AT_BRIDGE", "1"},
    };
}

void BenchRig::give_up(pid_t pid, const std::string &what, const std::exception &error) const {
    end_process(pid);
    throw std::runtime_error(what + ": " + error.what() + "\n--- its output:\n" + read_file(log()));
}

std::string config_text(long rows, const std::string &command_of_every_row, int restart,
                        int goback_btn) {
    std::string text = "# Automatically generated file.\n"
                       "# Do not edit (or make a backup copy before doing so)\n";
    char description[BENCH_ROW_TEXT_MAX];
    char command[BENCH_ROW_TEXT_MAX];
    for (long i = 0; i < rows; ++i) {
        bench_row_texts(i, description, command);
        text += description;
        text += '=';
        text += command_of_every_row.empty() ? command : command_of_every_row;
        text += '\n';
    }
    char settings[128];
    snprintf(settings, sizeof settings,
             "delay:%f\nrestart_quorvane:%d\ndefault_wm:%d\ngoback_btn:%d\n", 0.0, restart, 0,
             goback_btn);
    return text + settings;
}

std::vector<std::string> zenity_cells(long rows) {
    std::vector<std::string> cells;
    cells.reserve(2 * static_cast<size_t>(rows));
    char description[BENCH_ROW_TEXT_MAX];
    char command[BENCH_ROW_TEXT_MAX];
    for (long i = 0; i < rows; ++i) {
        bench_row_texts(i, description, command);
        cells.push_back(description);
        cells.push_back(command);
    }
    return cells;
}

std::vector<long> parse_sizes(const std::string &text) {
    std::vector<long> sizes;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty())
            sizes.push_back(strtol(item.c_str(), nullptr, 10));
    return sizes;
}

std::string machine_line() {
    std::string cpu;
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line))
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    struct utsname names;
    uname(&names);
    char date[32];
    const time_t now = time(nullptr);
    strftime(date, sizeof date, "%Y-%m-%d %H:%M", localtime(&now));
    return std::string(date) + ", " + cpu + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) +
           " cores, Linux " + names.release;
}

namespace {

void write_all(int fd, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw std::runtime_error("write failed");
        done += static_cast<size_t>(written);
    }
}

} // namespace

double bare_save_ms(const std::string &target, const std::string &text, bool sync_folder) {
    const std::string temporary = target + ".new";
    const Clock::time_point started = Clock::now();
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error("cannot create " + temporary);
    write_all(fd, text);
    if (fsync(fd) != 0 || close(fd) != 0 || rename(temporary.c_str(), target.c_str()) != 0)
        throw std::runtime_error("the bare save failed");
    if (sync_folder) {
        const std::string folder = target.substr(0, target.rfind('/'));
        const int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder_fd < 0 || fsync(folder_fd) != 0 || close(folder_fd) != 0)
            throw std::runtime_error("cannot sync " + folder);
    }
    return ms_between(started, Clock::now());
}
