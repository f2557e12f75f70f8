// SPDX-License-Identifier: GPL-2.0-or-later
// Reading the configuration file into the list and settings, and writing them
// back: the file's path, kinds and read errors. Its text format lives in
// config_format.*; the safe replacement of the file in file_replace.*.
#pragma once

#include "app/app_state.h"

// Fills the (empty) main list and the settings; returns the entries read.
int load_config(AppState *state);
// Rewrites the file from the list and the settings, unless saving is off.
void save_config(AppState *state);
