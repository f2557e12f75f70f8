// SPDX-License-Identifier: GPL-2.0-or-later
// Starting the selected window manager, by exec or as a waited-for child, and
// the SIGCHLD reaper. Only this module starts a window manager and handles
// SIGCHLD; only src/launch forks and execs. The window manager gets the
// environment the program got, but for DESKTOP_STARTUP_ID, which the toolkit
// takes out at start (exec_plan.h).
#pragma once

#include "app/app_state.h"

// Installs the handler that collects every child that has ended, for
// SIGCHLD; ends the process with status 1 on failure.
void install_child_reaper();
// Starts the row selected in the main list; returns at once when none is.
void launch_selected_wm(AppState *state);
