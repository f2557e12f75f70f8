// SPDX-License-Identifier: GPL-2.0-or-later
// Waits for a top-level window with a given title on a display, saves a PNG
// of it and, if asked, closes it the way a window manager would.
//   snapshot DISPLAY TITLE OUT.png [--close]
#include "support/screen_probe.h"
#include "support/x_client.h"

#include <cstdio>
#include <cstring>
#include <exception>

int main(int argc, char **argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: snapshot DISPLAY TITLE OUT.png [--close]\n");
        return 2;
    }
    try {
        XClient x(argv[1]);
        const Window window = x.wait_for_viewable(argv[2], std::chrono::seconds(30));
        if (window == 0) {
            fprintf(stderr, "snapshot: no window titled \"%s\" appeared\n", argv[2]);
            return 1;
        }
        const Area area = window_area(x, window);
        if (!wait_until_drawn(x, area) || !save_png(x, area, argv[3])) {
            fprintf(stderr, "snapshot: cannot read the window from the screen\n");
            return 1;
        }
        if (argc > 4 && strcmp(argv[4], "--close") == 0)
            x.close_window(window);
    } catch (const std::exception &e) {
        fprintf(stderr, "snapshot: %s\n", e.what());
        return 1;
    }
    return 0;
}
