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

GCharPtr cut_to_screen(const char *text) {
    const char *end = text;
    for (long shown = 0; *end != '\0' && shown < kShownCharacters; ++shown)
        end = g_utf8_next_char(end);
    if (*end == '\0')
        return GCharPtr(g_strdup(text));
    GCharPtr head(g_strndup(text, static_cast<gsize>(end - text)));
    return GCharPtr(g_strconcat(head.get(), "\u2026", nullptr));
}
