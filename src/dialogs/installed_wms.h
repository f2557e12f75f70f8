// SPDX-License-Identifier: GPL-2.0-or-later
// What the system itself says is installed, for the search: the X sessions
// that a display manager offers and Debian's x-window-manager alternatives,
// each as the one program it starts; and the rows the search keeps of those
// that reach one program or share a description. Only this module reads
// session files and asks for alternatives.
#pragma once

#include "dialogs/search.h"

#include <string>
#include <vector>

// The data folders whose "xsessions" folders hold the sessions: those of
// XDG_DATA_DIRS, or /usr/local/share and /usr/share when it is unset or
// empty; a folder that is not absolute is passed over.
std::vector<std::string> session_data_dirs();

// The sessions in these folders' "xsessions" folders that start one program
// by itself, in file-name order; a file hides those of its name in later
// folders. Each is described by its Name in the user's language. A file
// larger than any real session file (64 KiB) is passed over, unread.
std::vector<FoundWm> find_session_wms(const std::vector<std::string> &data_dirs);

// The programs registered as x-window-manager alternatives, in the order that
// "/usr/bin/update-alternatives --list" gives them, each described by its
// file name; none when it is missing or fails, or when it is stopped, with a
// warning, for taking longer than two seconds or writing more than 64 KiB.
std::vector<FoundWm> find_alternative_wms();

// Leaves one row for the rows whose paths reach one file under one name: the
// first, with the path that goes through no linked folder when one does. A
// file reached under another name keeps its row, since a program may act by
// the name it is started as.
void fold_same_programs(std::vector<FoundWm> *found);

// Leaves the first row of those whose descriptions differ only in case: the
// main list shows descriptions alone, and two rows of one description could
// not be told apart there.
void drop_repeated_descriptions(std::vector<FoundWm> *found);
