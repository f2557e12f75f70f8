// SPDX-License-Identifier: GPL-2.0-or-later
// Whole numbers in the file read as atoi reads them, except that a number
// beyond int stops at its limit: wrapped around, "default_wm:4294967296"
// would select the first row and "goback_btn:4294967297" would turn
// go-back mode on.
#include "wmlist/config_format.h"

#include "wmlist/read_entries.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

struct NumberCase {
    const char *text;
    int number;
};

class ParseNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ParseNumber, ReadsAsAtoiAndStopsAtTheLimits) {
    EXPECT_EQ(parse_number(GetParam().text), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseNumber,
    ::testing::Values(NumberCase{"42", 42}, NumberCase{" \t+7", 7}, NumberCase{"-3", -3},
                      NumberCase{"12abc", 12}, NumberCase{"abc", 0}, NumberCase{"", 0},
                      NumberCase{"0x10", 0}, NumberCase{"2147483647", INT_MAX},
                      NumberCase{"-2147483648", INT_MIN}, NumberCase{"2147483648", INT_MAX},
                      NumberCase{"4294967296", INT_MAX}, NumberCase{"-4294967297", INT_MIN},
                      NumberCase{"99999999999999999999999", INT_MAX}));

TEST(ReadNumbers, SettingsBeyondIntStopAtItsLimits) {
    std::vector<ConfigEntry> entries;
    ConfigSettings settings{15.0, 0, "0", 3};
    ASSERT_EQ(
        read_entries("restart_quorvane:4294967296\ngoback_btn:4294967297\n", &entries, &settings),
        0);
    EXPECT_EQ(settings.restart, INT_MAX);
    EXPECT_EQ(settings.goback_btn, INT_MAX);
}

} // namespace
