// SPDX-License-Identifier: GPL-2.0-or-later
#include "wmlist/config_format.h"

#include "wmlist/config_texts.h"
#include "wmlist/read_entries.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A test name from a case's description: GoogleTest takes letters, digits and "_".
template <typename Case> std::string case_name(const ::testing::TestParamInfo<Case> &param) {
    std::string name = param.param.name;
    for (char &ch : name)
        if (!isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

struct Parsed {
    std::vector<ConfigEntry> entries;
    ConfigSettings settings = defaults();
    bool complete = false;
};

Parsed parse(const std::string &text) {
    Parsed parsed;
    parsed.complete = read_entries(text, &parsed.entries, &parsed.settings) == 0;
    return parsed;
}

std::string entries_text(const std::vector<ConfigEntry> &entries) {
    std::string text;
    for (const ConfigEntry &entry : entries)
        text += "[" + entry.description + "|" + entry.command + "]";
    return text;
}

struct ReadCase {
    const char *name;
    std::string input;
    std::string entries; // "[description|command]" per entry
    double delay;
    int restart;
    const char *default_wm;
    int goback_btn;
};

const std::string kW126(126, 'w');
const std::string kW127(127, 'w');
const std::string kW5000(5000, 'w');

const ReadCase kReadCases[] = {
    {"empty file", "", "", 15.0, 0, "0", 3},
    {"comments only", "#a=b\n#delay:3\n", "", 15.0, 0, "0", 3},
    {"settings only", "delay:2\ngoback_btn:1\n", "", 2.0, 0, "0", 1},
    {"hash after a blank is no comment", " #a=b\n", "[ #a|b]", 15.0, 0, "0", 3},
    {"neither kind of line", "hello\n\n   \n\t\n", "", 15.0, 0, "0", 3},
    {"colon and equals: setting and entry", "delay:5=x\n", "[delay:5|x]", 5.0, 0, "0", 3},
    {"command with a display argument", "xterm=xterm -display :0\n", "[xterm|xterm -display :0]",
     15.0, 0, "0", 3},
    {"key holding two names", "my delay and goback_btn:7\n", "", 7.0, 0, "0", 7},
    {"key holding all four names", "delay restart_quorvane default_wm goback_btn:2\n", "", 2.0, 2,
     "2", 2},
    {"names are case-sensitive", "Delay:4\nRESTART_QUORVANE:1\n", "", 15.0, 0, "0", 3},
    {"delay written with equals", "delay=5\n", "[delay|5]", 15.0, 0, "0", 3},
    {"blanks around equals", " a = b \n", "[ a | b]", 15.0, 0, "0", 3},
    {"further separators belong to the command", "a=b=c:d\n", "[a|b=c:d]", 15.0, 0, "0", 3},
    {"carriage return before the line end", "a=b\r\ndelay:2.5\r\ndefault_wm:2\r\n", "[a|b]", 2.5, 0,
     "2", 3},
    {"last line without newline", "a=b\ntwm=twm", "[a|b][twm|twm]", 15.0, 0, "0", 3},
    {"last setting without newline", "goback_btn:2", "", 15.0, 0, "0", 2},
    {"value keeps its leading blanks", "default_wm:  2  \n", "", 15.0, 0, "  2", 3},
    {"numbers with junk after them", "restart_quorvane: 12abc\ngoback_btn:x\ndelay:  3.5s\n", "",
     3.5, 12, "0", 0},
    {"default_wm kept as text", "default_wm:1junk\n", "", 15.0, 0, "1junk", 3},
    {"value after the first colon only", "delay:1:2\n", "", 1.0, 0, "0", 3},
    {"later setting wins", "delay:1\ndelay:2\nrestart_quorvane:1\nrestart_quorvane:0\n", "", 2.0, 0,
     "0", 3},
    {"empty description and command", "=\n", "[|]", 15.0, 0, "0", 3},
    {"line of 127 bytes", kW126 + "=\n", "[" + kW126 + "|]", 15.0, 0, "0", 3},
    {"line of 128 bytes", kW127 + "=\n", "[" + kW127 + "|]", 15.0, 0, "0", 3},
    {"line of 129 bytes, then another", kW127 + "=a\nb=c\n", "[" + kW127 + "|a][b|c]", 15.0, 0, "0",
     3},
    {"line of several thousand bytes", "x=" + kW5000 + "\n", "[x|" + kW5000 + "]", 15.0, 0, "0", 3},
    {"comment of several thousand bytes", "#" + kW5000 + "=\na=b\n", "[a|b]", 15.0, 0, "0", 3},
};

void PrintTo(const ReadCase &c, std::ostream *os) {
    *os << c.name;
}

class ReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadTest, EntriesAndSettings) {
    const ReadCase &c = GetParam();
    const Parsed parsed = parse(c.input);
    EXPECT_TRUE(parsed.complete);
    EXPECT_EQ(entries_text(parsed.entries), c.entries);
    EXPECT_DOUBLE_EQ(parsed.settings.delay, c.delay);
    EXPECT_EQ(parsed.settings.restart, c.restart);
    EXPECT_EQ(parsed.settings.default_wm, c.default_wm);
    EXPECT_EQ(parsed.settings.goback_btn, c.goback_btn);
}

INSTANTIATE_TEST_SUITE_P(Lines, ReadTest, ::testing::ValuesIn(kReadCases), case_name<ReadCase>);

// A stream that hands out its text once, then fails every read; it gives up
// with an end of file after many reads so a loop that ignores errors ends.
struct FailingSource {
    std::string text;
    bool served = false;
    int failed_reads = 0;
};

ssize_t read_then_fail(void *cookie, char *buffer, size_t size) {
    auto *source = static_cast<FailingSource *>(cookie);
    if (!source->served) {
        source->served = true;
        const size_t n = std::min(size, source->text.size());
        memcpy(buffer, source->text.data(), n);
        return static_cast<ssize_t>(n);
    }
    if (++source->failed_reads > 1000)
        return 0;
    errno = EIO;
    return -1;
}

TEST(ReadErrorTest, EndsReadingAndKeepsWhatWasRead) {
    FailingSource source{"a=b\ndelay:3\nc=d\n"};
    cookie_io_functions_t functions{read_then_fail, nullptr, nullptr, nullptr};
    FILE *stream = fopencookie(&source, "r", functions);
    ASSERT_NE(stream, nullptr);
    std::vector<ConfigEntry> entries;
    ConfigSettings settings = defaults();
    EXPECT_EQ(read_config_stream(
                  stream,
                  [&entries](const char *description, const char *command) {
                      entries.push_back(ConfigEntry{description, command});
                  },
                  &settings),
              EIO);
    fclose(stream);
    EXPECT_EQ(entries_text(entries), "[a|b][c|d]");
    EXPECT_DOUBLE_EQ(settings.delay, 3.0);
    EXPECT_LE(source.failed_reads, 2);
}

// Running out of memory for a long line ends reading as a read error does;
// getline leaves the stream unmarked then, which looked like the end.
int getline_failures_after = -1; // lines read before getline fails with ENOMEM; -1: never

} // namespace

