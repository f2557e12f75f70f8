// SPDX-License-Identifier: GPL-2.0-or-later
#include "launch/exec_plan.h"

#include <climits>
#include <cstdlib>

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char *kDefaultSearchPath = "/bin:/usr/bin";
constexpr const char *kShell = "/bin/sh";

// A file that the kernel cannot run (no "#!" line) is a shell script.
int exec_or_script(const char *file, char *const argv0) noexcept {
    char *const argv[] = {argv0, nullptr};
    execv(file, argv);
    if (errno != ENOEXEC)
        return errno;
    char *const script_argv[] = {const_cast<char *>(kShell), const_cast<char *>(file), nullptr};
    execv(kShell, script_argv);
    return errno;
}

void set_signals(const sigset_t &signals, void (*handler)(int)) noexcept {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Nothing to be done about a failure here, in a child that cannot report:
    // the signal merely stays as it was.
    for (int signal_number = 1; signal_number < NSIG; ++signal_number)
        if (sigismember(&signals, signal_number) == 1)
            sigaction(signal_number, &action, nullptr);
}

bool is_ignored(const struct sigaction &action) {
    return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
}

sigset_t inherited_ignored;
bool inherited_known = false;

} // namespace

void remember_inherited_signals() {
    sigemptyset(&inherited_ignored);
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        struct sigaction action;
        // The C library's own signals cannot be asked for; they fail here.
        if (sigaction(signal_number, nullptr, &action) == 0 && is_ignored(action))
            sigaddset(&inherited_ignored, signal_number);
    }
    inherited_known = true;
}

void ignore_file_size_signal() {
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGXFSZ, &action, nullptr);
}

namespace {

void plan_signals(ExecPlan *plan) {
    sigemptyset(&plan->to_default);
    sigemptyset(&plan->to_ignore);
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        struct sigaction action;
        if (sigaction(signal_number, nullptr, &action) != 0)
            continue;
        const bool was_ignored =
            inherited_known && sigismember(&inherited_ignored, signal_number) == 1;
        if (is_ignored(action) && !was_ignored)
            sigaddset(&plan->to_default, signal_number);
        else if (!is_ignored(action) && was_ignored)
            sigaddset(&plan->to_ignore, signal_number);
        else
            continue;
        plan->actions_before.emplace_back(signal_number, action);
    }
}

} // namespace

std::vector<std::string> command_candidates(const std::string &command) {
    if (command.find('/') != std::string::npos)
        return {command};
    const char *search_path = getenv("PATH");
    const std::string path = search_path != nullptr ? search_path : kDefaultSearchPath;
    std::vector<std::string> candidates;
    std::string::size_type start = 0;
    while (true) {
        const std::string::size_type end = path.find(':', start);
        const std::string folder = path.substr(start, end - start);
        // An empty element stands for the current folder.
        std::string candidate = folder;
        if (!candidate.empty())
            candidate += '/';
        candidate += command;
        candidates.push_back(std::move(candidate));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return candidates;
}

ExecPlan prepare_exec(const std::string &command) {
    ExecPlan plan;
    plan.command = command;
    plan_signals(&plan);
    if (command.empty())
        plan.early_error = ENOENT;
    else if (command.find('/') == std::string::npos && command.size() > NAME_MAX)
        plan.early_error = ENAMETOOLONG;
    else
        plan.candidates = command_candidates(command);
    return plan;
}

int run_exec_plan(const ExecPlan &plan) noexcept {
    set_signals(plan.to_default, SIG_DFL);
    set_signals(plan.to_ignore, SIG_IGN);
    if (plan.early_error != 0)
        return plan.early_error;
    char *const argv0 = const_cast<char *>(plan.command.c_str());
    bool denied = false;
    int error = ENOENT;
    for (const std::string &candidate : plan.candidates) {
        error = exec_or_script(candidate.c_str(), argv0);
        switch (error) {
        case EACCES:
            denied = true;
            break;
        case ENOENT:
        case ESTALE:
        case ENOTDIR:
        case ENODEV:
        case ETIMEDOUT:
            break;
        default:
            // Found but not runnable for another reason: searching on would
            // start a different program than the one named.
            return error;
        }
    }
    return denied ? EACCES : error;
}

void restore_signals(const ExecPlan &plan) {
    for (const auto &[signal_number, action] : plan.actions_before)
        sigaction(signal_number, &action, nullptr);
}
