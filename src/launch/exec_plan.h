// SPDX-License-Identifier: GPL-2.0-or-later
// Running a command the way execlp would, from a forked child: everything the
// child needs is worked out before the fork, so the child itself allocates
// nothing and calls only async-signal-safe functions.
#pragma once

#include <signal.h>

#include <string>
#include <utility>
#include <vector>

struct ExecPlan {
    // Argument zero as well as the name looked up; never split at blanks.
    std::string command;
    // The files to try, in order: the command itself when it holds a slash,
    // otherwise one per PATH element.
    std::vector<std::string> candidates;
    // Set when the command cannot be tried at all (an empty name, say).
    int early_error = 0;
    // The new image gets the dispositions the program itself started with:
    // what the toolkit ignores (SIGPIPE, for one) goes back to its default,
    // what was ignored at start (SIGHUP under nohup) is ignored again.
    sigset_t to_default;
    sigset_t to_ignore;
    // The actions these had when the plan was made, for a failed exec.
    std::vector<std::pair<int, struct sigaction>> actions_before;
};

// Notes which signals the program was started with ignored; called first
// thing in main, before the toolkit changes any.
void remember_inherited_signals();

// Lets a write past the file-size limit fail with EFBIG, so that a save can
// undo it, instead of ending the program; called right after the above, so
// that the window manager still gets the disposition the program inherited.
void ignore_file_size_signal();

// The files that running the command tries, in order: the command itself
// when it holds a slash, otherwise the name in each element of PATH, read
// now, an empty element standing for the current folder and an unset PATH
// searched as "/bin:/usr/bin". The search finds bare names along these too,
// so that it offers what a launch would start.
std::vector<std::string> command_candidates(const std::string &command);

// Reads PATH now, through command_candidates.
ExecPlan prepare_exec(const std::string &command);

// Replaces the process image, with the signal dispositions the program
// inherited and its environment as it is: as the program received it, but
// for DESKTOP_STARTUP_ID. The toolkit takes that out at start, and rightly:
// it names the program's own start-up, which its window ends, and a window
// manager that handed it on would have the programs it starts claim a
// start-up long over (their first windows could be refused the focus).
// Returns only on failure, with the errno that execlp would have left.
// Async-signal-safe.
int run_exec_plan(const ExecPlan &plan) noexcept;
// Gives the signals that run_exec_plan changed their actions back, after a failure.
void restore_signals(const ExecPlan &plan);
