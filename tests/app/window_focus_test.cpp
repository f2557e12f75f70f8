// SPDX-License-Identifier: GPL-2.0-or-later
// The windows take the keyboard themselves, with no window manager and the
// pointer parked in a corner that no window covers: keys typed through XTEST
// reach the window shown last, and the one it came from once it has gone.
#include "app/window_focus.h"

#include "support/gtk_pump.h"

#include <gtest/gtest.h>
// After GoogleTest: Xlib's macros clash with its names.
#include <X11/extensions/XTest.h>
#include <gdk/gdkkeysyms.h>
#include <gdk/gdkx.h>

#include <string>

namespace {

Display *x_display() {
    return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

// The bottom right corner; the windows stay in the top left.
void park_pointer() {
    Display *dpy = x_display();
    const int screen = DefaultScreen(dpy);
    XTestFakeMotionEvent(dpy, screen, DisplayWidth(dpy, screen) - 1, DisplayHeight(dpy, screen) - 1,
                         CurrentTime);
    XSync(dpy, False);
}

void type_letter(KeySym letter) {
    Display *dpy = x_display();
    const KeyCode code = XKeysymToKeycode(dpy, letter);
    XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy, code, False, CurrentTime);
    XSync(dpy, False);
}

// A window of two entries, the second to take the keys.
struct TwoEntries {
    GtkWidget *window;
    GtkWidget *first;
    GtkWidget *second;
};

TwoEntries make_window(int x) {
    TwoEntries made{};
    made.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_move(GTK_WINDOW(made.window), x, 40);
    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(made.window), box);
    made.first = gtk_entry_new();
    made.second = gtk_entry_new();
    gtk_box_pack_start(GTK_BOX(box), made.first, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), made.second, FALSE, FALSE, 0);
    gtk_widget_show_all(box);
    return made;
}

bool has_x_focus(GtkWidget *window) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(x_display(), &focus, &revert);
    return gtk_widget_get_window(window) != nullptr &&
           focus == GDK_WINDOW_XID(gtk_widget_get_window(window));
}

// Types a letter and waits for it to show in the entry.
bool letter_reaches(GtkWidget *entry, KeySym letter) {
    const std::string before = gtk_entry_get_text(GTK_ENTRY(entry));
    type_letter(letter);
    return pump_until(
        [&] { return gtk_entry_get_text(GTK_ENTRY(entry)) == before + static_cast<char>(letter); });
}

class WindowFocus : public ::testing::Test {
  protected:
    void SetUp() override { park_pointer(); }
    void TearDown() override {
        for (GtkWidget *window : {a_.window, b_.window})
            if (window != nullptr)
                gtk_widget_destroy(window);
        pump_events();
    }

    TwoEntries a_{};
    TwoEntries b_{};
};

TEST_F(WindowFocus, AWindowTakesTheKeyboardWhenItAppearsWithTheFocusWidgetGiven) {
    a_ = make_window(40);
    show_with_focus(a_.window, a_.second);
    ASSERT_TRUE(pump_until([&] { return has_x_focus(a_.window); }));
    EXPECT_TRUE(letter_reaches(a_.second, XK_a));
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(a_.first)), "");
}

// Hidden or destroyed, the newer window gives the keyboard back to the older
// one, to the focus widget it was shown with.
class GiveBack : public WindowFocus, public ::testing::WithParamInterface<bool> {};

TEST_P(GiveBack, TheWindowItCameFromTakesTheKeyboardBack) {
    const bool destroy = GetParam();
    a_ = make_window(40);
    show_with_focus(a_.window, a_.second);
    ASSERT_TRUE(pump_until([&] { return has_x_focus(a_.window); }));
    gtk_widget_grab_focus(a_.first);
    b_ = make_window(400);
    show_with_focus(b_.window, nullptr);
    ASSERT_TRUE(pump_until([&] { return has_x_focus(b_.window); }));
    EXPECT_TRUE(letter_reaches(b_.first, XK_b));

    if (destroy) {
        gtk_widget_destroy(b_.window);
        b_.window = nullptr;
    } else {
        gtk_widget_hide(b_.window);
    }
    ASSERT_TRUE(pump_until([&] { return has_x_focus(a_.window); }));
    EXPECT_TRUE(letter_reaches(a_.second, XK_c));
}

INSTANTIATE_TEST_SUITE_P(Ways, GiveBack, ::testing::Values(false, true), [](const auto &test) {
    return std::string(test.param ? "Destroyed" : "Hidden");
});

// Shown one right after the other, the older window reaches the screen first
// but must not take the keyboard from the newer one.
TEST_F(WindowFocus, TheNewestWindowKeepsTheKeyboardWhateverMapsLast) {
    a_ = make_window(40);
    b_ = make_window(400);
    show_with_focus(a_.window, nullptr);
    show_with_focus(b_.window, nullptr);
    ASSERT_TRUE(pump_until([&] { return has_x_focus(b_.window); }));
    EXPECT_TRUE(letter_reaches(b_.first, XK_d));
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(a_.first)), "");
}

// A window hidden and shown again, as the main window is around a window
// manager run as a child, takes the keyboard again.
TEST_F(WindowFocus, AWindowShownAgainTakesTheKeyboardAgain) {
    a_ = make_window(40);
    show_with_focus(a_.window, a_.second);
    ASSERT_TRUE(pump_until([&] { return has_x_focus(a_.window); }));
    gtk_widget_hide(a_.window);
    ASSERT_TRUE(pump_until([&] { return !has_x_focus(a_.window); }));
    pump_events();
    show_with_focus(a_.window, a_.second);
    ASSERT_TRUE(pump_until([&] { return has_x_focus(a_.window); }));
    EXPECT_TRUE(letter_reaches(a_.second, XK_e));
}

} // namespace
