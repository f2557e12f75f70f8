// SPDX-License-Identifier: GPL-2.0-or-later
#include <X11/Xlib.h>

#include "support/x_client.h"

#include "support/wait.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <stdexcept>
#include <utility>

XClient::XClient(const std::string &display) {
    dpy_ = XOpenDisplay(display.c_str());
    if (dpy_ == nullptr)
        throw std::runtime_error("cannot open display " + display);
    int event_base, error_base, major, minor;
    if (!XTestQueryExtension(dpy_, &event_base, &error_base, &major, &minor))
        throw std::runtime_error("the X server has no XTEST");
}

XClient::~XClient() {
    if (dpy_ != nullptr)
        XCloseDisplay(dpy_);
}

namespace {

// Windows may vanish between listing and asking; such errors are expected.
int ignore_errors(Display *, XErrorEvent *) {
    return 0;
}

std::string atom_property_name(Display *dpy, Window window, const char *property) {
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char *data = nullptr;
    std::string name;
    if (XGetWindowProperty(dpy, window, XInternAtom(dpy, property, False), 0, 1, False, XA_ATOM,
                           &type, &format, &items, &after, &data) == Success &&
        data != nullptr && items > 0) {
        char *text = XGetAtomName(dpy, *reinterpret_cast<Atom *>(data));
        if (text != nullptr) {
            name = text;
            XFree(text);
        }
    }
    if (data != nullptr)
        XFree(data);
    return name;
}

} // namespace

std::string XClient::title(Window window) {
    XSetErrorHandler(ignore_errors);
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char *data = nullptr;
    std::string result;
    if (XGetWindowProperty(dpy_, window, XInternAtom(dpy_, "_NET_WM_NAME", False), 0, 1024, False,
                           XInternAtom(dpy_, "UTF8_STRING", False), &type, &format, &items, &after,
                           &data) == Success &&
        data != nullptr) {
        result.assign(reinterpret_cast<char *>(data), items);
    }
    if (data != nullptr)
        XFree(data);
    if (result.empty()) {
        char *name = nullptr;
        if (XFetchName(dpy_, window, &name) != 0 && name != nullptr) {
            result = name;
            XFree(name);
        }
    }
    return result;
}

std::vector<Window> XClient::windows_titled(const std::string &wanted) {
    std::vector<Window> found;
    for (Window window : top_level_windows(dpy_))
        if (title(window) == wanted)
            found.push_back(window);
    return found;
}

std::vector<Window> XClient::mapped_windows_of_type(const std::string &type) {
    std::vector<Window> found;
    const std::string wanted = "_NET_WM_WINDOW_TYPE_" + type;
    XSetErrorHandler(ignore_errors);
    for (Window window : top_level_windows(dpy_))
        if (is_viewable(window) &&
            atom_property_name(dpy_, window, "_NET_WM_WINDOW_TYPE") == wanted)
            found.push_back(window);
    return found;
}

bool XClient::is_viewable(Window window) {
    XSetErrorHandler(ignore_errors);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(dpy_, window, &attributes) == 0)
        return false;
    return attributes.map_state == IsViewable;
}

Window XClient::wait_for_viewable(const std::string &wanted, std::chrono::milliseconds limit) {
    Window result = 0;
    wait_for(
        [&] {
            for (Window window : windows_titled(wanted))
                if (is_viewable(window)) {
                    result = window;
                    return true;
                }
            return false;
        },
        limit);
    return result;
}

void XClient::geometry(Window window, int *x, int *y, int *width, int *height) {
    XSetErrorHandler(ignore_errors);
    // A window gone meanwhile has no place and no size.
    XWindowAttributes attributes = {};
    XGetWindowAttributes(dpy_, window, &attributes);
    Window child;
    XTranslateCoordinates(dpy_, window, DefaultRootWindow(dpy_), 0, 0, x, y, &child);
    *width = attributes.width;
    *height = attributes.height;
}

