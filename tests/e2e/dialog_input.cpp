// SPDX-License-Identifier: GPL-2.0-or-later
#include <X11/Xlib.h>

#include "e2e/dialog_input.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

void type_text(XClient &x, const std::string &text) {
    Display *dpy = x.display();
    const KeyCode shift = XKeysymToKeycode(dpy, XK_Shift_L);
    for (unsigned char c : text) {
        // Printable Latin-1 characters are their own keysyms.
        const KeySym sym = c;
        const KeyCode code = XKeysymToKeycode(dpy, sym);
        if (code == 0)
            throw std::runtime_error(std::string("no key types ") + static_cast<char>(c));
        const bool shifted = XkbKeycodeToKeysym(dpy, code, 0, 0) != sym;
        if (shifted)
            XTestFakeKeyEvent(dpy, shift, True, CurrentTime);
        XTestFakeKeyEvent(dpy, code, True, CurrentTime);
        XTestFakeKeyEvent(dpy, code, False, CurrentTime);
        if (shifted)
            XTestFakeKeyEvent(dpy, shift, False, CurrentTime);
    }
    x.sync();
}

void pointer_position(XClient &x, int *px, int *py) {
    Window root, child;
    int wx, wy;
    unsigned int mask;
    XQueryPointer(x.display(), DefaultRootWindow(x.display()), &root, &child, px, py, &wx, &wy,
                  &mask);
}

int distance_from_placement_at(XClient &x, Window window, int px, int py) {
    int left, top, width, height;
    x.geometry(window, &left, &top, &width, &height);
    Display *dpy = x.display();
    const int screen_width = DisplayWidth(dpy, DefaultScreen(dpy));
    const int screen_height = DisplayHeight(dpy, DefaultScreen(dpy));
    const int want_left = std::clamp(px - width / 2, 0, std::max(0, screen_width - width));
    const int want_top = std::clamp(py - height / 2, 0, std::max(0, screen_height - height));
    return std::max(std::abs(left - want_left), std::abs(top - want_top));
}

int distance_from_screen_centre(XClient &x, Window window) {
    Display *dpy = x.display();
    return distance_from_placement_at(x, window, DisplayWidth(dpy, DefaultScreen(dpy)) / 2,
                                      DisplayHeight(dpy, DefaultScreen(dpy)) / 2);
}
