#include "wmlist/config_format.h"

#include "app/glib_ptr.h"

#include <glib.h>

#include <cstdlib>
#include <cstring>

namespace {

// fgets pieces of this size make up a line; a longer line takes several.
constexpr int PIECE_SIZE = 128;

// Assembles the next whole line, "\n" included when there is one.
void read_line(FILE *stream, GString *line) {
    char piece[PIECE_SIZE];
    g_string_truncate(line, 0);
    while (fgets(piece, sizeof piece, stream) != nullptr) {
        g_string_append(line, piece);
        if (strchr(piece, '\n') != nullptr)
            break;
    }
}

void read_setting(const char *line, ConfigSettings *settings) {
    GStrvPtr parts(g_strsplit(line, ":", 2));
    const char *key = parts.get()[0];
    const char *value = g_strchomp(parts.get()[1]);
    // Every name the key contains takes the value, so no else here.
    if (strstr(key, "delay") != nullptr)
        settings->delay = atof(value);
    if (strstr(key, "restart_quorvane") != nullptr)
        settings->restart = atoi(value);
    if (strstr(key, "default_wm") != nullptr)
        settings->default_wm = value;
    if (strstr(key, "goback_btn") != nullptr)
        settings->goback_btn = atoi(value);
}

void read_entry(const char *line, std::vector<ConfigEntry> *entries) {
    GStrvPtr parts(g_strsplit(line, "=", 2));
    entries->push_back(ConfigEntry{parts.get()[0], g_strchomp(parts.get()[1])});
}

// The file has no quoting, so these two would split the line differently
// when read back.
std::string blank_separators(const std::string &text) {
    GCharPtr copy(g_strdup(text.c_str()));
    g_strdelimit(copy.get(), ":=", ' ');
    return copy.get();
}

// The reader skips only lines that begin with "#"; a translation that breaks
// that rule would come back as entries or settings at the next start.
bool is_comment_block(const char *text) {
    if (text[0] == '\0')
        return false;
    for (const char *line = text; *line != '\0';) {
        const char *end = strchr(line, '\n');
        if (line[0] != '#' || end == nullptr)
            return false;
        line = end + 1;
    }
    return true;
}

} // namespace

bool read_config_stream(FILE *stream, std::vector<ConfigEntry> *entries, ConfigSettings *settings) {
    GStringPtr line(g_string_new(nullptr));
    while (!feof(stream) && !ferror(stream)) {
        read_line(stream, line.get());
        const char *text = line->str;
        if (line->len == 0 || text[0] == '#')
            continue;
        // A line with both characters is a setting and an entry at once.
        if (strchr(text, ':') != nullptr)
            read_setting(text, settings);
        if (strchr(text, '=') != nullptr)
            read_entry(text, entries);
    }
    return !ferror(stream);
}

std::string format_config(const char *header, const std::vector<ConfigRow> &rows,
                          const ConfigSettings &settings) {
    GStringPtr text(g_string_new(is_comment_block(header) ? header : CONFIG_HEADER));
    int default_position = 0;
    int position = 0;
    for (const ConfigRow &row : rows) {
        g_string_append_printf(text.get(), "%s=%s\n", blank_separators(row.description).c_str(),
                               blank_separators(row.command).c_str());
        if (row.is_default)
            default_position = position;
        ++position;
    }
    g_string_append_printf(text.get(),
                           "delay:%f\nrestart_quorvane:%d\ndefault_wm:%d\ngoback_btn:%d\n",
                           settings.delay, settings.restart, default_position, settings.goback_btn);
    return std::string(text->str, text->len);
}