// An optimised build reads lines through __getdelim, which getline is
// inlined into; a debug build calls getline.
extern "C" {
ssize_t __real_getdelim(char **line, size_t *capacity, int delimiter, FILE *stream);
ssize_t __wrap_getdelim(char **line, size_t *capacity, int delimiter, FILE *stream) {
    if (getline_failures_after == 0) {
        errno = ENOMEM;
        return -1;
    }
    if (getline_failures_after > 0)
        --getline_failures_after;
    return __real_getdelim(line, capacity, delimiter, stream);
}
ssize_t __wrap___getdelim(char **line, size_t *capacity, int delimiter, FILE *stream) {
    return __wrap_getdelim(line, capacity, delimiter, stream);
}
ssize_t __wrap_getline(char **line, size_t *capacity, FILE *stream) {
    return __wrap_getdelim(line, capacity, '\n', stream);
}
}

namespace {

TEST(ReadErrorTest, NoMemoryForALineEndsReadingAsAnError) {
    std::vector<ConfigEntry> entries;
    ConfigSettings settings = defaults();
    getline_failures_after = 2;
    const int result =
        read_entries("a=b\ndelay:3\nhuge=line\nc=d\ndefault_wm:1\n", &entries, &settings);
    getline_failures_after = -1;
    EXPECT_EQ(result, ENOMEM);
    EXPECT_EQ(entries_text(entries), "[a|b]");
    EXPECT_DOUBLE_EQ(settings.delay, 3.0);
    EXPECT_EQ(settings.default_wm, "0");
}

// Text the reader cannot take whole line by line: it says so, and still
// takes each line apart from the next, for what it holds before a NUL.
TEST(NotWholeTextTest, IsReportedAndNoLineIsGluedToTheNext) {
    const auto utf16 = [](const std::string &text, bool big_endian) {
        std::string wide = big_endian ? "\xfe\xff" : "\xff\xfe";
        for (const char c : text)
            wide += big_endian ? std::string{'\0', c} : std::string{c, '\0'};
        return wide;
    };
    const struct {
        const char *name;
        std::string text;
        const char *entries;
    } cases[] = {
        {"zero bytes at a line's end",
         "A=a" + std::string(200, '\0') + "\nB=b\nC=c\nD=d\ndefault_wm:2\n",
         "[A|a][B|b][C|c][D|d]"},
        {"a zero byte inside a line", std::string("A=a\0b\nB=b\n", 10), "[A|a][B|b]"},
        {"UTF-16, little-endian", utf16("A=a\nB=b\n", false), ""},
        {"UTF-16, big-endian", utf16("A=a\nB=b\n", true), ""},
        {"UTF-16 mark, no zero byte", "\xff\xfe\x41\x6a=\x42\x6a\n", "[\xff\xfe\x41\x6a|\x42\x6a]"},
        // An old Mac editor's file reads as one line.
        {"carriage returns alone", "A=a\rB=b\rdelay:0.2\r", "[A|a\rB=b\rdelay:0.2]"},
        {"one carriage return alone", "A=a\r\nB\r=b\r\n", "[A|a][B\r|b]"},
        {"a carriage return ending the last line", "A=a\nB=b\r", "[A|a][B|b]"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ConfigEntry> entries;
        ConfigSettings settings = defaults();
        EXPECT_EQ(read_entries(c.text, &entries, &settings), EILSEQ);
        EXPECT_EQ(entries_text(entries), c.entries);
    }
    // Bytes that are merely not UTF-8 are text all the same.
    std::vector<ConfigEntry> entries;
    ConfigSettings settings = defaults();
    EXPECT_EQ(read_entries("Caf\xe9=/opt/wm-caf\xe9\n\xff\xfe=x\n", &entries, &settings), 0);
    EXPECT_EQ(entries_text(entries), "[Caf\xe9|/opt/wm-caf\xe9][\xff\xfe|x]");
}

std::vector<ConfigRow> example_rows() {
    return {{"Window Maker", "/usr/local/bin/wmaker", false},
            {"Fluxbox", "/usr/local/bin/fluxbox", true},
            {"twm", "twm", false}};
}

std::string settings_lines(const char *delay, int restart, int default_wm, int goback_btn) {
    return std::string("delay:") + delay + "\nrestart_quorvane:" + std::to_string(restart) +
           "\ndefault_wm:" + std::to_string(default_wm) +
           "\ngoback_btn:" + std::to_string(goback_btn) + "\n";
}

TEST(FormatTest, ExampleIsWrittenToTheByte) {
    EXPECT_EQ(format_config(HEADER, example_rows(), defaults()), EXAMPLE);
}

TEST(FormatTest, ExampleReadBackWritesTheSameBytes) {
    const Parsed parsed = parse(EXAMPLE);
    std::vector<ConfigRow> rows;
    const int default_index = atoi(parsed.settings.default_wm.c_str());
    for (size_t i = 0; i < parsed.entries.size(); ++i)
        rows.push_back({parsed.entries[i].description, parsed.entries[i].command,
                        static_cast<int>(i) == default_index});
    EXPECT_EQ(format_config(HEADER, rows, parsed.settings), EXAMPLE);
}

TEST(FormatTest, HeaderThatWouldNotReadBackAsCommentsIsNotUsed) {
    const std::string body = settings_lines("15.000000", 0, 0, 3);
    const struct {
        const char *header;
        const char *written;
    } cases[] = {
        {"# Fichier généré.\n# Ne pas modifier\n", "# Fichier généré.\n# Ne pas modifier\n"},
        {"# one line\n", "# one line\n"},
        {"# good\nbad=line\n", HEADER},
        {" # blank first\n", HEADER},
        {"# no line end", HEADER},
        {"", HEADER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.header);
        EXPECT_EQ(format_config(c.header, {}, defaults()), c.written + body);
    }
}

struct FormatCase {
    const char *name;
    std::vector<ConfigRow> rows;
    ConfigSettings settings;
    std::string body; // what follows the header
};

const FormatCase kFormatCases[] = {
    {"empty list", {}, {15.0, 0, "0", 3}, settings_lines("15.000000", 0, 0, 3)},
    {"no row flagged writes 0",
     {{"a", "a", false}, {"b", "b", false}},
     {15.0, 0, "1", 3},
     "a=a\nb=b\n" + settings_lines("15.000000", 0, 0, 3)},
    {"last flagged row wins",
     {{"a", "a", true}, {"b", "b", false}, {"c", "c", true}},
     {15.0, 0, "0", 3},
     "a=a\nb=b\nc=c\n" + settings_lines("15.000000", 0, 2, 3)},
    {"separators written as blanks",
     {{"x:y=z", "xterm -display :0 -e a=b", false}},
     {15.0, 0, "0", 3},
     "x y z=xterm -display  0 -e a b\n" + settings_lines("15.000000", 0, 0, 3)},
    {"settings written as they are", {}, {0.1, 5, "0", 7}, settings_lines("0.100000", 5, 0, 7)},
    {"blanks kept",
     {{" a ", " b ", false}},
     {2.5, 1, "0", 1},
     " a = b \n" + settings_lines("2.500000", 1, 0, 1)},
};

void PrintTo(const FormatCase &c, std::ostream *os) {
    *os << c.name;
}

class FormatCaseTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatCaseTest, Body) {
    const FormatCase &c = GetParam();
    EXPECT_EQ(format_config(HEADER, c.rows, c.settings), HEADER + c.body);
}

INSTANTIATE_TEST_SUITE_P(Rows, FormatCaseTest, ::testing::ValuesIn(kFormatCases),
                         case_name<FormatCase>);

// Sets the numeric locale for as long as it lives; false when it is missing.
class NumericLocale {
  public:
    explicit NumericLocale(const char *name) : saved_(setlocale(LC_NUMERIC, nullptr)) {
        ok_ = setlocale(LC_NUMERIC, name) != nullptr;
    }
    ~NumericLocale() { setlocale(LC_NUMERIC, saved_.c_str()); }
    bool ok() const { return ok_; }

