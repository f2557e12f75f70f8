// SPDX-License-Identifier: GPL-2.0-or-later
// The options as a user types them: what the real program prints, how it ends,
// and which configuration file it reads and writes.
#include "app/usage_texts.h"
#include "e2e/e2e_fixture.h"
#include "support/wait.h"
#include "wmlist/config_texts.h"

#include <set>
#include <string>
#include <vector>

namespace {

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
        return replace_all(text, "@DISPLAY@", xvfb_->display());
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
};

// The options through the real program, where start-up reads them: the
// toolkit takes its own first. What each of ours does is the unit tests' table.
const OutputCase OUTPUT_CASES[] = {
    {"ToolkitOptionsTaken",
     {"--display", "@DISPLAY@", "--sync", "--name", "chooser", "--class", "Chooser",
      "--g-fatal-warnings", "-v"},
     BANNER,
     0,
     Ends::IN_PARSER},
    {"ToolkitOptionsAloneGoOn", {"--display", "@DISPLAY@", "--sync"}, "", 0, Ends::BY_CLOSING},
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
    // None of them is an option the parser would complain of.
    EXPECT_EQ(err().find("option"), std::string::npos) << err();
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

// The named file is read and written in the program's own layout; another
// named before it and the home file stay as they were.
TEST_F(CommandLineE2e, ConfigOptionReadsAndWritesTheNamedFile) {
    const std::string chosen = path_of("chosen.rc");
    const std::string other = "# other file\nOther=other-wm\ndelay:0\n";
    write_file(chosen, HAND_WRITTEN);
    write_file(path_of("other.rc"), other);
    write_config({"Home=home-wm"}, 0, 0);
    const std::string home_bytes = read_file(config_path());

    start({"-c", path_of("other.rc"), "--config", chosen});
    ASSERT_TRUE(close_program()) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(out(), "using " + path_of("other.rc") + "\nusing " + chosen + "\n");
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
