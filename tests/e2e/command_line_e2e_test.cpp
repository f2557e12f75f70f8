// SPDX-License-Identifier: GPL-2.0-or-later
// The options as a user types them: what the real program prints, how it ends,
// and which configuration file it reads and writes.
#include "app/version.h"
#include "e2e/e2e_fixture.h"
#include "support/wait.h"
#include "wmlist/config_texts.h"

#include <set>
#include <string>
#include <vector>

namespace {

const std::string BANNER = "quorvane " QUORVANE_VERSION " https://quorvane.org/\n"
                           "Copyright (C) 2026 The quorvane developers\n";
const std::string USAGE = BANNER + "\n"
                                   "usage: quorvane [OPTIONS]\n"
                                   "  -h, --help\t\t\tprints this message\n"
                                   "  -v, --version\t\t\tprints version information\n"
                                   "  -d, --DontSaveOnExit\t\tdon't save the config on exit\n"
                                   "  -c, --config <filename>\tselect the config file\n";
const std::string NO_SAVE = "don't save the config on exit\n";

// Not in the layout the program writes, so any save shows in the bytes.
const std::string HAND_WRITTEN = "# written by hand\nChosen=fake-wm\ndelay:0\n";

std::string replace_all(std::string text, const std::string &from, const std::string &to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class CommandLineE2e : public QuorvaneE2e {
  protected:
    // Answers the first-start question, if the program asks it, by closing it,
    // then closes the main window; false when the window never showed.
    bool close_program() {
        std::set<Window> closed;
        Window window = 0;
        wait_for(
            [&] {
                for (Window dialog : x().mapped_windows_of_type("DIALOG"))
                    if (closed.insert(dialog).second)
                        x().close_window(dialog);
                for (Window candidate : x().windows_titled(MAIN_TITLE))
                    if (x().is_viewable(candidate))
                        window = candidate;
                return window != 0;
            },
            std::chrono::seconds(15));
        if (window == 0)
            return false;
        x().close_window(window);
        return true;
    }

    std::vector<std::string> expand(const std::vector<std::string> &args) {
        std::vector<std::string> result;
        for (const auto &arg : args)
            result.push_back(expand(arg));
        return result;
    }
    std::string expand(const std::string &text) {
        std::string result = replace_all(text, "@DISPLAY@", xvfb_->display());
        result = replace_all(result, "@FILE@", path_of("chosen.rc"));
        return replace_all(result, "@OTHER@", path_of("other.rc"));
    }
};

// How a run ends: printing and exiting inside the parser, or going on to the
// main window, which the test then closes.
enum class Ends { IN_PARSER, BY_CLOSING };

struct OutputCase {
    const char *name;
    std::vector<std::string> args;
    std::string out;
    int status;
    Ends ends;
    // What getopt's complaint on standard error must contain; empty: no complaint.
    const char *complaint;
};

const OutputCase OUTPUT_CASES[] = {
    {"ShortHelp", {"-h"}, USAGE, 0, Ends::IN_PARSER, ""},
    {"LongHelp", {"--help"}, USAGE, 0, Ends::IN_PARSER, ""},
    {"ShortenedHelp", {"--he"}, USAGE, 0, Ends::IN_PARSER, ""},
    {"ShortVersion", {"-v"}, BANNER, 0, Ends::IN_PARSER, ""},
    {"LongVersion", {"--version"}, BANNER, 0, Ends::IN_PARSER, ""},
    {"GroupedDThenV", {"-dv"}, NO_SAVE + BANNER, 0, Ends::IN_PARSER, ""},
    {"GroupedVStopsBeforeD", {"-vd"}, BANNER, 0, Ends::IN_PARSER, ""},
    {"OptionsBeforeHelpAct", {"-d", "-h"}, NO_SAVE + USAGE, 0, Ends::IN_PARSER, ""},
    {"OptionsAfterHelpUnread", {"-h", "-x", "-c"}, USAGE, 0, Ends::IN_PARSER, ""},
    {"ConfigTwice",
     {"-c", "first.rc", "--config=second.rc", "-v"},
     "using first.rc\nusing second.rc\n" + BANNER,
     0,
     Ends::IN_PARSER,
     ""},
    {"ConfigTakesNextOption", {"-c", "-d", "-v"}, "using -d\n" + BANNER, 0, Ends::IN_PARSER, ""},
    {"ConfigGroupedAfterD",
     {"-dcsome.rc", "-v"},
     NO_SAVE + "using some.rc\n" + BANNER,
     0,
     Ends::IN_PARSER,
     ""},
    {"EmptyConfigName", {"-c", "", "-v"}, "using \n" + BANNER, 0, Ends::IN_PARSER, ""},
    {"OptionAfterPlainArgument", {"plain", "-v"}, BANNER, 0, Ends::IN_PARSER, ""},
    {"DoubleDashEndsOptions", {"--", "-v", "-x"}, "", 0, Ends::BY_CLOSING, ""},
    {"NoSavingGoesOn", {"-d", "plain"}, NO_SAVE, 0, Ends::BY_CLOSING, ""},
    {"ShortenedNoSaving", {"--Dont"}, NO_SAVE, 0, Ends::BY_CLOSING, ""},
    {"LowerCaseLongName", {"--dontsaveonexit"}, USAGE, 1, Ends::IN_PARSER, "--dontsaveonexit"},
    {"UnknownShort", {"-x"}, USAGE, 1, Ends::IN_PARSER, "'x'"},
    {"UnknownLong", {"--bogus"}, USAGE, 1, Ends::IN_PARSER, "--bogus"},
    {"ShortConfigWithoutName", {"-c"}, USAGE, 1, Ends::IN_PARSER, "'c'"},
    {"LongConfigWithoutName", {"--config"}, USAGE, 1, Ends::IN_PARSER, "--config"},
    {"ArgumentToHelp", {"--help=x"}, USAGE, 1, Ends::IN_PARSER, "--help"},
    {"ArgumentToNoSaving", {"--DontSaveOnExit=1"}, USAGE, 1, Ends::IN_PARSER, "--DontSaveOnExit"},
    {"ErrorBeforeVersion", {"-x", "-v"}, USAGE, 1, Ends::IN_PARSER, "'x'"},
    {"OptionsBeforeErrorAct", {"-d", "-x"}, NO_SAVE + USAGE, 1, Ends::IN_PARSER, "'x'"},
    {"ToolkitDisplayTaken", {"--display", "@DISPLAY@", "-v"}, BANNER, 0, Ends::IN_PARSER, ""},
    {"ToolkitDisplayWithEquals", {"--display=@DISPLAY@", "-h"}, USAGE, 0, Ends::IN_PARSER, ""},
    {"ToolkitOptionsTaken",
     {"--sync", "--name", "chooser", "--class", "Chooser", "--g-fatal-warnings", "-v"},
     BANNER,
     0,
     Ends::IN_PARSER,
     ""},
    {"ToolkitOptionsAloneGoOn", {"--display", "@DISPLAY@", "--sync"}, "", 0, Ends::BY_CLOSING, ""},
};

void PrintTo(const OutputCase &c, std::ostream *os) {
    *os << c.name;
}

class CommandLineOutput : public CommandLineE2e,
                          public ::testing::WithParamInterface<OutputCase> {};

TEST_P(CommandLineOutput, PrintsAndEndsAsGiven) {
    const OutputCase &c = GetParam();
    if (c.ends == Ends::BY_CLOSING)
        write_config({"Fake=fake-wm"}, 0, 0);
    start(expand(c.args));
    if (c.ends == Ends::BY_CLOSING) {
        ASSERT_TRUE(close_program()) << err();
    }
    EXPECT_EQ(exit_code(), c.status) << err();
    EXPECT_EQ(out(), c.out);
    const std::string complaints = err();
    if (*c.complaint != '\0') {
        EXPECT_NE(complaints.find(c.complaint), std::string::npos) << complaints;
    } else {
        EXPECT_EQ(complaints.find("option"), std::string::npos) << complaints;
    }
}

INSTANTIATE_TEST_SUITE_P(Options, CommandLineOutput, ::testing::ValuesIn(OUTPUT_CASES),
                         [](const auto &test) { return std::string(test.param.name); });

// On a console, with no display to open, the options that end in the parser
// print and end just the same.
TEST_F(CommandLineE2e, OptionsThatEndInTheParserNeedNoDisplay) {
    leave_out_of_env("DISPLAY");
    for (const OutputCase &c : OUTPUT_CASES) {
        if (c.ends != Ends::IN_PARSER)
            continue;
        SCOPED_TRACE(c.name);
        start(expand(c.args));
        EXPECT_EQ(exit_code(), c.status) << err();
        EXPECT_EQ(out(), c.out);
        EXPECT_EQ(err().find("cannot open display"), std::string::npos) << err();
    }
}

// The others go on to the display, and end there when there is none.
TEST_F(CommandLineE2e, OptionsThatGoOnStillNeedADisplay) {
    leave_out_of_env("DISPLAY");
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{}, std::vector<std::string>{"-d"}}) {
        start(args);
        EXPECT_EQ(exit_code(), 1) << err();
        EXPECT_NE(err().find("cannot open display"), std::string::npos) << err();
        EXPECT_EQ(out(), args.empty() ? "" : NO_SAVE);
    }
    EXPECT_FALSE(file_exists(config_path()));
}

