// SPDX-License-Identifier: GPL-2.0-or-later
#include "launch/program_output.h"

#include "support/process.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/warning_capture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Helpers written for each case: shell scripts that note their process ids
// in files of the test's folder.
class ProgramOutputTest : public ::testing::Test {
  protected:
    std::string helper(const std::string &body) {
        const std::string path = tmp.file("helper" + std::to_string(++helpers_));
        write_file(path, "#!/bin/sh\n" + body);
        EXPECT_EQ(chmod(path.c_str(), 0755), 0);
        return path;
    }
    std::string noted(const std::string &name) const { return tmp.file(name); }
    // The process whose id the helper wrote to the file, once it has.
    pid_t noted_pid(const std::string &name) const {
        std::string text;
        EXPECT_TRUE(wait_for([&] { return !(text = read_file(noted(name))).empty(); }));
        return static_cast<pid_t>(std::stol(text));
    }
    // Gone, or ended and waiting to be collected.
    static bool has_ended(pid_t pid) {
        const char state = process_state(pid);
        return state == 'Z' || state == '?';
    }
    // The test process stands in for the program's SIGCHLD reaper, which
    // collects a helper that was given up on.
    static void collect(pid_t helper) {
        int status = 0;
        waitpid(helper, &status, 0);
    }

    TempDir tmp;
    WarningCapture warnings;
    int helpers_ = 0;
};

TEST_F(ProgramOutputTest, GivesWhatASuccessfulProgramWroteAndNothingOtherwise) {
    struct Case {
        const char *name;
        std::string body;
        std::optional<std::string> expected;
    };
    const std::string marker = noted("ran");
    const Case cases[] = {
        {"lines and arguments", "echo one; printf 'two %s|' \"$@\"\n", "one\ntwo -a|two b c|"},
        {"nothing", "exit 0\n", ""},
        {"an empty standard input", "cat; echo read\n", "read\n"},
        {"standard error dropped", "echo out; echo err >&2\n", "out\n"},
        {"a failure", "echo partial; exit 3\n", std::nullopt},
        {"a signal", "echo partial; kill -TERM $$\n", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(read_program_output({helper(c.body), "-a", "b c"}, seconds(30), 1000),
                  c.expected);
    }
    // Named other than by its full path, it is not looked for at all.
    const std::string relative = helper("touch '" + marker + "'; echo ran\n");
    ASSERT_EQ(chdir(tmp.path().c_str()), 0);
    const std::string name = relative.substr(relative.rfind('/') + 1);
    for (const std::string &argv0 : {name, "./" + name, tmp.file("missing")})
        EXPECT_EQ(read_program_output({argv0}, seconds(30), 1000), std::nullopt) << argv0;
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_FALSE(file_exists(marker));
    EXPECT_TRUE(warnings.messages().empty());
}

// The output may fill the limit exactly; a byte more and it is all dropped,
// however much more was coming, and what wrote it is stopped.
TEST_F(ProgramOutputTest, OutputBeyondTheLimitIsDroppedAndTheProgramStopped) {
    EXPECT_EQ(read_program_output({helper("printf 0123456789\n")}, seconds(30), 10), "0123456789");
    EXPECT_EQ(read_program_output({helper("printf 0123456789x\n")}, seconds(30), 10), std::nullopt);
    ASSERT_EQ(warnings.messages().size(), 1u);
    EXPECT_NE(warnings.messages()[0].find("more than 10 bytes"), std::string::npos)
        << warnings.messages()[0];

    warnings.clear();
    const std::string endless = helper("echo $$ >'" + noted("helper") + "'\nexec yes\n");
    EXPECT_EQ(read_program_output({endless}, seconds(30), 64 * 1024), std::nullopt);
    const pid_t pid = noted_pid("helper");
    EXPECT_TRUE(wait_for([&] { return has_ended(pid); }));
    collect(pid);
    ASSERT_EQ(warnings.messages().size(), 1u);
    EXPECT_EQ(warnings.messages()[0],
              "Stopped \"" + endless + "\": it wrote more than 65536 bytes");
}

// A program that does not end in time is killed with all it started, and
// nothing of what it wrote is taken.
TEST_F(ProgramOutputTest, AProgramThatDoesNotFinishInTimeIsKilledWithItsGroup) {
    const std::string hanging = helper("echo $$ >'" + noted("helper") +
                                       "'\necho partial\n"
                                       "sleep 1000 & echo $! >'" +
                                       noted("child") +
                                       "'\n"
                                       "exec >&-\nwhile :; do sleep 1; done\n");
    EXPECT_EQ(read_program_output({hanging}, milliseconds(300), 1000), std::nullopt);
    const pid_t pid = noted_pid("helper");
    const pid_t child = noted_pid("child");
    EXPECT_TRUE(wait_for([&] { return has_ended(pid) && has_ended(child); }));
    collect(pid);
    ASSERT_EQ(warnings.messages().size(), 1u);
    EXPECT_EQ(warnings.messages()[0],
              "Stopped \"" + hanging + "\": it did not finish within 1 second");
}

// Once the program has exited, what it left running in the background may
// hold its output open for ever: what the program wrote is the answer, and
// what it left goes. The limit is one no run of the tests reaches, so that
// waiting on for the output to close would hang the test.
TEST_F(ProgramOutputTest, WhatTheProgramLeftRunningNeitherHoldsTheAnswerNorStays) {
    const std::string leaving =
        helper("sleep 1000 & echo $! >'" + noted("child") + "'\necho answer\n");
    EXPECT_EQ(read_program_output({leaving}, std::chrono::hours(1), 1000), "answer\n");
    const pid_t child = noted_pid("child");
    EXPECT_TRUE(wait_for([&] { return has_ended(child); }));
    EXPECT_TRUE(warnings.messages().empty());
}

} // namespace
