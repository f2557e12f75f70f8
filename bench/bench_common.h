// SPDX-License-Identifier: GPL-2.0-or-later
// What the benchmark drivers share besides the test rig's private Xvfb and
// temporary folder: child processes started with an environment given in
// full, a watch on the root window for the first map, the folder, server and
// environment a benchmarked program runs in, and the CPU and memory figures
// that /proc keeps for a process.
#pragma once

#include "support/temp_dir.h"
#include "support/xvfb.h"

#include <sys/types.h>

#include <chrono>
#include <exception>
#include <map>
#include <string>
#include <vector>

struct _XDisplay;
using Display = _XDisplay;
using Window = unsigned long;

using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC

double ms_between(Clock::time_point from, Clock::time_point to);
double median(std::vector<double> values);

using Environment = std::map<std::string, std::string>;

// Starts argv[0] (looked up along PATH) with exactly this environment, its
// standard input from stdin_path and its output into log_path. Long
// argument lists get the stack limit they need to pass through exec.
pid_t spawn(const std::vector<std::string> &argv, const Environment &env,
            const std::string &stdin_path, const std::string &log_path);
// SIGTERM, then SIGKILL after a few seconds; collects the process.
void end_process(pid_t pid);
// Collects a process that is ending by itself; false at the limit.
bool wait_for_exit(pid_t pid, std::chrono::milliseconds limit);

// CPU time used so far by all the process's threads, in clock ticks
// (utime + stime of /proc/PID/stat); -1 once the process is gone or a zombie.
long cpu_ticks(pid_t pid);
// Peak resident set (VmHWM of /proc/PID/status) in kilobytes; -1 when unknown.
long peak_rss_kb(pid_t pid);
// Resident memory that no other process shares (RssAnon of /proc/PID/status:
// the heap, the stacks and the pages copied on write) in kilobytes; -1 when
// unknown.
long private_rss_kb(pid_t pid);

struct StartFigures {
    double map_ms = 0;  // from start to the MapNotify of its first top-level window
    double idle_ms = 0; // from start to the last CPU use before a quiet spell
    double cpu_ms = 0;  // CPU time used by then
    Window window = 0;  // the window that was mapped
};

// An X connection that hears of every window mapped on the root window.
class RootWatch {
  public:
    explicit RootWatch(const std::string &display);
    ~RootWatch();
    RootWatch(const RootWatch &) = delete;
    RootWatch &operator=(const RootWatch &) = delete;

    Display *display() const { return dpy_; }
    // Drops what the server has told so far (windows of earlier runs).
    void forget_events();
    // Waits, started at `started`, for the process's first top-level map and
    // then for a spell of quiet_ms without CPU use. Throws at the limit or if
    // the process ends.
    StartFigures watch_start(pid_t pid, Clock::time_point started, int quiet_ms,
                             std::chrono::milliseconds limit);

  private:
    Display *dpy_ = nullptr;
};

// Where a benchmarked program runs: a temporary folder with a private HOME
// in it, a private Xvfb watched for maps, and the environment every such
// program gets (that HOME and a runtime folder, the display, a fixed locale,
// no accessibility bus).
struct BenchRig {
    BenchRig();

    std::string home() const { return folder.file("home"); }
    // Where spawn puts what the program prints.
    std::string log() const { return folder.file("log"); }
    // Ends the process and throws the error, said of what, with all the
    // process printed.
    [[noreturn]] void give_up(pid_t pid, const std::string &what,
                              const std::exception &error) const;

    TempDir folder;
    Xvfb xvfb;
    RootWatch watch;
    Environment env;
};

// The least a safe save must do: a new file, written, synced, renamed over
// target; with sync_folder, the folder synced too, so that the new name
// survives a crash. Returns the milliseconds it took.
double bare_save_ms(const std::string &target, const std::string &text, bool sync_folder);

// The configuration file the program reads and writes, with these rows.
std::string config_text(long rows, const std::string &command_of_every_row, int restart,
                        int goback_btn);
// The same rows as zenity --list takes them: one argument a cell.
std::vector<std::string> zenity_cells(long rows);
// Comma-separated numbers.
std::vector<long> parse_sizes(const std::string &text);
// The date, the processor, the number of cores and the kernel.
std::string machine_line();
