// SPDX-License-Identifier: GPL-2.0-or-later
// Parentless modal message boxes at the pointer. A message is shown verbatim,
// but for bytes that are not UTF-8, each shown as a replacement character,
// and for what is longer than a screen, shown cut (cut_to_screen).
#pragma once

#include <gtk/gtk.h>

// Shows the text and returns at once; the box goes when it is dismissed.
void show_message(const char *text, GtkMessageType type);
// Asks a yes-or-no question and returns the response id.
int ask_question(const char *text);
