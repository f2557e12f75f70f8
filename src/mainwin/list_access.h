// SPDX-License-Identifier: GPL-2.0-or-later
// What a screen reader is told of the main list: its name, the default entry
// that its description names, and each row's description and command.
#pragma once

#include <gtk/gtk.h>

// Names the list view, whose model is the main list store, and keeps its
// accessible description naming the default entry as the marks change. Every
// cell of a row takes the row's description as its accessible name and its
// command as its accessible description, with a word on the default row.
void make_list_accessible(GtkTreeView *view);
