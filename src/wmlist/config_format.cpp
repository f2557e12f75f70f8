// SPDX-License-Identifier: GPL-2.0-or-later
#include "wmlist/config_format.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

struct FreeLine {
    void operator()(char *line) const { free(line); }
};

// The reader takes each line as text, up to its first NUL; a line that holds
// one, or a file that opens as UTF-16, is not text that it can take whole.
bool is_whole_text(const char *line, size_t length, bool first) {
    if (memchr(line, '\0', length) != nullptr)
        return false;
    const bool utf16_mark = length >= 2 && ((line[0] == '\xff' && line[1] == '\xfe') ||
                                            (line[0] == '\xfe' && line[1] == '\xff'));
    return !(first && utf16_mark);
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
void append_blanking_separators(std::string *text, const char *part) {
    for (const char *c = part; *c != '\0'; ++c)
        *text += *c == ':' || *c == '=' || *c == '\n' ? ' ' : *c;
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

const char *effective_header(const char *header) {
    return is_comment_block(header) ? header : CONFIG_HEADER;
}

std::string settings_text(const ConfigSettings &settings, int default_position) {
    GCharPtr text(g_strdup_printf("delay:%f\nrestart_quorvane:%d\ndefault_wm:%d\ngoback_btn:%d\n",
                                  settings.delay, settings.restart, default_position,
                                  settings.goback_btn));
    return text.get();
}

} // namespace

int read_config_stream(FILE *stream, const EntrySink &add_entry, ConfigSettings *settings,
                       WrittenForm *form) {
    std::unique_ptr<char, FreeLine> buffer;
    size_t capacity = 0;
    int error = 0;
    for (bool first = true;; first = false) {
        char *line = buffer.release();
        errno = 0;
        const ssize_t got = getline(&line, &capacity, stream);
        buffer.reset(line);
        if (got < 0) {
            if (ferror(stream) && error == 0)
                error = errno != 0 ? errno : EIO;
            break;
        }
        const auto length = static_cast<size_t>(got);
        // Lines go on after a NUL, each read for what it holds before one, so
        // that none is glued to the next; the caller learns the file was not
        // taken whole.
        if (!is_whole_text(line, length, first) && error == 0)
            error = EILSEQ;
        if (form != nullptr)
            form->add_line(line, length);
        if (line[0] == '#')
            continue;
        // A line with both characters is a setting and an entry at once.
        if (strchr(line, ':') != nullptr)
            read_setting(line, settings);
        if (strchr(line, '=') != nullptr)
            read_entry(line, add_entry);
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

ConfigText::ConfigText(const char *header) : text_(effective_header(header)) {}

void ConfigText::add_row(const char *description, const char *command, bool is_default) {
    // A blank in front keeps the entry from reading back as a comment.
    if (description[0] == '#')
        text_ += ' ';
    append_blanking_separators(&text_, description);
    text_ += '=';
    append_blanking_separators(&text_, command);
    text_ += '\n';
    if (is_default)
        default_position_ = position_;
    ++position_;
}

std::string ConfigText::finish(const ConfigSettings &settings) {
    text_ += settings_text(settings, default_position_);
    return std::move(text_);
}

WrittenForm::WrittenForm(const char *header) : header_(effective_header(header)) {}

void WrittenForm::add_line(const char *line, size_t length) {
    bytes_ += length;
    // Looked at in place: every entry line passes here before the window shows.
    const std::string_view text(line, length);
    // The reader takes a line only up to a NUL, so such a file is never the writer's.
    if (text.find('\0') != std::string_view::npos)
        part_ = Part::Broken;
    switch (part_) {
    case Part::Header:
        if (header_.compare(header_seen_, length, text) != 0) {
            part_ = Part::Broken;
        } else if ((header_seen_ += length) == header_.size()) {
            part_ = Part::Entries;
        }
        return;
    case Part::Entries:
        // As the writer forms it: one "=", no ":", a line end right after the
        // command, which the reader would otherwise have trimmed.
        if (text.find(':') == std::string_view::npos) {
            const bool written = text[0] != '#' && text.back() == '\n' && text.size() >= 2 &&
                                 !g_ascii_isspace(text[text.size() - 2]) &&
                                 std::count(text.begin(), text.end(), '=') == 1;
            if (!written)
                part_ = Part::Broken;
            return;
        }
        part_ = Part::Settings;
        break;
    case Part::Settings:
        break;
    case Part::Broken:
        return;
    }
    settings_lines_.emplace_back(text);
}

bool WrittenForm::holds(const ConfigSettings &settings, int default_position,
                        size_t file_size) const {
    if ((part_ != Part::Settings && part_ != Part::Entries) || bytes_ != file_size)
        return false;
    std::string lines;
    for (const std::string &line : settings_lines_)
        lines += line;
    return lines == settings_text(settings, default_position);
}

std::string format_config(const char *header, const std::vector<ConfigRow> &rows,
                          const ConfigSettings &settings) {
    ConfigText text(header);
    for (const ConfigRow &row : rows)
        text.add_row(row.description.c_str(), row.command.c_str(), row.is_default);
    return text.finish(settings);
}
