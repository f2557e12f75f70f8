#include "wmlist/config_format.h"

#include <glib.h>

#include <cerrno>
#include <climits>
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
        settings->delay = parse_delay(value);
    if (strstr(key, "restart_quorvane") != nullptr)
        settings->restart = parse_number(value);
    if (strstr(key, "default_wm") != nullptr)
        settings->default_wm = value;
    if (strstr(key, "goback_btn") != nullptr)
        settings->goback_btn = parse_number(value);
}

void read_entry(const char *line, const EntrySink &add_entry) {
    GStrvPtr parts(g_strsplit(line, "=", 2));
    add_entry(parts.get()[0], g_strchomp(parts.get()[1]));
}

// The file has no quoting: these would split the line differently, or end
// it, when read back.
void blank_separators(gchar *text) {
    g_strdelimit(text, ":=\n", ' ');
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

int read_config_stream(FILE *stream, const EntrySink &add_entry, ConfigSettings *settings) {
    GStringPtr line(g_string_new(nullptr));
    int error = 0;
    while (!feof(stream) && !ferror(stream)) {
        errno = 0;
        read_line(stream, line.get());
        if (ferror(stream))
            error = errno != 0 ? errno : EIO;
        const char *text = line->str;
        if (line->len == 0 || text[0] == '#')
            continue;
        // A line with both characters is a setting and an entry at once.
        if (strchr(text, ':') != nullptr)
            read_setting(text, settings);
        if (strchr(text, '=') != nullptr)
            read_entry(text, add_entry);
    }
    return error;
}

double parse_delay(const char *value) {
    // "%f" writes the locale's decimal point; a file written under one locale
    // must mean the same under another.
    GCharPtr copy(g_strdup(value));
    g_strdelimit(copy.get(), ",", '.');
    return g_ascii_strtod(copy.get(), nullptr);
}

int parse_number(const char *value) {
    const long number = strtol(value, nullptr, 10);
    if (number > INT_MAX)
        return INT_MAX;
    if (number < INT_MIN)
        return INT_MIN;
    return static_cast<int>(number);
}

ConfigText::ConfigText(const char *header)
    : text_(g_string_new(is_comment_block(header) ? header : CONFIG_HEADER)) {}

void ConfigText::add_row(const char *description, const char *command, bool is_default) {
    GCharPtr left(g_strdup(description));
    GCharPtr right(g_strdup(command));
    blank_separators(left.get());
    blank_separators(right.get());
    // A blank in front keeps the entry from reading back as a comment.
    if (left.get()[0] == '#')
        g_string_append_c(text_.get(), ' ');
    g_string_append_printf(text_.get(), "%s=%s\n", left.get(), right.get());
    if (is_default)
        default_position_ = position_;
    ++position_;
}

std::string ConfigText::finish(const ConfigSettings &settings) {
    g_string_append_printf(
        text_.get(), "delay:%f\nrestart_quorvane:%d\ndefault_wm:%d\ngoback_btn:%d\n",
        settings.delay, settings.restart, default_position_, settings.goback_btn);
    return std::string(text_->str, text_->len);
}

std::string format_config(const char *header, const std::vector<ConfigRow> &rows,
                          const ConfigSettings &settings) {
    ConfigText text(header);
    for (const ConfigRow &row : rows)
        text.add_row(row.description.c_str(), row.command.c_str(), row.is_default);
    return text.finish(settings);
}
