// SPDX-License-Identifier: GPL-2.0-or-later
// Reading configuration text from memory into plain entries, for the tests
// of the reader and writer and for the fuzz target.
#pragma once

#include "wmlist/config_format.h"

#include <cstdio>
#include <string>
#include <vector>

struct ConfigEntry {
    std::string description;
    std::string command;
};

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
