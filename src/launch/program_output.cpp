// SPDX-License-Identifier: GPL-2.0-or-later
#include "launch/program_output.h"

#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "app/message.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// Runs in the child between fork and exec: async-signal-safe calls only.
void set_up_child(gpointer saved_mask) {
    // A group of its own, so that what it starts can be ended with it.
    setpgid(0, 0);
    if (saved_mask != nullptr)
        sigprocmask(SIG_SETMASK, static_cast<const sigset_t *>(saved_mask), nullptr);
}

enum class Ending { Exited, TimedOut, TooMuchOutput, Failed };
enum class Reading { Open, Closed, Failed };

// Reads what the pipe holds into text, never more than one byte past max_bytes.
Reading read_some(int output, size_t max_bytes, std::string *text) {
    char chunk[4096];
    const size_t wanted = std::min(sizeof chunk, max_bytes + 1 - text->size());
    const ssize_t got = read(output, chunk, wanted);
    if (got < 0)
        return errno == EINTR ? Reading::Open : Reading::Failed;
    if (got == 0)
        return Reading::Closed;
    text->append(chunk, static_cast<size_t>(got));
    return Reading::Open;
}

// What is left until the deadline in whole milliseconds, rounded up; 0 once
// it has passed.
int milliseconds_until(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads the output until the program has exited and nothing more waits in
// the pipe, or until a limit is passed. Once the program has exited, what
// it left running may hold the pipe open for ever: what it has written by
// then is all there is.
Ending collect_output(int output, int exit_notice, std::chrono::milliseconds time_limit,
                      size_t max_bytes, std::string *text) {
    const auto deadline = std::chrono::steady_clock::now() + time_limit;
    // Each is -1 once it has nothing more to say, and poll passes it over.
    int open_output = output;
    int running = exit_notice;
    while (open_output >= 0 || running >= 0) {
        const int timeout_ms = running >= 0 ? milliseconds_until(deadline) : 0;
        if (running >= 0 && timeout_ms == 0)
            return Ending::TimedOut;
        struct pollfd watched[] = {{open_output, POLLIN, 0}, {running, POLLIN, 0}};
        const int ready = poll(watched, 2, timeout_ms);
        if (ready < 0 && errno != EINTR)
            return Ending::Failed;
        if (ready == 0 && running < 0)
            break;
        if (ready <= 0)
            continue;
        if (watched[1].revents != 0)
            running = -1;
        if (watched[0].revents == 0)
            continue;
        const Reading reading = read_some(output, max_bytes, text);
        if (reading == Reading::Failed)
            return Ending::Failed;
        if (reading == Reading::Closed)
            open_output = -1;
        if (text->size() > max_bytes)
            return Ending::TooMuchOutput;
    }
    return Ending::Exited;
}

void warn_of(Ending ending, const char *program, std::chrono::milliseconds time_limit,
             size_t max_bytes) {
    if (ending == Ending::TimedOut) {
        const auto seconds =
            static_cast<unsigned long>(std::chrono::ceil<std::chrono::seconds>(time_limit).count());
        // TRANSLATORS: on standard error when the search for window managers
        // gave up on a helper program (%s, its full path) and killed it.
        log_warning(trn("Stopped \"%s\": it did not finish within %lu second",
                        "Stopped \"%s\": it did not finish within %lu seconds", seconds),
                    program, seconds);
    } else if (ending == Ending::TooMuchOutput) {
        const auto bytes = static_cast<unsigned long>(max_bytes);
        // TRANSLATORS: the same when it wrote more than anyone could use.
        log_warning(trn("Stopped \"%s\": it wrote more than %lu byte",
                        "Stopped \"%s\": it wrote more than %lu bytes", bytes),
                    program, bytes);
    }
}

} // namespace

std::optional<std::string> read_program_output(const std::vector<std::string> &argv,
                                               std::chrono::milliseconds time_limit,
                                               size_t max_bytes) {
    // A bare name would be looked for in the current folder, or along a PATH
    // of anyone's making.
    if (argv.empty() || !g_path_is_absolute(argv[0].c_str()))
        return std::nullopt;
    std::vector<char *> args;
    args.reserve(argv.size() + 1);
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);

    // Held back, the reaper cannot collect the child before our own wait,
    // which would then lose its exit status.
    sigset_t child_signal;
    sigset_t saved_mask;
    sigemptyset(&child_signal);
    sigaddset(&child_signal, SIGCHLD);
    const bool blocked = sigprocmask(SIG_BLOCK, &child_signal, &saved_mask) == 0;
    GPid pid = 0;
    gint output = -1;
    std::optional<std::string> result;
    // The spawn returns once the program runs, its group already made.
    if (g_spawn_async_with_pipes(
            nullptr, args.data(), nullptr,
            static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL),
            set_up_child, blocked ? &saved_mask : nullptr, &pid, nullptr, &output, nullptr,
            nullptr)) {
        const int exit_notice = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        std::string text;
        const Ending ending =
            exit_notice >= 0 ? collect_output(output, exit_notice, time_limit, max_bytes, &text)
                             : Ending::Failed;
        // Not collected yet, the program keeps its group's number from being
        // given to another. One that was given up on is left to the reaper.
        kill(-pid, SIGKILL);
        int status = 0;
        if (ending == Ending::Exited && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
            WEXITSTATUS(status) == 0)
            result = std::move(text);
        warn_of(ending, argv[0].c_str(), time_limit, max_bytes);
        close(output);
        if (exit_notice >= 0)
            close(exit_notice);
    }
    if (blocked)
        sigprocmask(SIG_SETMASK, &saved_mask, nullptr);
    return result;
}
