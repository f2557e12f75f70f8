// SPDX-License-Identifier: GPL-2.0-or-later
// Reading what the real program shows: the area where a list view draws its
// rows, the bands of drawn lines in it (rows, menu items) and their colours,
// and the program's top-level windows.
#pragma once

#include "support/x_client.h"

#include <cstdint>
#include <vector>

// A rectangle relative to the root window.
struct Area {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int centre_x() const { return x + width / 2; }
};

// Lines that hold text or an icon, separated from the next band by at least
// one line of plain background: one row of a list, one item of a menu.
struct Band {
    int top = 0;       // relative to the area
    int bottom = 0;    // the last line, inclusive
    bool blue = false; // holds text drawn in pure blue
    int centre() const { return (top + bottom) / 2; }
};

// The area of a top-level window itself.
Area window_area(XClient &x, Window window);
// The top of the main window's list, where its first five or six rows are
// drawn, short of where a scroll bar would be. GTK draws the list into the
// window's own X window, so this follows from the layout: a border and a
// frame of two pixels each, and a list at least 150 pixels high.
Area main_list_area(XClient &x, Window main_window);
// The bands in an area, top to bottom; thin lines (rules, separators, focus
// lines) are not bands.
std::vector<Band> ink_bands(XClient &x, const Area &area);
// The pixels of an area, to compare what it shows at two moments.
std::vector<uint32_t> pixels_of(XClient &x, const Area &area);
// Waits until the area shows more than one colour: a window that has just
// been mapped may not be drawn yet.
bool wait_until_drawn(XClient &x, const Area &area);
// Saves what the area shows as a PNG file.
bool save_png(XClient &x, const Area &area, const std::string &path);
// Moves a top-level window, as a window manager would; there is none.
void move_window(XClient &x, Window window, int left, int top);
// All windows that are children of the root, mapped or not.
size_t top_level_window_count(XClient &x);
