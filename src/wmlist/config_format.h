// The configuration file's text: reading a stream of lines into entries and
// settings, and forming the whole text back from rows and settings. No GTK.
#pragma once

#include "app/i18n.h"

#include <cstdio>
#include <string>
#include <vector>

// The two comment lines that open every written file (translated by the caller).
#define CONFIG_HEADER                                                                              \
    N_("# Automatically generated file.\n# Do not edit (or make a backup copy before doing "       \
       "so)\n")

struct ConfigEntry {
    std::string description;
    std::string command;
};

// Filled with the defaults by the caller; each setting line read overrides one.
struct ConfigSettings {
    double delay;
    int restart;
    std::string default_wm;
    int goback_btn;
};

struct ConfigRow {
    std::string description;
    std::string command;
    bool is_default;
};

// Reads every line of the stream, appending entries in file order and
// overriding settings. Returns false when reading stopped on a read error; what
// was read until then is kept.
bool read_config_stream(FILE *stream, std::vector<ConfigEntry> *entries, ConfigSettings *settings);

// The whole file: header, one line per row, then the four settings, with the
// default position taken from the last flagged row. A header that is not made
// of whole "#" lines is replaced by the untranslated one.
std::string format_config(const char *header, const std::vector<ConfigRow> &rows,
                          const ConfigSettings &settings);
