// SPDX-License-Identifier: GPL-2.0-or-later
// The one way to form a message with values and the one way to log a
// warning: the GLib log, level warning, no log domain.
#pragma once

#include "app/glib_ptr.h"

#include <glib.h>

// The printf-style format filled with its values.
GCharPtr format_message(const char *format, ...) G_GNUC_PRINTF(1, 2);

// Logs the filled format as a warning.
void log_warning(const char *format, ...) G_GNUC_PRINTF(1, 2);
