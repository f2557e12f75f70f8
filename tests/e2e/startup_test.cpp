// SPDX-License-Identifier: GPL-2.0-or-later
#include "e2e/e2e_fixture.h"

namespace {

// With no entry loaded the program asks its first-start question before
// showing the window; these tests start with one entry and no countdown.
class StartupE2e : public QuorvaneE2e {
  protected:
    void SetUp() override {
        QuorvaneE2e::SetUp();
        write_config({"Fake=fake-wm"}, 0, 0);
    }
};

TEST_F(StartupE2e, WindowMapsWithItsTitle) {
    start();
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    int x, y, width, height;
    this->x().geometry(window, &x, &y, &width, &height);
    EXPECT_GE(width, 150);
    EXPECT_GE(height, 150);
    this->x().close_window(window);
    EXPECT_EQ(exit_code(), 0);
}

// Quitting in each of its ways is covered by quit_test.cpp.

// Started with standard descriptors closed ("exec quorvane 2>&-"), the
// program warns of the missing file first thing; that warning must not go
// to the display's connection, which would then take the closed number.
class ClosedDescriptorsE2e : public QuorvaneE2e,
                             public ::testing::WithParamInterface<const char *> {};

TEST_P(ClosedDescriptorsE2e, AFirstStartStillAsksAndQuits) {
    run_through({"/bin/sh", "-c", std::string("exec \"$@\" ") + GetParam(), "sh"});
    start();
    const Window question = wait_for_dialog();
    ASSERT_NE(question, 0u) << "no question: the program hangs";
    ASSERT_TRUE(x().wait_for_focus(question));
    x().key("n", {"Alt_L"});
    const Window window = main_window();
    ASSERT_NE(window, 0u);
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0);
}

std::string closed_name(const ::testing::TestParamInfo<const char *> &info) {
    const char *const names[] = {"Error", "All"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(Closed, ClosedDescriptorsE2e, ::testing::Values("2>&-", "0<&- 1>&- 2>&-"),
                         closed_name);

} // namespace
