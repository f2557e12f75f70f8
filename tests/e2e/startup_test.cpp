#include "e2e/e2e_fixture.h"

namespace {

class StartupE2e : public QuorvaneE2e {};

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

TEST_F(StartupE2e, QuitMnemonicEndsWithStatusZero) {
    start();
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    x().focus(window);
    x().key("q", {"Alt_L"});
    EXPECT_EQ(exit_code(), 0) << err();
}

TEST_F(StartupE2e, ClickOnQuitEndsWithStatusZero) {
    start();
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    int x, y, width, height;
    this->x().geometry(window, &x, &y, &width, &height);
    // The Quit button fills the left half of the bottom row.
    this->x().move_pointer(x + width / 4, y + height - 18);
    this->x().click(1);
    EXPECT_EQ(exit_code(), 0) << err();
}

TEST_F(StartupE2e, ClosingTheWindowEndsWithStatusZero) {
    start();
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();
}

} // namespace
