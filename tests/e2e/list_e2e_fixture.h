// SPDX-License-Identifier: GPL-2.0-or-later
// The real program with a list to work on: its rows as a screen reader reads
// them, clicks on them where the screen reader says they are, its context
// menu, and what the fake window manager was started as.
#pragma once

#include "e2e/e2e_fixture.h"
#include "support/screen_probe.h"

#include <chrono>
#include <map>
#include <string>
#include <vector>

#define RESULT_TITLE "Window Managers found"

// One row of a list as a screen reader reads it: its two cells, the icon's
// and the description's, and where they are on the screen.
struct ShownRow {
    std::string description; // the name of its cells
    std::string command;     // their description, after the default's mark
    bool is_default = false;
    bool selected = false;
    bool showing = false;    // within the part of the list in sight
    std::vector<Area> cells; // on the screen, left to right
    const Area &icon() const { return cells.front(); }
    const Area &text() const { return cells.at(1); }
    int centre_y() const { return cells.front().y + cells.front().height / 2; }
};

class ListE2e : public QuorvaneE2e {
  protected:
    // Every test reads the program as a screen reader does.
    void SetUp() override;

    // Entries "First=first-wm" and so on, each name a fake window manager.
    void start_with_rows(const std::vector<std::string> &names, double delay, int default_wm);
    // The main window once it shows this many rows and has taken the
    // keyboard, the pointer parked; fails the test otherwise.
    Window window_with_rows(size_t count);
    // The rows of the main window's list, top to bottom.
    std::vector<ShownRow> rows();
    // The rows of the list in the window of this title.
    std::vector<ShownRow> rows_of(const std::string &title);
    // Where the main window's list is on the screen, its rows and the room
    // below them.
    Area list_area();
    // Whether the keyboard is in an editor that a cell of the list opened:
    // the window has it, and neither the list nor any of its cells does.
    bool editing_a_cell(const std::string &title);
    // The index of the selected row of the main list, or -1.
    int selected_row();
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

    std::string fake(const std::string &name) { return path_of("bin/" + name); }

    Window main_ = 0;
    // False for a program that cannot reach the test's accessibility bus
    // (run as another user): its rows cannot be read then.
    bool reads_rows_ = true;

  private:
    void click_row_at(int index, int column, int button, int count);
    // The list of the window of this title, found once and read again since.
    const AccessibleNode *list_of(const std::string &title);
    std::map<std::string, AccessibleNode> lists_;
};
