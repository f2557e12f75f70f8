// SPDX-License-Identifier: GPL-2.0-or-later
// The program's options: help, version, another configuration file, no saving.
#pragma once

#include "app/app_state.h"

// Acts on the options in order; ends the process for help, version and errors.
void parse_command_line(int argc, char **argv, AppState *state);
