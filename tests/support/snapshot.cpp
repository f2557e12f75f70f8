// Waits for a top-level window with a given title on a display, saves a PNG
// of it and, if asked, closes it the way a window manager would.
//   snapshot DISPLAY TITLE OUT.png [--close]
#include "support/wait.h"
#include "support/x_client.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

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
        int left, top, width, height;
        x.geometry(window, &left, &top, &width, &height);
        XImage *image = nullptr;
        // A window that has just been mapped may not be drawn yet: wait until
        // its area holds more than one colour.
        wait_for(
            [&] {
                if (image != nullptr)
                    XDestroyImage(image);
                image = XGetImage(x.display(), DefaultRootWindow(x.display()), left, top, width,
                                  height, AllPlanes, ZPixmap);
                if (image == nullptr)
                    return false;
                const unsigned long first = XGetPixel(image, 0, 0);
                for (int row = 0; row < height; row += 3)
                    for (int col = 0; col < width; col += 3)
                        if (XGetPixel(image, col, row) != first)
                            return true;
                return false;
            },
            std::chrono::seconds(10));
        if (image == nullptr) {
            fprintf(stderr, "snapshot: cannot read the screen\n");
            return 1;
        }
        GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
        guchar *pixels = gdk_pixbuf_get_pixels(pixbuf);
        const int stride = gdk_pixbuf_get_rowstride(pixbuf);
        for (int row = 0; row < height; ++row)
            for (int col = 0; col < width; ++col) {
                const unsigned long pixel = XGetPixel(image, col, row);
                guchar *out = pixels + row * stride + col * 3;
                out[0] = (pixel >> 16) & 0xff;
                out[1] = (pixel >> 8) & 0xff;
                out[2] = pixel & 0xff;
            }
        XDestroyImage(image);
        GError *error = nullptr;
        if (!gdk_pixbuf_save(pixbuf, argv[3], "png", &error, nullptr)) {
            fprintf(stderr, "snapshot: %s\n", error->message);
            g_error_free(error);
            return 1;
        }
        g_object_unref(pixbuf);
        if (argc > 4 && strcmp(argv[4], "--close") == 0)
            x.close_window(window);
    } catch (const std::exception &e) {
        fprintf(stderr, "snapshot: %s\n", e.what());
        return 1;
    }
    return 0;
}
