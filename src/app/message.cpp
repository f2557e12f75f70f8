// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/message.h"

#include <cstdarg>

// Both take printf's C-style values, so that the compiler checks them against
// the format (G_GNUC_PRINTF); a template could not.
GCharPtr format_message(const char *format, ...) { // NOLINT(cert-dcl50-cpp)
    va_list values;
    va_start(values, format);
    GCharPtr text(g_strdup_vprintf(format, values));
    va_end(values);
    return text;
}

void log_warning(const char *format, ...) { // NOLINT(cert-dcl50-cpp)
    va_list values;
    va_start(values, format);
    const GCharPtr text(g_strdup_vprintf(format, values));
    va_end(values);
    g_log(nullptr, G_LOG_LEVEL_WARNING, "%s", text.get());
}
