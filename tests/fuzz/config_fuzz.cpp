// Feeds arbitrary bytes to the configuration reader from memory, then checks
// that the entries it found survive being written and read again.
#include "wmlist/config_format.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

ConfigSettings defaults() {
    return ConfigSettings{15.0, 0, "0", 3};
}

bool read_bytes(const char *bytes, size_t size, std::vector<ConfigEntry> *entries,
                ConfigSettings *settings) {
    // fmemopen wants a writable buffer even for reading.
    std::vector<char> copy(bytes, bytes + size);
    copy.push_back('\0');
    FILE *stream = fmemopen(copy.data(), size, "r");
    if (stream == nullptr)
        return false;
    read_config_stream(stream, entries, settings);
    fclose(stream);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<ConfigEntry> entries;
    ConfigSettings settings = defaults();
    if (!read_bytes(reinterpret_cast<const char *>(data), size, &entries, &settings))
        return 0;

    std::vector<ConfigRow> rows;
    for (const ConfigEntry &entry : entries)
        rows.push_back(ConfigRow{entry.description, entry.command, false});
    const std::string text = format_config("# header\n", rows, settings);

    // Written entries have their ":" and "=" blanked, so reading the text back
    // must give one entry per row and no setting beyond the four.
    std::vector<ConfigEntry> again;
    ConfigSettings settings_again = defaults();
    if (!read_bytes(text.data(), text.size(), &again, &settings_again))
        return 0;
    if (again.size() != entries.size())
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
