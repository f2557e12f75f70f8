// SPDX-License-Identifier: GPL-2.0-or-later
// The configuration file's text: reading a stream of lines into entries and
// settings, and forming the whole text back from rows and settings. It calls
// GLib alone, nothing of the toolkit's, and runs without a display.
#pragma once

#include "app/i18n.h"

#include <glib.h>

#include <cstdio>
#include <functional>
#include <string>

// The two comment lines that open every written file (translated by the caller).
#define CONFIG_HEADER                                                                              \
    /* TRANSLATORS: both lines must start with "#" and end with a line break, */                   \
    /* or the untranslated ones are written: the reader skips only such lines. */                  \
    N_("# Automatically generated file.\n# Do not edit (or make a backup copy before doing "       \
       "so)\n")

// Filled with the defaults by the caller; each setting line read overrides one.
struct ConfigSettings {
    double delay;
    int restart;
    std::string default_wm;
    int goback_btn;
};

// Takes each entry as it is read, so that no copy of the whole list is held.
using EntrySink = std::function<void(const char *description, const char *command)>;

// Reads every line of the stream, handing entries on in file order and
// overriding settings, and adding every byte read to seen when given.
// Returns 0; EILSEQ when a line held a NUL or a carriage return that ends no
// line, or the text opened as UTF-16, which is read line by line all the
// same, each line up to its first NUL; or the errno of whatever ended
// reading early (a read error, no memory for a line), what was read until
// then having been handed on.
int read_config_stream(FILE *stream, const EntrySink &add_entry, ConfigSettings *settings,
                       GChecksum *seen = nullptr);

// A whole number as atoi reads it (leading blanks, a sign, digits; 0 when there
// are none), except that a number beyond int stops at its limit instead of
// wrapping around to some other value.
int parse_number(const char *value);

// Whether the file gives this command back as it stands: it holds none of
// the characters that writing blanks (":", "=", line breaks) and ends in no
// blank, which reading strips. Any other command would start another program
// after the next start.
bool is_storable_command(const char *command);

// Forms the file's text one row at a time: header, one line per row, then the
// four settings, with the default position taken from the last flagged row.
// A header that is not made of whole "#" lines is replaced by the untranslated one.
class ConfigText {
  public:
    explicit ConfigText(const char *header);
    void add_row(const char *description, const char *command, bool is_default);
    // The whole text; the object is spent afterwards.
    std::string finish(const ConfigSettings &settings);

  private:
    std::string text_;
    int position_ = 0;
    int default_position_ = 0;
};
