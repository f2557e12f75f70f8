// SPDX-License-Identifier: GPL-2.0-or-later
#include "e2e/list_e2e_fixture.h"

#include "support/wait.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <sstream>

void ListE2e::SetUp() {
    QuorvaneE2e::SetUp();
    if (reads_rows_)
        listen_as_screen_reader();
}

void ListE2e::start_with_rows(const std::vector<std::string> &names, double delay, int default_wm) {
    std::vector<std::string> entries;
    for (const std::string &name : names) {
        std::string lower = name;
        for (char &c : lower)
            c = static_cast<char>(tolower(c));
        install_fake_wm(lower + "-wm");
        entries.push_back(name + "=" + lower + "-wm");
    }
    write_config(entries, delay, 0, default_wm);
    start();
}

Window ListE2e::window_with_rows(size_t count) {
    main_ = main_window();
    EXPECT_NE(main_, 0u) << err();
    if (main_ == 0)
        return 0;
    EXPECT_TRUE(wait_for([&] { return rows().size() == count; })) << rows().size() << " rows";
    // The pointer away from it, the window has the keyboard by its own doing.
    EXPECT_TRUE(x().wait_for_focus(main_)) << "the main window did not take the keyboard";
    return main_;
}

namespace {

// How the list marks its default row for a screen reader.
const char kDefaultMark[] = "Default: ";

Area area_of(const std::vector<int> &extents) {
    return Area{extents[0], extents[1], extents[2], extents[3]};
}

const AccessibleNode *window_titled(const AccessibleNode &program, const std::string &title) {
    for (const AccessibleNode &window : program.children)
        if (window.name == title)
            return &window;
    return nullptr;
}

} // namespace

const AccessibleNode *ListE2e::list_of(const std::string &title) {
    const auto known = lists_.find(title);
    if (known != lists_.end()) {
        AccessibleNode again = reader().read_again(known->second);
        if (again.role == "table" && !again.has_state(STATE_DEFUNCT)) {
            known->second = again;
            return &known->second;
        }
        lists_.erase(known);
    }
    const std::optional<AccessibleNode> program = reader().read_application("quorvane");
    const AccessibleNode *window = program ? window_titled(*program, title) : nullptr;
    const AccessibleNode *list = window != nullptr ? window->find("table") : nullptr;
    if (list == nullptr)
        return nullptr;
    return &(lists_[title] = *list);
}

std::vector<ShownRow> ListE2e::rows_of(const std::string &title) {
    std::vector<ShownRow> shown;
    const AccessibleNode *list = list_of(title);
    if (list == nullptr)
        return shown;
    std::vector<const AccessibleNode *> cells;
    size_t columns = 0;
    for (const AccessibleNode &child : list->children) {
        if (child.role == "table column header")
            ++columns;
        else if (child.role == "table cell")
            cells.push_back(&child);
    }
    for (size_t first = 0; columns > 0 && first + columns <= cells.size(); first += columns) {
        // The description's cell says the row; the icon's says nothing.
        const AccessibleNode &cell = *cells[first + columns - 1];
        ShownRow row;
        row.description = cell.name;
        row.is_default = cell.description.rfind(kDefaultMark, 0) == 0;
        row.command = cell.description.substr(row.is_default ? strlen(kDefaultMark) : 0);
        row.selected = cell.has_state(STATE_SELECTED);
        row.showing = cells[first + columns - 1]->has_state(STATE_SHOWING);
        for (size_t column = 0; column < columns; ++column)
            row.cells.push_back(area_of(reader().read_extents(*cells[first + column])));
        shown.push_back(row);
    }
    return shown;
}

std::vector<ShownRow> ListE2e::rows() {
    return rows_of(MAIN_TITLE);
}

Area ListE2e::list_area() {
    const AccessibleNode *list = list_of(MAIN_TITLE);
    return list != nullptr ? area_of(reader().read_extents(*list)) : Area{};
}

