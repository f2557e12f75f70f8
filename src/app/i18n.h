// Message lookup in the program's own text domain.
#pragma once

#include <libintl.h>

#define QUORVANE_TEXT_DOMAIN "quorvane"
#define QUORVANE_LOCALE_DIR "/usr/local/share/locale"

// N_ marks a text for extraction where the lookup happens later.
#define N_(text) (text)

inline const char *tr(const char *msgid) {
    return dgettext(QUORVANE_TEXT_DOMAIN, msgid);
}
