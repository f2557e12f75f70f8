// SPDX-License-Identifier: GPL-2.0-or-later
// The one way to form a message with values and the one way to log a
// warning: the GLib log, level warning, no log domain; and how much of a
// text a window shows.
#pragma once

#include "app/glib_ptr.h"

#include <glib.h>

// The printf-style format filled with its values.
GCharPtr format_message(const char *format, ...) G_GNUC_PRINTF(1, 2);

// Logs the filled format as a warning.
void log_warning(const char *format, ...) G_GNUC_PRINTF(1, 2);

// No window shows more characters of a text than this: a screen is narrower.
constexpr long kShownCharacters = 1000;

// The UTF-8 text as a window shows it: one longer than kShownCharacters is
// cut there and ends in an ellipsis, so that no window lays out megabytes.
GCharPtr cut_to_screen(const char *text);