  private:
    std::string saved_;
    bool ok_ = false;
};

constexpr char kGerman[] = "de_DE.UTF-8";
// Writes the Arabic decimal separator, U+066B.
constexpr char kPashto[] = "ps_AF.UTF-8";

struct RoundTrip {
    const char *name;
    ConfigRow row;        // as the list holds it
    double delay;         // as the settings hold it
    const char *write_in; // numeric locale of the run that saves
    const char *read_in;  // numeric locale of the run that reads it back
    const char *line;     // the entry's line as written
    const char *read_back;
};

const RoundTrip kRoundTrips[] = {
    {"description beginning with a hash",
     {"#1 choice", "twm", false},
     15,
     "C",
     "C",
     " #1 choice=twm\n",
     "[ #1 choice|twm]"},
    {"line breaks",
     {"two\nlines\r\n", "wm\r-x\n-y", false},
     15,
     "C",
     "C",
     "two lines  =wm -x -y\n",
     "[two lines  |wm -x -y]"},
    {"German comma read in C", {"a", "a", false}, 2.5, kGerman, "C", "a=a\n", "[a|a]"},
    {"point read in German", {"a", "a", false}, 2.5, "C", kGerman, "a=a\n", "[a|a]"},
    {"German both ways", {"a", "a", false}, 0.25, kGerman, kGerman, "a=a\n", "[a|a]"},
    {"Pashto mark read in C", {"a", "a", false}, 0.5, kPashto, "C", "a=a\n", "[a|a]"},
    {"Pashto mark read in German", {"a", "a", false}, 12.75, kPashto, kGerman, "a=a\n", "[a|a]"},
    {"point read in Pashto", {"a", "a", false}, 0.5, "C", kPashto, "a=a\n", "[a|a]"},
    {"Pashto both ways", {"a", "a", false}, 2.5, kPashto, kPashto, "a=a\n", "[a|a]"},
};

void PrintTo(const RoundTrip &c, std::ostream *os) {
    *os << c.name;
}

class RoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, WhatIsWrittenReadsBackTheSame) {
    const RoundTrip &c = GetParam();
    std::string text;
    {
        NumericLocale locale(c.write_in);
        if (!locale.ok())
            GTEST_SKIP() << "the locale " << c.write_in << " is not generated (scripts/test does)";
        text = format_config(HEADER, {c.row}, {c.delay, 0, "0", 3});
    }
    EXPECT_NE(text.find(std::string("\n") + c.line), std::string::npos) << text;
    NumericLocale locale(c.read_in);
    if (!locale.ok())
        GTEST_SKIP() << "the locale " << c.read_in << " is not generated (scripts/test does)";
    const Parsed parsed = parse(text);
    EXPECT_EQ(entries_text(parsed.entries), c.read_back);
    EXPECT_DOUBLE_EQ(parsed.settings.delay, c.delay) << text;
}

