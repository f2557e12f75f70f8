// SPDX-License-Identifier: GPL-2.0-or-later
// What the options leave in the state for start-up to go on with; the options
// that end the process are driven through the real binary in the e2e tests.
#include "app/command_line.h"

#include <getopt.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

#define DEFAULT_PATH "/home/user/.quorvanerc"

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
    {"ShortD", {"-d"}, "don't save the config on exit\n", DEFAULT_PATH, 0},
    {"LongD", {"--DontSaveOnExit"}, "don't save the config on exit\n", DEFAULT_PATH, 0},
    {"ShortenedD", {"--Dont"}, "don't save the config on exit\n", DEFAULT_PATH, 0},
    {"ShortCSeparate", {"-c", "/tmp/a"}, "using /tmp/a\n", "/tmp/a", 1},
    {"ShortCAttached", {"-c/tmp/a"}, "using /tmp/a\n", "/tmp/a", 1},
    {"LongCSeparate", {"--config", "/tmp/a"}, "using /tmp/a\n", "/tmp/a", 1},
    {"LongCEquals", {"--config=/tmp/a"}, "using /tmp/a\n", "/tmp/a", 1},
    {"ShortenedC", {"--conf", "/tmp/a"}, "using /tmp/a\n", "/tmp/a", 1},
    {"OneLetterC", {"--c=/tmp/a"}, "using /tmp/a\n", "/tmp/a", 1},
    {"LastCWins", {"-c", "/tmp/a", "-c", "/tmp/b"}, "using /tmp/a\nusing /tmp/b\n", "/tmp/b", 1},
    {"CTakesNextOptionAsName", {"-c", "-d"}, "using -d\n", "-d", 1},
    {"CTakesDashesAsName", {"-c", "--"}, "using --\n", "--", 1},
    {"EmptyName", {"-c", ""}, "using \n", "", 1},
    {"EmptyNameAfterEquals", {"--config="}, "using \n", "", 1},
    {"NameWithPercent", {"-c", "/tmp/100%s"}, "using /tmp/100%s\n", "/tmp/100%s", 1},
    {"GroupedDThenC", {"-dc/tmp/a"}, "don't save the config on exit\nusing /tmp/a\n", "/tmp/a", 0},
    {"InOrderOfAppearance",
     {"-c", "/tmp/a", "-d"},
     "using /tmp/a\ndon't save the config on exit\n",
     "/tmp/a",
     0},
    {"OptionsAfterPlainArguments",
     {"foo", "-d", "bar", "-c", "/tmp/a"},
     "don't save the config on exit\nusing /tmp/a\n",
     "/tmp/a",
     0},
    {"DoubleDashEndsOptions", {"--", "-d", "-c", "/tmp/a"}, "", DEFAULT_PATH, 1},
    {"OptionsBeforeDoubleDashAct",
     {"-d", "--", "-h"},
     "don't save the config on exit\n",
     DEFAULT_PATH,
     0},
    {"LoneDashIsPlain", {"-"}, "", DEFAULT_PATH, 1},
};

void PrintTo(const StateCase &c, std::ostream *os) {
    *os << c.name;
}

class CommandLineState : public ::testing::TestWithParam<StateCase> {};

TEST_P(CommandLineState, LeavesPathAndSavingAsGiven) {
    const StateCase &c = GetParam();
    std::vector<std::string> args = {"quorvane"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    AppState state{};
    state.save_on_exit = 1;
    set_config_path(&state, DEFAULT_PATH);
    // Each case parses a new command line in the same process.
    optind = 0;
    ::testing::internal::CaptureStdout();
    parse_command_line(static_cast<int>(args.size()), argv.data(), &state);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.out);
    EXPECT_EQ(std::string(state.config_path->str), c.config_path);
    EXPECT_EQ(state.save_on_exit, c.save_on_exit);
}

INSTANTIATE_TEST_SUITE_P(Options, CommandLineState, ::testing::ValuesIn(STATE_CASES),
                         [](const auto &test) { return std::string(test.param.name); });

} // namespace
