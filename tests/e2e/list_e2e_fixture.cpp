// SPDX-License-Identifier: GPL-2.0-or-later
#include "e2e/list_e2e_fixture.h"

#include "support/wait.h"

#include <sstream>

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

std::vector<Band> ListE2e::rows() {
    return ink_bands(x(), main_list_area(x(), main_));
}

namespace {

// From the list's left edge: the icon, then the description.
constexpr int kIconX = 10;
constexpr int kTextX = 45;
// GTK's double-click time, with room to spare.
constexpr std::chrono::milliseconds kPastDoubleClick(500);

} // namespace

void ListE2e::click_row_at(int index, int across, int button, int count) {
    // A window that has just gone from over the list leaves it to be drawn again.
    std::vector<Band> bands;
    ASSERT_TRUE(wait_for([&] {
        bands = rows();
        return bands.size() > static_cast<size_t>(index);
    })) << "no row "
        << index;
    const Area list = main_list_area(x(), main_);
    x().move_pointer(list.x + across, list.y + bands[index].centre());
    x().click(button, count);
}

void ListE2e::click_row(int index, int button, int count) {
    click_row_at(index, kIconX, button, count);
}

void ListE2e::click_row_text(int index, int button, int count) {
    click_row_at(index, kTextX, button, count);
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
    const Area list = main_list_area(x(), main_);
    x().move_pointer(list.x + kIconX, list.y + list.height - 10);
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

bool ListE2e::area_changes(const Area &area, std::chrono::milliseconds limit) {
    const std::vector<uint32_t> first = pixels_of(x(), area);
    return wait_for([&] { return pixels_of(x(), area) != first; }, limit);
}

bool ListE2e::area_settles(const Area &area) {
    return wait_for([&] { return !area_changes(area, std::chrono::milliseconds(300)); },
                    std::chrono::seconds(5));
}
