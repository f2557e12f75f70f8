// Running a command the way execlp would, from a forked child: everything the
// child needs is worked out before the fork, so the child itself allocates
// nothing and calls only async-signal-safe functions.
#pragma once

#include <signal.h>

#include <string>
#include <vector>

struct ExecPlan {
    // Argument zero as well as the name looked up; never split at blanks.
    std::string command;
    // The files to try, in order: the command itself when it holds a slash,
    // otherwise one per PATH element.
    std::vector<std::string> candidates;
    // Set when the command cannot be tried at all (an empty name, say).
    int early_error = 0;
    // What the program ignores (the toolkit ignores SIGPIPE, for one): the new
    // image gets the default action for these.
    sigset_t ignored_signals;
};

// Reads PATH now; an unset PATH is searched as "/bin:/usr/bin".
ExecPlan prepare_exec(const std::string &command);

// Replaces the process image, with the environment unchanged and no signal
// ignored; returns only on failure, with the errno that execlp would have
// left and the ignored signals at their default. Async-signal-safe.
int run_exec_plan(const ExecPlan &plan) noexcept;
// Ignores again what run_exec_plan gave back its default, after a failure.
void ignore_signals_again(const ExecPlan &plan);
