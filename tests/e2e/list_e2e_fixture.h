// SPDX-License-Identifier: GPL-2.0-or-later
// The real program with a list to work on: its rows found on screen, clicks
// on them, its context menu, and what the fake window manager was started as.
#pragma once

#include "e2e/e2e_fixture.h"
#include "support/screen_probe.h"

#include <chrono>
#include <string>
#include <vector>

#define RESULT_TITLE "Window Managers found"

class ListE2e : public QuorvaneE2e {
  protected:
    // Entries "First=first-wm" and so on, each name a fake window manager.
    void start_with_rows(const std::vector<std::string> &names, double delay, int default_wm);
    // The main window once it shows this many rows and has taken the
    // keyboard, the pointer parked; fails the test otherwise.
    Window window_with_rows(size_t count);
    std::vector<Band> rows();
    // Presses a button over a row, on its icon, where a press never edits.
    void click_row(int index, int button, int count = 1);
    // Presses a button over a row's description, where a press may edit it.
    void click_row_text(int index, int button, int count = 1);
    // Lets more than the toolkit's double-click time pass, so that the next
    // click is a click of its own.
    void wait_past_double_click();
    // A right click on the row, which selects it; the menu that it opens, or 0.
    Window open_menu_on_row(int index);
    // A right click in the list below its rows, which keeps the selection.
    Window open_menu_below_rows();
    // The menu once it shows its six entries, or 0.
    Window wait_for_full_menu();
    Window shown_menu();
    bool wait_until_no_menu();
    // The entry lines of the saved file, and its default position.
    std::vector<std::string> saved_entries();
    std::string saved_default();
    // The programs started so far, as the fake window manager saw its name.
    std::vector<std::string> started();
    bool wait_for_start(size_t count);
    // Closes the main window, which saves and ends the program.
    void quit();

    // Whether what the area shows changes within the limit.
    bool area_changes(const Area &area, std::chrono::milliseconds limit);
    // Waits until the area stops changing for a while.
    bool area_settles(const Area &area);

    std::string fake(const std::string &name) { return path_of("bin/" + name); }

    void click_row_at(int index, int across, int button, int count);

    Window main_ = 0;
};
