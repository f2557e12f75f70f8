// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/app_state.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Restores HOME as the test found it.
class ConfigPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char *home = getenv("HOME");
        if (home != nullptr)
            saved_home = home;
    }
    void TearDown() override {
        if (saved_home)
            setenv("HOME", saved_home->c_str(), 1);
        else
            unsetenv("HOME");
    }

    std::string default_path() {
        AppState state{};
        set_default_config_path(&state);
        return state.config_path ? state.config_path->str : "(none)";
    }

    std::optional<std::string> saved_home;
};

TEST_F(ConfigPathTest, HomeFolderFromTheEnvironment) {
    setenv("HOME", "/some/where", 1);
    EXPECT_EQ(default_path(), "/some/where/.quorvanerc");
}

// An empty HOME names no folder: the file would be "/.quorvanerc".
TEST_F(ConfigPathTest, WithoutHomeOrWithAnEmptyOneThePasswordEntryGivesTheFolder) {
    const struct passwd *entry = getpwuid(getuid());
    if (entry == nullptr)
        GTEST_SKIP() << "this user has no password entry";
    const std::string expected = std::string(entry->pw_dir) + "/.quorvanerc";
    unsetenv("HOME");
    EXPECT_EQ(default_path(), expected);
    setenv("HOME", "", 1);
    EXPECT_EQ(default_path(), expected);
}

TEST_F(ConfigPathTest, WithoutHomeOrPasswordEntryTheCurrentFolder) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to run as a user without a password entry";
    uid_t unknown = 54321;
    while (getpwuid(unknown) != nullptr)
        ++unknown;
    unsetenv("HOME");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(unknown) != 0 || setuid(unknown) != 0)
            _exit(2);
        _exit(default_path() == ".quorvanerc" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(ConfigPathTest, ConfigOptionReplacesThePath) {
    setenv("HOME", "/h", 1);
    AppState state{};
    set_default_config_path(&state);
    set_config_path(&state, "other.rc");
    EXPECT_STREQ(state.config_path->str, "other.rc");
}

} // namespace
