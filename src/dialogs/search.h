// SPDX-License-Identifier: GPL-2.0-or-later
// The search for window managers, the known ones in fixed folders first and
// then those the system names (installed_wms.h), and its result dialog. Only
// this module knows the table of known window managers; it adds to the main
// list only through add_wm_row, and its caller selects what it added.
#pragma once

#include "app/app_state.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

struct KnownWm {
    const char *description; // shown as it stands, never translated
    const char *command;     // a bare program name
};

// The known window managers in the order of the results, closed by an entry
// of two empty texts.
extern const KnownWm known_wms[];

// Columns of the result dialog's own store.
enum FoundColumn { FOUND_COL_COMMAND, FOUND_COL_DESCRIPTION, FOUND_COL_EDITABLE, FOUND_N_COLUMNS };

struct FoundWm {
    std::string command; // the folder followed by the program name
    std::string description;
};

// True for what is a regular file once links are followed, and executable.
bool is_executable_file(const char *path);

// Looks for every entry of the table under every prefix, entry by entry and
// within an entry prefix by prefix; both lists stop at their empty closing
// entry. Duplicates are kept.
std::vector<FoundWm> find_known_wms(const KnownWm *table, const char *const *prefixes);

// Everything the search offers: the table's programs under the prefixes, then
// the X sessions of XDG_DATA_DIRS and the x-window-manager alternatives, with
// the rows that reach one program folded into one, and of the rows with one
// description, compared without case, the first alone.
std::vector<FoundWm> find_installed_wms(const KnownWm *table, const char *const *prefixes);

// Runs the search over the usual folders and its dialog to the end; returns how
// many rows it appended to the main list.
int search_known_wms(AppState *state);

// The result dialog over what was found; with Add, appends the selected rows
// to the main list in their order. Returns how many.
int show_found_wms(AppState *state, const std::vector<FoundWm> &found);
