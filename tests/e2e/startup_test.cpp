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

} // namespace
