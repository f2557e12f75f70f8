// SPDX-License-Identifier: GPL-2.0-or-later
// What each option makes of the state for start-up to go on with, and how
// help, version and a wrong option end the process. One row for each thing
// the program decides; how getopt_long spells options (grouped letters,
// shortened names, "--") is the C library's.
#include "app/command_line.h"

#include "app/usage_texts.h"
#include "support/temp_dir.h"

#include <getopt.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

#define DEFAULT_PATH "/home/user/.quorvanerc"

// Parses a new command line in this process, as start-up does.
void parse(const std::vector<std::string> &options, AppState *state) {
    std::vector<std::string> args = {"quorvane"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    optind = 0;
    parse_command_line(static_cast<int>(args.size()), argv.data(), state);
}

struct StateCase {
    const char *name;
    std::vector<std::string> args;
    const char *out;
    const char *config_path;
    int save_on_exit;
};

const StateCase STATE_CASES[] = {
    {"NoOptions", {}, "", DEFAULT_PATH, 1},
    {"PlainArgumentsIgnored", {"foo", "bar"}, "", DEFAULT_PATH, 1},
    {"NoSaving", {"-d"}, "don't save the config on exit\n", DEFAULT_PATH, 0},
    {"Config", {"-c", "/tmp/a"}, "using /tmp/a\n", "/tmp/a", 1},
    {"LongNames",
     {"--DontSaveOnExit", "--config", "/tmp/a"},
     "don't save the config on exit\nusing /tmp/a\n",
     "/tmp/a",
     0},
    {"ActsInOrderAndTheLastConfigWins",
     {"-c", "/tmp/a", "-d", "-c", "/tmp/b"},
     "using /tmp/a\ndon't save the config on exit\nusing /tmp/b\n",
     "/tmp/b",
     0},
    {"EmptyName", {"-c", ""}, "using \n", "", 1},
    {"NameWithPercent", {"-c", "/tmp/100%s"}, "using /tmp/100%s\n", "/tmp/100%s", 1},
};

void PrintTo(const StateCase &c, std::ostream *os) {
    *os << c.name;
}

class CommandLineState : public ::testing::TestWithParam<StateCase> {};

TEST_P(CommandLineState, LeavesPathAndSavingAsGiven) {
    const StateCase &c = GetParam();
    AppState state{};
    state.save_on_exit = 1;
    set_config_path(&state, DEFAULT_PATH);
    ::testing::internal::CaptureStdout();
    parse(c.args, &state);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.out);
    EXPECT_EQ(std::string(state.config_path->str), c.config_path);
    EXPECT_EQ(state.save_on_exit, c.save_on_exit);
}

INSTANTIATE_TEST_SUITE_P(Options, CommandLineState, ::testing::ValuesIn(STATE_CASES),
                         [](const auto &test) { return std::string(test.param.name); });

struct EndCase {
    const char *name;
    std::vector<std::string> args;
    std::string out;
    int status;
    // What getopt's complaint on standard error holds; empty: no complaint.
    const char *complaint;
};

const EndCase END_CASES[] = {
    {"Help", {"-h"}, USAGE, 0, ""},
    {"HelpByName", {"--help"}, USAGE, 0, ""},
    {"Version", {"-v"}, BANNER, 0, ""},
    {"VersionByName", {"--version"}, BANNER, 0, ""},
    {"OptionsBeforeHelpAct", {"-d", "-h"}, NO_SAVE + USAGE, 0, ""},
    {"HelpEndsAtOnce", {"-h", "-x", "-c"}, USAGE, 0, ""},
    {"UnknownOption", {"-x"}, USAGE, 1, "'x'"},
    {"OptionsBeforeAnErrorAct", {"-d", "-x"}, NO_SAVE + USAGE, 1, "'x'"},
    {"AnErrorEndsAtOnce", {"-x", "-v"}, USAGE, 1, "'x'"},
};

void PrintTo(const EndCase &c, std::ostream *os) {
    *os << c.name;
}

class CommandLineEnd : public ::testing::TestWithParam<EndCase> {};

// In a child of the test process, which the option ends.
TEST_P(CommandLineEnd, PrintsAndEndsWithTheStatus) {
    const EndCase &c = GetParam();
    TempDir tmp;
    const std::string printed = tmp.file("stdout");
    AppState state{};
    set_config_path(&state, DEFAULT_PATH);
    EXPECT_EXIT(
        {
            if (freopen(printed.c_str(), "w", stdout) == nullptr)
                _exit(99);
            parse(c.args, &state);
            _exit(98);
        },
        ::testing::ExitedWithCode(c.status), c.complaint);
    EXPECT_EQ(read_file(printed), c.out);
}

INSTANTIATE_TEST_SUITE_P(Options, CommandLineEnd, ::testing::ValuesIn(END_CASES),
                         [](const auto &test) { return std::string(test.param.name); });

} // namespace
