// SPDX-License-Identifier: GPL-2.0-or-later
#include "launch/program_output.h"

#include "app/glib_ptr.h"

#include <signal.h>

namespace {

// Runs in the child between fork and exec: async-signal-safe calls only.
void restore_signal_mask(gpointer saved_mask) {
    sigprocmask(SIG_SETMASK, static_cast<const sigset_t *>(saved_mask), nullptr);
}

} // namespace

std::optional<std::string> read_program_output(const std::vector<std::string> &argv) {
    std::vector<char *> args;
    args.reserve(argv.size() + 1);
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);

    // Held back, the reaper cannot collect the child before the spawn's own
    // wait, which would then lose its exit status.
    sigset_t child_signal;
    sigset_t saved_mask;
    sigemptyset(&child_signal);
    sigaddset(&child_signal, SIGCHLD);
    const bool blocked = sigprocmask(SIG_BLOCK, &child_signal, &saved_mask) == 0;
    gchar *output = nullptr;
    gint wait_status = 0;
    const gboolean ran =
        g_spawn_sync(nullptr, args.data(), nullptr,
                     static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL),
                     blocked ? restore_signal_mask : nullptr, &saved_mask, &output, nullptr,
                     &wait_status, nullptr);
    if (blocked)
        sigprocmask(SIG_SETMASK, &saved_mask, nullptr);
    const GCharPtr owned_output(output);
    if (!ran || !g_spawn_check_wait_status(wait_status, nullptr))
        return std::nullopt;
    return std::string(output);
}
