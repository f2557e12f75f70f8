// SPDX-License-Identifier: GPL-2.0-or-later
#include "wmlist/config_format.h"

#include "app/glib_ptr.h"
#include "app/message.h"

#include <glib.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct FreeLine {
    void operator()(char *line) const { free(line); }
};

// The reader takes each line as text, up to its first NUL; a line that holds
// one, or a file that opens as UTF-16, is not text that it can take whole.
// Nor is one that ends its lines with a carriage return alone (an old Mac
// editor's): read as one line, its entries would run together.
bool is_whole_text(const char *line, size_t length, bool first) {
    if (memchr(line, '\0', length) != nullptr)
        return false;
    const char *cr = static_cast<const char *>(memchr(line, '\r', length));
    if (cr != nullptr && !(cr + 2 == line + length && cr[1] == '\n'))
        return false;
    const bool utf16_mark = length >= 2 && ((line[0] == '\xff' && line[1] == '\xfe') ||
                                            (line[0] == '\xfe' && line[1] == '\xff'));
    return !(first && utf16_mark);
}

// The delay as written by "%f" under any locale: ".", ",", the Arabic
// decimal separator or the current locale's own mark before the decimals.
double parse_delay(const char *value) {
    // "%f" writes the locale's decimal mark: a file written under one locale
    // must mean the same under another. Besides "." and ",", some write the
    // Arabic decimal separator, U+066B.
    std::string number = value;
    const char *const marks[] = {localeconv()->decimal_point, ",", "\xd9\xab"};
    for (const char *mark : marks) {
        const size_t at = number.find(mark);
        if (mark[0] != '\0' && at != std::string::npos)
            number.replace(at, strlen(mark), ".");
    }
    return g_ascii_strtod(number.c_str(), nullptr);
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
// it, when read back, so they are written as blanks.
constexpr char kBlankedCharacters[] = ":=\n\r";

void append_blanking_separators(std::string *text, const char *part) {
    for (const char *c = part; *c != '\0';) {
        const size_t kept = strcspn(c, kBlankedCharacters);
        text->append(c, kept);
        c += kept;
        if (*c != '\0') {
            *text += ' ';
            ++c;
        }
    }
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
    const GCharPtr text =
        format_message("delay:%f\nrestart_quorvane:%d\ndefault_wm:%d\ngoback_btn:%d\n",
                       settings.delay, settings.restart, default_position, settings.goback_btn);
    return text.get();
}

} // namespace

int read_config_stream(FILE *stream, const EntrySink &add_entry, ConfigSettings *settings,
                       GChecksum *seen) {
    std::unique_ptr<char, FreeLine> buffer;
    size_t capacity = 0;
    int error = 0;
    for (bool first = true;; first = false) {
        char *line = buffer.release();
        errno = 0;
        const ssize_t got = getline(&line, &capacity, stream);
        buffer.reset(line);
        if (got < 0) {
            // getline fails without marking the stream when it runs out of
            // memory: anything short of the end is an error.
            if ((ferror(stream) || !feof(stream)) && error == 0)
                error = errno != 0 ? errno : EIO;
            break;
        }
        const auto length = static_cast<size_t>(got);
        if (seen != nullptr)
            g_checksum_update(seen, reinterpret_cast<const guchar *>(line), got);
        // Lines go on after a NUL, each read for what it holds before one, so
        // that none is glued to the next; the caller learns the file was not
        // taken whole.
        if (!is_whole_text(line, length, first) && error == 0)
            error = EILSEQ;
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

int parse_number(const char *value) {
    const long number = strtol(value, nullptr, 10);
    if (number > INT_MAX)
        return INT_MAX;
    if (number < INT_MIN)
        return INT_MIN;
    return static_cast<int>(number);
}

bool is_storable_command(const char *command) {
    const size_t length = strlen(command);
    return strcspn(command, kBlankedCharacters) == length &&
           (length == 0 || !g_ascii_isspace(command[length - 1]));
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
