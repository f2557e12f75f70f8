// SPDX-License-Identifier: GPL-2.0-or-later
// Stands in for a window manager that a started program leaves behind on its
// way out: it takes the root window's redirect, so that map requests come to
// it, answers none of them, and lets go only when the test says so.
//
//   lingering_wm HELD REQUESTS GO
//
// It creates the file HELD once it holds the redirect, appends the id of each
// window whose map request it swallowed to REQUESTS, one line each, and ends
// once the file GO exists. It exits with 1 when another client holds the
// redirect already.
#include <X11/Xlib.h>

#include <poll.h>
#include <stdio.h>
#include <unistd.h>

static int refused;

static int note_refusal(Display *display, XErrorEvent *error) {
    (void)display;
    (void)error;
    refused = 1;
    return 0;
}

static void touch(const char *path) {
    FILE *file = fopen(path, "a");
    if (file != NULL)
        fclose(file);
}

int main(int argc, char **argv) {
    if (argc != 4)
        return 2;
    Display *display = XOpenDisplay(NULL);
    if (display == NULL)
        return 1;
    XSetErrorHandler(note_refusal);
    XSelectInput(display, DefaultRootWindow(display), SubstructureRedirectMask);
    XSync(display, False);
    if (refused)
        return 1;
    touch(argv[1]);

    while (access(argv[3], F_OK) != 0) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != MapRequest)
                continue;
            FILE *requests = fopen(argv[2], "a");
            if (requests != NULL) {
                fprintf(requests, "%lu\n", event.xmaprequest.window);
                fclose(requests);
            }
        }
        struct pollfd connection = {ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, 10);
    }
    XCloseDisplay(display);
    return 0;
}