INSTANTIATE_TEST_SUITE_P(Texts, RoundTripTest, ::testing::ValuesIn(kRoundTrips),
                         case_name<RoundTrip>);

// A command is storable exactly when writing it and reading it back gives it
// unchanged: one that came back otherwise would start another program.
TEST(StorableCommandTest, IsWhatReadsBackUnchanged) {
    const struct {
        const char *command;
        bool storable;
    } cases[] = {
        {"twm", true},
        {"/usr/bin/fluxbox", true},
        {"  leading blanks stay", true},
        {"with inner blanks", true},
        {"/opt/wm:1", false},
        {"wm=2", false},
        {"/x/sp ", false},
        {"tab at the end\t", false},
        {"form feed at the end\f", false},
        {"two\nlines", false},
        {"carriage\rreturn", false},
        {"", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(is_storable_command(c.command), c.storable);
        const Parsed parsed = parse(format_config(HEADER, {{"d", c.command, false}}, defaults()));
        ASSERT_EQ(parsed.entries.size(), 1u);
        EXPECT_EQ(parsed.entries[0].command == c.command, c.storable);
    }
}

// The delay is still written as "%f" writes it in the locale of the run.
TEST(DelayMarkTest, IsWrittenWithTheLocalesMark) {
    NumericLocale locale(kPashto);
    if (!locale.ok())
        GTEST_SKIP() << "the locale " << kPashto << " is not generated (scripts/test does)";
    const std::string text = format_config(HEADER, {}, {0.5, 0, "0", 3});
    EXPECT_NE(text.find("\ndelay:0\xd9\xab"
                        "500000\n"),
              std::string::npos)
        << text;
}

// Formatting what was read gives a text that reads back as the same list and
// settings; the writer's own text comes back byte for byte.
struct FormCase {
    const char *name;
    std::string text;
    bool same_text;
};

const std::string kBody = "a=b\nc d=/usr/bin/e -f\n";
const std::string kSettings = "delay:15.000000\nrestart_quorvane:0\ndefault_wm:1\ngoback_btn:3\n";

const FormCase kFormCases[] = {
    {"the writer's own", HEADER + kBody + kSettings, true},
    {"no entries",
     HEADER + std::string("delay:15.000000\nrestart_quorvane:0\ndefault_wm:0\n"
                          "goback_btn:3\n"),
     true},
    {"another header", "# mine\n" + kBody + kSettings, false},
    {"a comment among the entries", HEADER + std::string("#x=y\n") + kBody + kSettings, false},
    {"a blank line", HEADER + kBody + "\n" + kSettings, false},
    {"a blank the reader trims", HEADER + std::string("a=b \n") + kSettings, false},
    {"a carriage return", HEADER + std::string("a=b\r\nc d=e\n") + kSettings, false},
    {"a second equals sign", HEADER + std::string("a=b=c\nc d=e\n") + kSettings, false},
    {"a colon in the command", HEADER + std::string("a=b:c\nc d=e\n") + kSettings, false},
    {"settings in another order",
     HEADER + kBody + "restart_quorvane:0\ndelay:15.000000\ndefault_wm:1\ngoback_btn:3\n", false},
    {"a delay not written with %f",
     HEADER + kBody + "delay:15\nrestart_quorvane:0\ndefault_wm:1\ngoback_btn:3\n", false},
    {"a default beyond the list",
     HEADER + kBody + "delay:15.000000\nrestart_quorvane:0\ndefault_wm:5\ngoback_btn:3\n", false},
    {"no line end at the end", HEADER + kBody + kSettings.substr(0, kSettings.size() - 1), false},
    {"a line after the settings", HEADER + kBody + kSettings + "a=b\n", false},
    {"a NUL the reader drops", HEADER + std::string("a=b\0x\n", 6) + "c d=e\n" + kSettings, false},
};

void PrintTo(const FormCase &c, std::ostream *os) {
    *os << c.name;
}

// Reads the text and forms it again, the default row as loading marks it.
std::string formatted_as_read(const std::string &text, std::vector<ConfigEntry> *entries,
                              ConfigSettings *settings) {
    *settings = defaults();
    entries->clear();
    EXPECT_GE(read_entries(text, entries, settings), 0);
    const int index = parse_number(settings->default_wm.c_str());
    std::vector<ConfigRow> rows;
    for (size_t i = 0; i < entries->size(); ++i)
        rows.push_back(
            {(*entries)[i].description, (*entries)[i].command, static_cast<int>(i) == index});
    return format_config(HEADER, rows, *settings);
}

class FormatAsReadTest : public ::testing::TestWithParam<FormCase> {};

TEST_P(FormatAsReadTest, FormattingWhatWasReadGivesTheSameList) {
    const FormCase &c = GetParam();
    std::vector<ConfigEntry> entries;
    ConfigSettings settings = defaults();
    const std::string text = formatted_as_read(c.text, &entries, &settings);
    EXPECT_EQ(text == c.text, c.same_text) << text;
    std::vector<ConfigEntry> again;
    ConfigSettings settings_again = defaults();
    formatted_as_read(text, &again, &settings_again);
    EXPECT_EQ(entries_text(again), entries_text(as_written(entries)));
    EXPECT_DOUBLE_EQ(settings_again.delay, settings.delay);
    EXPECT_EQ(settings_again.restart, settings.restart);
    EXPECT_EQ(settings_again.goback_btn, settings.goback_btn);
}

INSTANTIATE_TEST_SUITE_P(Texts, FormatAsReadTest, ::testing::ValuesIn(kFormCases),
                         case_name<FormCase>);

} // namespace