int ListE2e::selected_row() {
    const std::vector<ShownRow> shown = rows();
    for (size_t i = 0; i < shown.size(); ++i)
        if (shown[i].selected)
            return static_cast<int>(i);
    return -1;
}

bool ListE2e::editing_a_cell(const std::string &title) {
    const std::optional<AccessibleNode> program = reader().read_application("quorvane");
    const AccessibleNode *window = program ? window_titled(*program, title) : nullptr;
    const AccessibleNode *list = window != nullptr ? window->find("table") : nullptr;
    if (list == nullptr || !window->has_state(STATE_ACTIVE) || list->has_state(STATE_FOCUSED))
        return false;
    for (const AccessibleNode &cell : list->children)
        if (cell.has_state(STATE_FOCUSED))
            return false;
    return true;
}

namespace {

// GTK's double-click time, with room to spare.
constexpr std::chrono::milliseconds kPastDoubleClick(500);

} // namespace

void ListE2e::click_row_at(int index, int column, int button, int count) {
    std::vector<ShownRow> shown;
    ASSERT_TRUE(wait_for([&] {
        shown = rows();
        return shown.size() > static_cast<size_t>(index);
    })) << "no row "
        << index;
    const Area &cell = shown[index].cells.at(column);
    // A press on the description lands on its text, as a person's would.
    x().move_pointer(cell.x + std::min(20, cell.width / 2), shown[index].centre_y());
    x().click(button, count);
}

void ListE2e::click_row(int index, int button, int count) {
    click_row_at(index, 0, button, count);
}

void ListE2e::click_row_text(int index, int button, int count) {
    click_row_at(index, 1, button, count);
}

void ListE2e::wait_past_double_click() {
    const Deadline past(kPastDoubleClick);
    wait_for([&] { return past.passed(); }, 2 * kPastDoubleClick);
}

Window ListE2e::shown_menu() {
    const std::vector<Window> menus = x().mapped_windows_of_type("POPUP_MENU");
    return menus.empty() ? 0 : menus.front();
}

Window ListE2e::open_menu_on_row(int index) {
    click_row(index, 3);
    return wait_for_full_menu();
}

Window ListE2e::open_menu_below_rows() {
    const Area list = list_area();
    x().move_pointer(list.x + 10, list.y + list.height - 10);
    x().click(3);
    return wait_for_full_menu();
}

Window ListE2e::wait_for_full_menu() {
    Window menu = 0;
    wait_for([&] { return (menu = shown_menu()) != 0; });
    // Its items are drawn once it is mapped: wait for all six.
    if (menu != 0)
        wait_for([&] { return ink_bands(x(), window_area(x(), menu)).size() == 6; });
    return menu;
}

bool ListE2e::wait_until_no_menu() {
    return wait_for([&] { return shown_menu() == 0; });
}

std::vector<std::string> ListE2e::saved_entries() {
    std::vector<std::string> entries;
    std::istringstream lines(read_file(config_path()));
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty() && line[0] != '#' && line.find('=') != std::string::npos)
            entries.push_back(line);
    return entries;
}

std::string ListE2e::saved_default() {
    const std::string text = read_file(config_path());
    const auto at = text.find("default_wm:");
    if (at == std::string::npos)
        return "";
    return text.substr(at + 11, text.find('\n', at) - at - 11);
}

std::vector<std::string> ListE2e::started() {
    std::vector<std::string> names;
    if (!file_exists(wm_log_path()))
        return names;
    std::istringstream lines(wm_log());
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("argv0=", 0) == 0)
            names.push_back(line.substr(6));
    return names;
}

bool ListE2e::wait_for_start(size_t count) {
    return wait_for([&] { return started().size() >= count; });
}

void ListE2e::quit() {
    ASSERT_NE(main_, 0u);
    x().close_window(main_);
    EXPECT_EQ(exit_code(), 0) << err();
}
