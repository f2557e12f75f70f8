// SPDX-License-Identifier: GPL-2.0-or-later
// Message lookup in the program's own text domain.
#pragma once

#include <libintl.h>

#define QUORVANE_TEXT_DOMAIN "quorvane"
// The build sets it from where it installs the catalogues; packagers may move it.
#ifndef QUORVANE_LOCALE_DIR
#define QUORVANE_LOCALE_DIR "/usr/local/share/locale"
#endif

// N_ marks a text for extraction where the lookup happens later.
#define N_(text) (text)

inline const char *tr(const char *msgid) {
    return dgettext(QUORVANE_TEXT_DOMAIN, msgid);
}

// The text for a count of n, in the form that the language gives such a count.
inline const char *trn(const char *msgid, const char *plural, unsigned long n) {
    return dngettext(QUORVANE_TEXT_DOMAIN, msgid, plural, n);
}
