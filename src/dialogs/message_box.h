// SPDX-License-Identifier: GPL-2.0-or-later
// Parentless modal message boxes at the pointer; texts are shown verbatim,
// but for bytes that are not UTF-8, each shown as a replacement character.
#pragma once

#include <gtk/gtk.h>

// Shows the text and returns at once; the box goes when it is dismissed.
void show_message(const char *text, GtkMessageType type);
// Asks a yes-or-no question and returns the response id.
int ask_question(const char *text);
