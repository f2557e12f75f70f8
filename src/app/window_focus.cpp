// SPDX-License-Identifier: GPL-2.0-or-later
// With no window manager the X server sends the keys to the window under the
// pointer until a program asks for the focus, and when the focused window
// goes, to the root window, where they are lost. So every window asks for the
// keyboard itself, through the toolkit, which leaves the choice to a window
// manager when one runs. The windows shown from here form a stack: the newest
// has the keyboard, and each came from the one below it.
#include "app/window_focus.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <vector>

namespace {

const char kFocusKey[] = "quorvane-focus-widget";
const char kOnScreenKey[] = "quorvane-on-screen";
const char kMapWatchKey[] = "quorvane-map-watch";

// How often a window not yet on screen is looked at; it costs one round trip.
constexpr guint kMapWatchMs = 250;

// The windows shown from here and not hidden since, oldest first.
std::vector<GtkWidget *> &shown_windows() {
    static std::vector<GtkWidget *> windows;
    return windows;
}

bool is_newest(GtkWidget *window) {
    const std::vector<GtkWidget *> &shown = shown_windows();
    return !shown.empty() && shown.back() == window;
}

bool is_on_screen(GtkWidget *window) {
    return g_object_get_data(G_OBJECT(window), kOnScreenKey) != nullptr;
}

// The X server refuses the focus to a window not yet on screen, and for a
// time older than its last focus change, which a window manager that has come
// and gone may have moved past every event we saw: the request carries the
// server's time of now.
void give_keyboard(GtkWidget *window) {
    auto *focus = static_cast<GtkWidget *>(g_object_get_data(G_OBJECT(window), kFocusKey));
    if (focus != nullptr)
        gtk_widget_grab_focus(focus);
    gtk_window_present_with_time(GTK_WINDOW(window),
                                 gdk_x11_get_server_time(gtk_widget_get_window(window)));
}

gboolean on_map_event(GtkWidget *window, GdkEvent *, gpointer) {
    g_object_set_data(G_OBJECT(window), kOnScreenKey, GINT_TO_POINTER(1));
    if (is_newest(window))
        give_keyboard(window);
    return FALSE;
}

// Iconified by a window manager, the window keeps its place but is not on
// screen until it is mapped again.
gboolean on_unmap_event(GtkWidget *window, GdkEvent *, gpointer) {
    g_object_set_data(G_OBJECT(window), kOnScreenKey, nullptr);
    return FALSE;
}

// Whether some client, a window manager, has the root window's map requests
// sent to it instead of carried out.
bool redirect_is_held(Display *display) {
    XWindowAttributes root = {};
    return XGetWindowAttributes(display, DefaultRootWindow(display), &root) != 0 &&
           (root.all_event_masks & SubstructureRedirectMask) != 0;
}

// A window manager on its way out (one that a started program left behind,
// say) may still hold the redirect when a window is shown: the map request
// goes to it, it never answers, and nothing else would ever put the window on
// screen. So until the window is there, it is looked at now and then, and
// mapped again once no window manager holds the redirect any more. One that
// stays, and answers, maps it itself.
gboolean on_map_watch(gpointer data) {
    GtkWidget *window = GTK_WIDGET(data);
    GdkWindow *gdk_window = gtk_widget_get_window(window);
    if (gdk_window != nullptr && gtk_widget_get_visible(window)) {
        Display *display = GDK_WINDOW_XDISPLAY(gdk_window);
        XWindowAttributes attributes = {};
        if (XGetWindowAttributes(display, GDK_WINDOW_XID(gdk_window), &attributes) != 0 &&
            attributes.map_state == IsUnmapped) {
            if (!redirect_is_held(display))
                XMapWindow(display, GDK_WINDOW_XID(gdk_window));
            return TRUE;
        }
    }
    g_object_set_data(G_OBJECT(window), kMapWatchKey, nullptr);
    return FALSE;
}

void watch_until_mapped(GtkWidget *window) {
    if (g_object_get_data(G_OBJECT(window), kMapWatchKey) != nullptr)
        return;
    g_object_set_data(G_OBJECT(window), kMapWatchKey, GINT_TO_POINTER(1));
    g_timeout_add_full(G_PRIORITY_DEFAULT, kMapWatchMs, on_map_watch, g_object_ref(window),
                       g_object_unref);
}

void forget_window(GtkWidget *window);

void on_gone(GtkWidget *window, gpointer) {
    const bool had_keyboard = is_newest(window);
    forget_window(window);
    const std::vector<GtkWidget *> &shown = shown_windows();
    // One not yet on screen takes it when it gets there.
    if (had_keyboard && !shown.empty() && is_on_screen(shown.back()))
        give_keyboard(shown.back());
}

void forget_window(GtkWidget *window) {
    std::vector<GtkWidget *> &shown = shown_windows();
    shown.erase(std::remove(shown.begin(), shown.end(), window), shown.end());
    g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(on_map_event), nullptr);
    g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(on_unmap_event),
                                         nullptr);
    g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(on_gone), nullptr);
    g_object_set_data(G_OBJECT(window), kFocusKey, nullptr);
    g_object_set_data(G_OBJECT(window), kOnScreenKey, nullptr);
}

} // namespace

void show_with_focus(GtkWidget *window, GtkWidget *focus) {
    const std::vector<GtkWidget *> &shown = shown_windows();
    const bool known = std::find(shown.begin(), shown.end(), window) != shown.end();
    // One shown before without this module is taken to be on screen already.
    const bool on_screen = gtk_widget_get_mapped(window) && (!known || is_on_screen(window));
    forget_window(window);
    shown_windows().push_back(window);
    g_object_set_data(G_OBJECT(window), kFocusKey, focus);
    if (on_screen)
        g_object_set_data(G_OBJECT(window), kOnScreenKey, GINT_TO_POINTER(1));
    g_signal_connect(window, "map-event", G_CALLBACK(on_map_event), nullptr);
    g_signal_connect(window, "unmap-event", G_CALLBACK(on_unmap_event), nullptr);
    // A destroyed window is hidden first; "destroy" covers one that was not shown.
    g_signal_connect(window, "hide", G_CALLBACK(on_gone), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(on_gone), nullptr);
    if (on_screen)
        give_keyboard(window);
    else
        show_on_screen(window);
}

void show_on_screen(GtkWidget *window) {
    gtk_widget_show(window);
    watch_until_mapped(window);
}
