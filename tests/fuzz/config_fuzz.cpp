// SPDX-License-Identifier: GPL-2.0-or-later
// Feeds arbitrary bytes to the configuration reader from memory, then checks
// that the entries it found survive being written and read again.
#include "wmlist/config_format.h"
#include "wmlist/read_entries.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<ConfigEntry> entries;
    ConfigSettings settings = defaults();
    const std::string input(reinterpret_cast<const char *>(data), size);
    if (read_entries(input, &entries, &settings) < 0)
        return 0;

    // Formatting what was read gives a text that reads back as the same list,
    // but for the separators that the writer blanks.
    const int index = parse_number(settings.default_wm.c_str());
    std::vector<ConfigRow> as_read;
    for (size_t i = 0; i < entries.size(); ++i)
        as_read.push_back(
            ConfigRow{entries[i].description, entries[i].command, static_cast<int>(i) == index});
    std::vector<ConfigEntry> reread;
    ConfigSettings settings_reread = defaults();
    if (read_entries(format_config("# header\n", as_read, settings), &reread, &settings_reread) !=
        0)
        abort();
    const std::vector<ConfigEntry> expected = as_written(entries);
    if (reread.size() != expected.size())
        abort();
    for (size_t i = 0; i < reread.size(); ++i)
        if (reread[i].description != expected[i].description ||
            reread[i].command != expected[i].command)
            abort();

    std::vector<ConfigRow> rows;
    for (const ConfigEntry &entry : entries)
        rows.push_back(ConfigRow{entry.description, entry.command, false});
    // A row typed into the list may hold anything the file cannot: a line
    // break, or a "#" at the start.
    const std::string typed = input.substr(0, input.find('\0'));
    rows.push_back(ConfigRow{typed, typed, false});
    const std::string text = format_config("# header\n", rows, settings);

    // Written entries have their ":", "=" and line breaks blanked, so reading
    // the text back must give one entry per row and no setting beyond the four.
    std::vector<ConfigEntry> again;
    ConfigSettings settings_again = defaults();
    if (read_entries(text, &again, &settings_again) != 0)
        abort();
    if (again.size() != rows.size())
        abort();
    for (size_t i = 0; i < again.size(); ++i) {
        if (again[i].description.find_first_of(":=") != std::string::npos ||
            again[i].command.find_first_of(":=") != std::string::npos)
            abort();
    }
    if (settings_again.restart != settings.restart ||
        settings_again.goback_btn != settings.goback_btn)
        abort();
    return 0;
}
