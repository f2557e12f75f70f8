// SPDX-License-Identifier: GPL-2.0-or-later
// Reading the configuration file into the list and settings, and writing them
// back: the file's path, kinds and read errors, and whether another program
// has changed it since. Its text format lives in config_format.*; the safe
// replacement of the file in file_replace.*.
#pragma once

#include "app/app_state.h"

// Fills the main list, emptied first, and the settings; returns the entries
// read. The view is given the list once it is full, the default row marked
// and under its cursor.
int load_config(AppState *state);
// What a save did, as far as its caller needs to know.
enum class SaveResult {
    Done,        // written, or nothing to write (saving is off, the null device)
    Failed,      // not written, for a reason the warning gives
    FileChanged, // not written: another program had changed the file
};
// Rewrites the file from the list and the settings, unless saving is off,
// the file was not read in full, or another program has changed it since
// this run last read or wrote it (up to the moment the new file takes its
// place). A save refused or failed logs the reason.
SaveResult save_config(AppState *state);
// Reads the file into the list and the settings again if another program has
// changed it since this run last read or wrote it; the go-back button stays
// as it is. Returns whether it did.
bool reload_config_if_changed(AppState *state);
