// SPDX-License-Identifier: GPL-2.0-or-later
// What an end-to-end test does to the program's windows: find them, press
// keys and buttons through XTEST, and close them as a window manager would.
// It never gives a window the keyboard: with no window manager, the keys go
// where the program's own focus sends them, or, while it has asked for none,
// to the window under the pointer, which a test parks away from them all.
#pragma once

#include <chrono>
#include <string>
#include <vector>

// Xlib's own header defines macros (None, Bool, Status) that clash with
// GoogleTest, so tests see only these two names.
struct _XDisplay;
using Display = _XDisplay;
using Window = unsigned long;

// Asks the window to close, as a window manager's close button does.
void ask_to_close(Display *dpy, Window window);
// The children of the root window, mapped or not.
std::vector<Window> top_level_windows(Display *dpy);

class XClient {
  public:
    explicit XClient(const std::string &display);
    ~XClient();
    XClient(const XClient &) = delete;
    XClient &operator=(const XClient &) = delete;

    Display *display() const { return dpy_; }

    // Top-level windows (children of the root) with the given title, mapped or not.
    std::vector<Window> windows_titled(const std::string &title);
    // Mapped top-level windows of the given _NET_WM_WINDOW_TYPE suffix ("DIALOG").
    std::vector<Window> mapped_windows_of_type(const std::string &type);
    std::string title(Window window);
    bool is_viewable(Window window);
    // Waits until a window with the title is viewable; returns it, or 0.
    Window wait_for_viewable(const std::string &title,
                             std::chrono::milliseconds limit = std::chrono::seconds(15));

    // Position and size of a window relative to the root.
    void geometry(Window window, int *x, int *y, int *width, int *height);
    // Puts the pointer in a corner of the screen that no mapped window
    // covers, as a real start-up may leave it; throws when every corner is
    // covered.
    void park_pointer();
    // Whether the window, or a window inside it, has the keyboard focus.
    bool has_focus(Window window);
    // Parks the pointer, then waits until the program has given the window
    // the keyboard focus, so that keys typed next go there by the program's
    // doing alone.
    bool wait_for_focus(Window window, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Presses and releases a key, holding the modifier keysyms given.
    void key(const std::string &keysym, const std::vector<std::string> &modifiers = {});
    // Presses a key and lets it go this long after, as a person's finger
    // does: the X server holds the release back, the test does not wait.
    void key_held(const std::string &keysym, std::chrono::milliseconds hold);
    void move_pointer(int x, int y);
    void click(int button, int count = 1);
    // Presses or releases a button alone, for a drag.
    void press(int button);
    void release(int button);
    // Puts these X resources (the text xrdb loads) on the screen, as a
    // person's ~/.Xresources would be before the program starts.
    void set_resources(const std::string &resources);
    // Sends WM_DELETE_WINDOW, as a window manager's close button does.
    void close_window(Window window);
    void sync();

  private:
    Display *dpy_ = nullptr;
};