void XClient::park_pointer() {
    const int screen = DefaultScreen(dpy_);
    const int right = DisplayWidth(dpy_, screen) - 1;
    const int bottom = DisplayHeight(dpy_, screen) - 1;
    for (auto [cx, cy] :
         {std::pair{right, bottom}, std::pair{0, bottom}, std::pair{right, 0}, std::pair{0, 0}}) {
        bool covered = false;
        for (Window window : top_level_windows(dpy_)) {
            if (!is_viewable(window))
                continue;
            int x, y, width, height;
            geometry(window, &x, &y, &width, &height);
            // A window's border counts: it is the window's too.
            if (cx >= x - 2 && cx < x + width + 2 && cy >= y - 2 && cy < y + height + 2)
                covered = true;
        }
        if (!covered) {
            move_pointer(cx, cy);
            return;
        }
    }
    throw std::runtime_error("every corner of the screen is under a window");
}

bool XClient::has_focus(Window window) {
    XSetErrorHandler(ignore_errors);
    Window focus = 0;
    int revert_to = 0;
    XGetInputFocus(dpy_, &focus, &revert_to);
    const Window root = DefaultRootWindow(dpy_);
    // None and PointerRoot are 0 and 1, never a window.
    while (focus > 1 && focus != root) {
        if (focus == window)
            return true;
        Window root_return, parent;
        Window *children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(dpy_, focus, &root_return, &parent, &children, &count) == 0)
            return false;
        if (children != nullptr)
            XFree(children);
        focus = parent;
    }
    return false;
}

bool XClient::wait_for_focus(Window window, std::chrono::milliseconds limit) {
    park_pointer();
    return wait_for([&] { return has_focus(window); }, limit);
}

void XClient::key(const std::string &keysym, const std::vector<std::string> &modifiers) {
    std::vector<KeyCode> held;
    for (const auto &name : modifiers)
        held.push_back(XKeysymToKeycode(dpy_, XStringToKeysym(name.c_str())));
    const KeyCode code = XKeysymToKeycode(dpy_, XStringToKeysym(keysym.c_str()));
    if (code == 0)
        throw std::runtime_error("no key for " + keysym);
    for (KeyCode modifier : held)
        XTestFakeKeyEvent(dpy_, modifier, True, CurrentTime);
    XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy_, code, False, CurrentTime);
    for (auto it = held.rbegin(); it != held.rend(); ++it)
        XTestFakeKeyEvent(dpy_, *it, False, CurrentTime);
    sync();
}

void XClient::key_held(const std::string &keysym, std::chrono::milliseconds hold) {
    const KeyCode code = XKeysymToKeycode(dpy_, XStringToKeysym(keysym.c_str()));
    if (code == 0)
        throw std::runtime_error("no key for " + keysym);
    XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy_, code, False, static_cast<unsigned long>(hold.count()));
    XFlush(dpy_);
}

void XClient::move_pointer(int x, int y) {
    XTestFakeMotionEvent(dpy_, -1, x, y, CurrentTime);
    sync();
}

void XClient::click(int button, int count) {
    for (int i = 0; i < count; ++i) {
        XTestFakeButtonEvent(dpy_, button, True, CurrentTime);
        XTestFakeButtonEvent(dpy_, button, False, CurrentTime);
    }
    sync();
}

void XClient::press(int button) {
    XTestFakeButtonEvent(dpy_, button, True, CurrentTime);
    sync();
}

void XClient::release(int button) {
    XTestFakeButtonEvent(dpy_, button, False, CurrentTime);
    sync();
}

std::vector<Window> top_level_windows(Display *dpy) {
    Window root, parent;
    Window *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count) != 0 &&
        children != nullptr) {
        result.assign(children, children + count);
        XFree(children);
    }
    return result;
}

void ask_to_close(Display *dpy, Window window) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, window, False, NoEventMask, &event);
    XSync(dpy, False);
}

void XClient::set_resources(const std::string &resources) {
    XChangeProperty(dpy_, DefaultRootWindow(dpy_), XA_RESOURCE_MANAGER, XA_STRING, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char *>(resources.data()),
                    static_cast<int>(resources.size()));
    XSync(dpy_, False);
}

void XClient::close_window(Window window) {
    ask_to_close(dpy_, window);
}

void XClient::sync() {
    XSync(dpy_, False);
}
