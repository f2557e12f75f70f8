// SPDX-License-Identifier: GPL-2.0-or-later
// What a screen reader is told of the main list: its name, the default entry
// that its description names, each row's description and command, the row it
// is on when the list gets the keyboard back, and the sentences the list and
// the countdown have it say.
#pragma once

#include <gtk/gtk.h>

// Names the list view, whose model is the main list store, and keeps its
// accessible description naming the default entry as the marks change. A
// row's description cell takes the row's description as its accessible name
// and its command as its accessible description, with a word on the default
// row; its icon says nothing. Each time the list gets the keyboard, the row
// it is on is said again.
void make_list_accessible(GtkTreeView *view);

// Has a screen reader say the sentence now, whatever has the keyboard: as a
// notification that appears, which Orca says as it comes.
void tell_screen_reader(GtkTreeView *view, const char *sentence);

// Has a screen reader say that the row, about to be deleted, is deleted, and
// then the row the cursor is on.
void tell_row_deleted(GtkTreeView *view, GtkTreeIter *row);

// While the countdown runs, the selected row, the one it will start, says
// this after its command; null once it has stopped.
void set_countdown_sentence(GtkTreeView *view, const char *sentence);
