// SPDX-License-Identifier: GPL-2.0-or-later
// Makes the README's pictures from the real program on a display where it
// has just been started with the list of scripts/pictures:
//   pictures DISPLAY FOLDER
// the main window with its countdown running, the list's menu, the
// preferences window and the item dialog, each saved as FOLDER/NAME.png.
#include "app/version.h"
#include "support/screen_probe.h"
#include "support/wait.h"
#include "support/x_client.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

namespace {

const char MAIN_TITLE[] = "quorvane " QUORVANE_VERSION;

void save(XClient &x, const Area &area, const std::string &path) {
    if (!wait_until_drawn(x, area) || !save_png(x, area, path))
        throw std::runtime_error("cannot save " + path);
    printf("%s\n", path.c_str());
}

Window wait_for_menu(XClient &x) {
    Window menu = 0;
    wait_for([&] {
        const std::vector<Window> menus = x.mapped_windows_of_type("POPUP_MENU");
        menu = menus.empty() ? 0 : menus.front();
        return menu != 0 && ink_bands(x, window_area(x, menu)).size() == 6;
    });
    if (menu == 0)
        throw std::runtime_error("the menu did not open");
    return menu;
}

Window wait_for_window(XClient &x, const std::string &title) {
    const Window window = x.wait_for_viewable(title);
    if (window == 0)
        throw std::runtime_error("no window \"" + title + "\"");
    return window;
}

void right_click_row(XClient &x, Window main, int index) {
    const Area list = main_list_area(x, main);
    const std::vector<Band> rows = ink_bands(x, list);
    if (rows.size() <= static_cast<size_t>(index))
        throw std::runtime_error("the list has too few rows");
    x.move_pointer(list.x + 10, list.y + rows[index].centre());
    x.click(3);
}

void type(XClient &x, const std::string &text) {
    for (const char c : text) {
        if (c == '/')
            x.key("slash");
        else if (c == ' ')
            x.key("space");
        else if (isupper(static_cast<unsigned char>(c)))
            x.key(std::string(1, c), {"Shift_L"});
        else
            x.key(std::string(1, c));
    }
}

Area around(const Area &a, const Area &b) {
    const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    const int right = std::max(a.x + a.width, b.x + b.width);
    const int bottom = std::max(a.y + a.height, b.y + b.height);
    return Area{left, top, right - left, bottom - top};
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: pictures DISPLAY FOLDER\n");
        return 2;
    }
    const std::string folder = argv[2];
    try {
        XClient x(argv[1]);
        const Window main = wait_for_window(x, MAIN_TITLE);
        const Area main_area = window_area(x, main);
        // The countdown shows once it has ticked.
        wait_until_drawn(x, main_area);
        const std::vector<uint32_t> first = pixels_of(x, main_area);
        wait_for([&] { return pixels_of(x, main_area) != first; });
        save(x, main_area, folder + "/main-window.png");

        // A key in the list stops the countdown; the selection leaves the
        // default row, which then shows in blue.
        x.wait_for_focus(main);
        x.key("Down");
        right_click_row(x, main, 2);
        const Window menu = wait_for_menu(x);
        save(x, around(main_area, window_area(x, menu)), folder + "/context-menu.png");
        x.key("Escape");

        // The Preferences button fills the right half of the bottom row.
        x.move_pointer(main_area.x + main_area.width * 3 / 4, main_area.y + main_area.height - 18);
        x.click(1);
        const Window preferences = wait_for_window(x, "Preferences");
        save(x, window_area(x, preferences), folder + "/preferences.png");
        x.close_window(preferences);

        right_click_row(x, main, 0);
        wait_for_menu(x);
        x.key("a");
        const Window dialog = wait_for_window(x, "Add item");
        type(x, "Sawfish");
        x.key("Tab");
        type(x, "/usr/bin/sawfish");
        save(x, window_area(x, dialog), folder + "/item-dialog.png");
        x.close_window(dialog);
        x.close_window(main);
    } catch (const std::exception &e) {
        fprintf(stderr, "pictures: %s\n", e.what());
        return 1;
    }
    return 0;
}
