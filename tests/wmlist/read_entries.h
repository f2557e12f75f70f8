// SPDX-License-Identifier: GPL-2.0-or-later
// Reading configuration text from memory into plain entries, and forming it
// from plain rows with the program's own writer, for the tests of the reader
// and writer and for the fuzz target.
#pragma once

#include "wmlist/config_format.h"

#include <cstdio>
#include <string>
#include <vector>

struct ConfigRow {
    std::string description;
    std::string command;
    bool is_default;
};

struct ConfigEntry {
    std::string description;
    std::string command;
};

// The settings before any line is read, as loading starts from them.
inline ConfigSettings defaults() {
    return ConfigSettings{15.0, 0, "0", 3};
}

// Returns the reader's result, or -1 when the memory stream cannot be made.
inline int read_entries(const std::string &text, std::vector<ConfigEntry> *entries,
                        ConfigSettings *settings) {
    // fmemopen wants a writable buffer even for reading.
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    FILE *stream = fmemopen(copy.data(), text.size(), "r");
    if (stream == nullptr)
        return -1;
    const int result = read_config_stream(
        stream,
        [entries](const char *description, const char *command) {
            entries->push_back(ConfigEntry{description, command});
        },
        settings);
    fclose(stream);
    return result;
}

inline std::string format_config(const char *header, const std::vector<ConfigRow> &rows,
                                 const ConfigSettings &settings) {
    ConfigText text(header);
    for (const ConfigRow &row : rows)
        text.add_row(row.description.c_str(), row.command.c_str(), row.is_default);
    return text.finish(settings);
}

// The entries as the writer gives them: separators and carriage returns
// blanked, and a command
// trimmed of the blanks that this leaves at its end, as reading does.
inline std::vector<ConfigEntry> as_written(std::vector<ConfigEntry> entries) {
    for (ConfigEntry &entry : entries) {
        for (std::string *part : {&entry.description, &entry.command})
            for (char &c : *part)
                if (c == ':' || c == '=' || c == '\r')
                    c = ' ';
        while (!entry.command.empty() && g_ascii_isspace(entry.command.back()))
            entry.command.pop_back();
    }
    return entries;
}
