// SPDX-License-Identifier: GPL-2.0-or-later
// Reading the configuration file into the list and settings, and writing them
// back. Only this module knows the file's format.
#pragma once

#include "app/app_state.h"

// Fills the (empty) main list and the settings; returns the entries read.
int load_config(AppState *state);
// Rewrites the file from the list and the settings, unless saving is off.
void save_config(AppState *state);