struct ConfigCase {
    const char *name;
    std::vector<std::string> args;
    const char *out;
};

// Each names chosen.rc last; other.rc and the home file must stay as they were.
const ConfigCase CONFIG_CASES[] = {
    {"ShortSeparate", {"-c", "@FILE@"}, "using @FILE@\n"},
    {"ShortAttached", {"-c@FILE@"}, "using @FILE@\n"},
    {"LongSeparate", {"--config", "@FILE@"}, "using @FILE@\n"},
    {"LongWithEquals", {"--config=@FILE@"}, "using @FILE@\n"},
    {"LongShortened", {"--conf", "@FILE@"}, "using @FILE@\n"},
    {"LastOfTwo", {"-c", "@OTHER@", "-c", "@FILE@"}, "using @OTHER@\nusing @FILE@\n"},
    {"AfterPlainArgument", {"plain", "-c", "@FILE@"}, "using @FILE@\n"},
};

void PrintTo(const ConfigCase &c, std::ostream *os) {
    *os << c.name;
}

class ConfigOption : public CommandLineE2e, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(ConfigOption, ReadsAndWritesTheNamedFile) {
    const ConfigCase &c = GetParam();
    const std::string chosen = path_of("chosen.rc");
    const std::string other = "# other file\nOther=other-wm\ndelay:0\n";
    write_file(chosen, HAND_WRITTEN);
    write_file(path_of("other.rc"), other);
    write_config({"Home=home-wm"}, 0, 0);
    const std::string home_bytes = read_file(config_path());

