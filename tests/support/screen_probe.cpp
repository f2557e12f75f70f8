// SPDX-License-Identifier: GPL-2.0-or-later
#include <X11/Xlib.h>

#include "support/screen_probe.h"

#include <X11/Xutil.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "app/glib_ptr.h"
#include "support/wait.h"

#include <map>
#include <memory>

namespace {

struct XImageDeleter {
    void operator()(XImage *image) const {
        if (image != nullptr)
            XDestroyImage(image);
    }
};
using XImagePtr = std::unique_ptr<XImage, XImageDeleter>;

// The screen is read from the root: a window's own contents are undefined
// wherever another window covers it.
XImagePtr grab(XClient &x, const Area &area) {
    if (area.width <= 0 || area.height <= 0)
        return nullptr;
    Display *dpy = x.display();
    return XImagePtr(XGetImage(dpy, DefaultRootWindow(dpy), area.x, area.y, area.width, area.height,
                               AllPlanes, ZPixmap));
}

bool is_blue(unsigned long pixel) {
    const unsigned red = (pixel >> 16) & 0xff, green = (pixel >> 8) & 0xff, blue = pixel & 0xff;
    return red <= 0x50 && green <= 0x50 && blue >= 0xc0;
}

} // namespace

Area window_area(XClient &x, Window window) {
    Area area;
    x.geometry(window, &area.x, &area.y, &area.width, &area.height);
    return area;
}

Area main_list_area(XClient &x, Window main_window) {
    constexpr int kInset = 4;
    constexpr int kHeight = 146;
    constexpr int kScrollBar = 20;
    Area area = window_area(x, main_window);
    return Area{area.x + kInset, area.y + kInset, area.width - 2 * kInset - kScrollBar, kHeight};
}

std::vector<Band> ink_bands(XClient &x, const Area &area) {
    constexpr int kMargin = 4;    // frames and focus lines at the sides
    constexpr int kMinInk = 2;    // pixels that differ from the background
    constexpr int kMinHeight = 4; // rules and separators are thinner
    std::vector<Band> bands;
    XImagePtr image = grab(x, area);
    if (!image)
        return bands;
    Band band;
    bool open = false;
    for (int y = 0; y <= area.height; ++y) {
        bool ink = false;
        bool blue = false;
        if (y < area.height) {
            std::map<unsigned long, int> counts;
            for (int col = kMargin; col < area.width - kMargin; ++col)
                ++counts[XGetPixel(image.get(), col, y)];
            unsigned long background = 0;
            int most = -1;
            for (const auto &[pixel, count] : counts)
                if (count > most) {
                    most = count;
                    background = pixel;
                }
            int differing = 0;
            for (int col = kMargin; col < area.width - kMargin; ++col) {
                const unsigned long pixel = XGetPixel(image.get(), col, y);
                differing += pixel != background ? 1 : 0;
                blue = blue || is_blue(pixel);
            }
            ink = differing >= kMinInk;
        }
        if (ink && !open) {
            band = Band{y, y, blue};
            open = true;
        } else if (ink) {
            band.bottom = y;
            band.blue = band.blue || blue;
        } else if (open) {
            if (band.bottom - band.top + 1 >= kMinHeight)
                bands.push_back(band);
            open = false;
        }
    }
    return bands;
}

std::vector<uint32_t> pixels_of(XClient &x, const Area &area) {
    std::vector<uint32_t> pixels;
    XImagePtr image = grab(x, area);
    if (!image)
        return pixels;
    for (int y = 0; y < area.height; ++y)
        for (int col = 0; col < area.width; ++col)
            pixels.push_back(static_cast<uint32_t>(XGetPixel(image.get(), col, y)));
    return pixels;
}

bool wait_until_drawn(XClient &x, const Area &area) {
    return wait_for(
        [&] {
            const std::vector<uint32_t> pixels = pixels_of(x, area);
            for (uint32_t pixel : pixels)
                if (pixel != pixels.front())
                    return true;
            return false;
        },
        std::chrono::seconds(10));
}

bool save_png(XClient &x, const Area &area, const std::string &path) {
    const std::vector<uint32_t> pixels = pixels_of(x, area);
    if (pixels.empty())
        return false;
    GObjectPtr<GdkPixbuf> picture(
        gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, area.width, area.height));
    guchar *bytes = gdk_pixbuf_get_pixels(picture.get());
    const int stride = gdk_pixbuf_get_rowstride(picture.get());
    for (int row = 0; row < area.height; ++row)
        for (int col = 0; col < area.width; ++col) {
            const uint32_t pixel = pixels[static_cast<size_t>(row * area.width + col)];
            guchar *out = bytes + row * stride + col * 3;
            out[0] = (pixel >> 16) & 0xff;
            out[1] = (pixel >> 8) & 0xff;
            out[2] = pixel & 0xff;
        }
    return gdk_pixbuf_save(picture.get(), path.c_str(), "png", nullptr, nullptr) != FALSE;
}

void move_window(XClient &x, Window window, int left, int top) {
    XMoveWindow(x.display(), window, left, top);
    x.sync();
}

size_t top_level_window_count(XClient &x) {
    return top_level_windows(x.display()).size();
}