    start(expand(c.args));
    ASSERT_TRUE(close_program()) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(out(), expand(c.out));
    // Rewritten from what was read out of it, in the program's own layout.
    const std::string saved = read_file(chosen);
    EXPECT_NE(saved.find("\nChosen=fake-wm\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\ndelay:0.000000\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("written by hand"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("Home="), std::string::npos) << saved;
    EXPECT_EQ(saved.find("Other="), std::string::npos) << saved;
    EXPECT_EQ(read_file(path_of("other.rc")), other);
    EXPECT_EQ(read_file(config_path()), home_bytes);
    EXPECT_EQ(err().find(READ_WARNING), std::string::npos) << err();
    EXPECT_EQ(err().find(WRITE_WARNING), std::string::npos) << err();
}

INSTANTIATE_TEST_SUITE_P(Forms, ConfigOption, ::testing::ValuesIn(CONFIG_CASES),
                         [](const auto &test) { return std::string(test.param.name); });

TEST_F(CommandLineE2e, EmptyConfigNameIsNeitherReadNorWritten) {
    write_file(config_path(), HAND_WRITTEN);
    start({"-c", ""});
    ASSERT_TRUE(close_program()) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(out(), "using \n");
    EXPECT_EQ(count_of(err(), READ_WARNING), 1u) << err();
    EXPECT_EQ(count_of(err(), WRITE_WARNING), 1u) << err();
    EXPECT_EQ(read_file(config_path()), HAND_WRITTEN);
}

TEST_F(CommandLineE2e, NoSavingKeepsAnExistingFileOnQuit) {
    write_file(config_path(), HAND_WRITTEN);
    start({"-d"});
    ASSERT_TRUE(close_program()) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(out(), NO_SAVE);
    EXPECT_EQ(read_file(config_path()), HAND_WRITTEN);
}

TEST_F(CommandLineE2e, NoSavingLeavesAMissingFileMissing) {
    start({"--DontSaveOnExit"});
    ASSERT_TRUE(close_program()) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(out(), NO_SAVE);
    EXPECT_FALSE(file_exists(config_path()));
}

TEST_F(CommandLineE2e, NoSavingKeepsTheNamedFileOnLaunch) {
    install_fake_wm("fake-wm");
    const std::string chosen = path_of("chosen.rc");
    write_file(chosen, HAND_WRITTEN);
    start({"-d", "-c", chosen});
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    ASSERT_TRUE(x().wait_for_focus(window));
    x().key("Return");
    // The program has become the window manager, which then ends by itself.
    EXPECT_TRUE(wait_for([&] { return wm_log().find("started") != std::string::npos; })) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(out(), NO_SAVE + "using " + chosen + "\n");
    EXPECT_EQ(read_file(chosen), HAND_WRITTEN);
    EXPECT_FALSE(file_exists(config_path()));
}

} // namespace
