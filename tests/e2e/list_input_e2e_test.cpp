// SPDX-License-Identifier: GPL-2.0-or-later
#include "e2e/dialog_input.h"
#include "e2e/list_e2e_fixture.h"

#include "support/wait.h"

#include <sys/stat.h>

#include <chrono>
#include <map>
#include <optional>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const std::vector<std::string> kThree = {"First", "Second", "Third"};

// The line that the list draws under a row while a drag would drop after
// it, the first below the row's text cell: its right half, away from the
// drag's icon when the pointer holds the row by its right end and stays at
// the left. A screen reader does not hear of it.
Area line_under(const ShownRow &row) {
    const Area &cell = row.text();
    return Area{cell.centre_x(), cell.y + cell.height, cell.width / 2 - 10, 1};
}

// Whether every pixel differs from what it was.
bool all_changed(const std::vector<uint32_t> &now, const std::vector<uint32_t> &before) {
    if (now.size() != before.size() || now.empty())
        return false;
    for (size_t i = 0; i < now.size(); ++i)
        if (now[i] == before[i])
            return false;
    return true;
}

// As a person starts it: the pointer left anywhere, the keyboard in the list
// by the program's own doing; Down leaves the default row for the next one.
TEST_F(ListE2e, DownAndReturnAtStartStartTheRowBelowTheDefault) {
    start_with_rows(kThree, 30, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    x().key("Down");
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("third-wm")});
}

// Back from a window manager run as a child, the list has the keyboard again.
TEST_F(ListE2e, AfterAGoBackWindowManagerEndsTheKeysStartAnotherRow) {
    for (const char *name : {"first-wm", "second-wm"})
        install_fake_wm(name);
    write_config({"First=first-wm", "Second=second-wm"}, 0, 1, 0);
    start();
    ASSERT_NE(window_with_rows(2), 0u);
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(main_); }));
    ASSERT_TRUE(x().wait_for_focus(main_)) << "the list did not take the keyboard back";
    x().key("Down");
    x().key("Return");
    ASSERT_TRUE(wait_for_start(2)) << err();
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(main_); }));
    quit();
    EXPECT_EQ(started(), (std::vector<std::string>{fake("first-wm"), fake("second-wm")}));
}

// A started program that ends while a window manager it left behind still
// holds the screen: the list's map request goes to that window manager, which
// never answers. Once it lets go, however late, the list is back with the keys.
TEST_F(ListE2e, TheListComesBackWhenAWindowManagerLeftBehindLetsGoLate) {
    const std::string held = path_of("held");
    const std::string requests = path_of("requests");
    const std::string go = path_of("go");
    write_file(path_of("bin/leaving-wm"),
               "#!/bin/sh\n" + std::string(LINGERING_WM) + " '" + held + "' '" + requests + "' '" +
                   go + "' &\nwhile [ ! -e '" + held + "' ]; do sleep 0.01; done\n");
    ASSERT_EQ(chmod(path_of("bin/leaving-wm").c_str(), 0755), 0);
    install_fake_wm("second-wm");
    write_config({"Leaving=leaving-wm", "Second=second-wm"}, 0, 1, 0);
    start();
    ASSERT_NE(window_with_rows(2), 0u);
    x().key("Return");

    // The list asked to be shown again, and the one left behind took the request.
    ASSERT_TRUE(wait_for([&] {
        return file_exists(requests) &&
               read_file(requests).find(std::to_string(main_) + "\n") != std::string::npos;
    })) << err();
    EXPECT_FALSE(x().is_viewable(main_));
    write_file(go, "");
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(main_); })) << "the list never came back";
    ASSERT_TRUE(x().wait_for_focus(main_)) << "the list did not take the keyboard back";
    x().key("Down");
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("second-wm")});
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(main_); }));
    quit();
}

// Text twice as large, twice the list area: as many rows show as at 96 dots
// per inch.
TEST_F(ListE2e, TheListAreaGrowsWithTheScreensFontResolution) {
    std::vector<std::string> names;
    for (int i = 0; i < 20; ++i)
        names.push_back("Row" + std::to_string(100 + i));
    x().set_resources("Xft.dpi:\t192\n");
    start_with_rows(names, 0, 0);
    ASSERT_NE(window_with_rows(20), 0u);
    const Area list = list_area();
    EXPECT_GE(list.height, 2 * 150 - 10) << "the list area kept its size while the text doubled";
    EXPECT_GE(list.width, 2 * 150 - 30);
    quit();
}

// The countdown leads to the default row: it is in sight however far down
// the list it stands.
TEST_F(ListE2e, TheDefaultRowIsInSightAtStartFarDownALongList) {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i)
        names.push_back("Row" + std::to_string(100 + i));
    start_with_rows(names, 0, 33);
    ASSERT_NE(window_with_rows(40), 0u);
    EXPECT_TRUE(wait_for([&] {
        const std::vector<ShownRow> shown = rows();
        return shown.size() == 40 && shown[33].selected && shown[33].showing;
    })) << "the selected default row is out of sight";
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("row133-wm")});
}

TEST_F(ListE2e, DoubleClickStartsTheRowUnderThePointer) {
    start_with_rows(kThree, 0, 0);
    ASSERT_NE(window_with_rows(3), 0u);
    click_row(2, 1, 2);
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("third-wm")});
}

// How a person starts a row with the mouse. The selected row is the default
// one, selected at start, with the countdown running.
enum class DoubleClick { OnSelectedText, OnSelectedTextAfterAClick, OnSelectedIcon, OnOtherText };

class DoubleClickE2e : public ListE2e, public ::testing::WithParamInterface<DoubleClick> {};

TEST_P(DoubleClickE2e, ADoubleClickStartsTheRowUnderThePointer) {
    start_with_rows(kThree, 30, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    int row = 1;
    switch (GetParam()) {
    case DoubleClick::OnSelectedText:
        click_row_text(row, 1, 2);
        break;
    case DoubleClick::OnSelectedTextAfterAClick:
        // The second press is a click of its own on the selected row, which
        // may begin an edit, but the double click that follows wins.
        click_row_text(row, 1);
        wait_past_double_click();
        click_row_text(row, 1, 2);
        break;
    case DoubleClick::OnSelectedIcon:
        click_row(row, 1, 2);
        break;
    case DoubleClick::OnOtherText:
        row = 2;
        click_row_text(row, 1, 2);
        break;
    }
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake(row == 1 ? "second-wm" : "third-wm")});
}

std::string double_click_name(const ::testing::TestParamInfo<DoubleClick> &info) {
    const char *const names[] = {"OnSelectedText", "OnSelectedTextAfterAClick", "OnSelectedIcon",
                                 "OnOtherText"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Places, DoubleClickE2e,
                         ::testing::Values(DoubleClick::OnSelectedText,
                                           DoubleClick::OnSelectedTextAfterAClick,
                                           DoubleClick::OnSelectedIcon, DoubleClick::OnOtherText),
                         double_click_name);

// In go-back mode the program comes back after a double click: the row was
// started once, and no editor has opened to take the keys that follow.
TEST_F(ListE2e, ADoubleClickInGoBackModeStartsOnceAndOpensNoEditor) {
    for (const char *name : {"first-wm", "second-wm"})
        install_fake_wm(name);
    write_config({"First=first-wm", "Second=second-wm"}, 0, 1, 1);
    start();
    ASSERT_NE(window_with_rows(2), 0u);
    click_row_text(1, 1, 2);
    ASSERT_TRUE(wait_for_start(1)) << err();
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(main_); }));
    wait_past_double_click();
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("Return");
    ASSERT_TRUE(wait_for_start(2)) << "Return went to an editor";
    EXPECT_FALSE(wait_for([&] { return started().size() > 2; }, milliseconds(500)));
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(main_); }));
    quit();
    EXPECT_EQ(started(), std::vector<std::string>(2, fake("second-wm")));
    EXPECT_EQ(saved_entries(), (std::vector<std::string>{"First=first-wm", "Second=second-wm"}));
}

// One click on the selected row opens no editor, however long it is left.
TEST_F(ListE2e, ReturnAfterAClickOnTheSelectedRowStartsIt) {
    start_with_rows(kThree, 0, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    click_row_text(1, 1);
    wait_past_double_click();
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("second-wm")});
}

class EditInPlaceE2e : public ListE2e, public ::testing::WithParamInterface<bool> {};

// A slow second click on the selected row, or F2, edits its description;
// Return keeps the new text and starts nothing.
TEST_P(EditInPlaceE2e, TheEditorOpensAndReturnKeepsTheNewText) {
    const bool by_key = GetParam();
    start_with_rows(kThree, 0, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    if (!by_key) {
        click_row_text(1, 1);
        wait_past_double_click();
    }
    if (by_key)
        x().key("F2");
    else
        click_row_text(1, 1);
    ASSERT_TRUE(wait_for([&] { return editing_a_cell(MAIN_TITLE); }, seconds(3)))
        << "no editor opened";
    // The editor starts with its whole text selected.
    type_text(x(), "Renamed");
    x().key("Return");
    EXPECT_TRUE(wait_for([&] {
        const std::vector<ShownRow> shown = rows();
        return shown.size() == 3 && shown[1].description == "Renamed";
    })) << "the row does not show the new text";
    EXPECT_TRUE(started().empty());
    quit();
    EXPECT_EQ(saved_entries(),
              (std::vector<std::string>{"First=first-wm", "Renamed=second-wm", "Third=third-wm"}));
    EXPECT_TRUE(started().empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, EditInPlaceE2e, ::testing::Bool(), [](const auto &test) {
    return std::string(test.param ? "F2" : "SlowSecondClick");
});

class TypeAheadE2e : public ListE2e,
                     public ::testing::WithParamInterface<std::pair<const char *, int>> {};

// The type-ahead finds a description by what the row shows, bytes that are
// not UTF-8 included, and Return there starts the row found.
TEST_P(TypeAheadE2e, TypeAheadThenReturnStartsTheRowFound) {
    const std::vector<std::string> names = {"Alpha", "Beta", "Caf\xe9", "Gamma"};
    start_with_rows(names, 0, 0);
    ASSERT_NE(window_with_rows(4), 0u);
    const int found = GetParam().second;
    x().key(GetParam().first);
    ASSERT_TRUE(wait_for([&] { return selected_row() == found; }))
        << "the selection is on row " << selected_row();
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    std::string command = names[found] + "-wm";
    for (char &c : command)
        c = static_cast<char>(tolower(c));
    EXPECT_EQ(started(), std::vector<std::string>{fake(command)});
}

INSTANTIATE_TEST_SUITE_P(Keys, TypeAheadE2e,
                         ::testing::Values(std::pair{"g", 3}, std::pair{"c", 2}),
                         [](const auto &test) { return std::string(test.param.first); });

class MenuByKeyE2e : public ListE2e,
                     public ::testing::WithParamInterface<std::vector<std::string>> {};

// Shift+F10 and the Menu key open the menu at the selected row, and it acts
// on that row.
TEST_P(MenuByKeyE2e, TheMenuOpensAtTheSelectedRowAndExecuteStartsIt) {
    start_with_rows(kThree, 0, 2);
    ASSERT_NE(window_with_rows(3), 0u);
    const Area selected = rows()[2].text();
    const std::vector<std::string> &keys = GetParam();
    x().key(keys.back(), std::vector<std::string>(keys.begin(), keys.end() - 1));
    Window menu = 0;
    ASSERT_TRUE(wait_for([&] { return (menu = shown_menu()) != 0; }));
    const Area at = window_area(x(), menu);
    EXPECT_GE(at.y, selected.y - 2);
    EXPECT_LE(at.y, selected.y + selected.height + 2);
    ASSERT_TRUE(wait_for([&] { return ink_bands(x(), window_area(x(), menu)).size() == 6; }));
    x().key("x");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("third-wm")});
}

INSTANTIATE_TEST_SUITE_P(Keys, MenuByKeyE2e,
                         ::testing::Values(std::vector<std::string>{"Shift_L", "F10"},
                                           std::vector<std::string>{"Menu"}),
                         [](const auto &test) { return test.param.back(); });

// Drags the row by the right end of its text to the left end of the last
// row's lower quarter: the row goes after it.
TEST_F(ListE2e, ADraggedRowStaysSelectedAndReturnStartsIt) {
    start_with_rows(kThree, 0, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    const std::vector<ShownRow> shown = rows();
    const int right = shown[0].text().x + shown[0].text().width - 10;
    const int left = shown[0].text().x + 5;
    const int last_bottom = shown[2].text().y + shown[2].text().height - 1;
    const Area after_last = line_under(shown[2]);
    const std::vector<uint32_t> undragged = pixels_of(x(), after_last);
    x().move_pointer(right, shown[0].centre_y());
    x().press(1);
    for (int across = right; across >= left; across -= 8)
        x().move_pointer(across, shown[0].centre_y());
    for (int y = shown[0].centre_y(); y <= last_bottom; y += 4)
        x().move_pointer(left, y);
    x().move_pointer(left + 1, last_bottom - 1);
    // The list takes the motions in as the drag hands them on, within the
    // program and later than the pointer moved, and the drop goes where it
    // last showed it would: a solid line under the last row is a drop after
    // it (a dotted frame round a row, a drop before it), and no motion after
    // the one that drew it shows anything else.
    ASSERT_TRUE(
        wait_for([&] { return all_changed(pixels_of(x(), after_last), undragged); }, seconds(5)))
        << "the drag never showed that it would drop after the last row";
    x().release(1);
    ASSERT_TRUE(wait_for([&] {
        const std::vector<ShownRow> now = rows();
        return now.size() == 3 && now[2].description == "First" && now[2].selected;
    })) << "the dragged row is not last and selected";
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("first-wm")});
    EXPECT_EQ(saved_entries(),
              (std::vector<std::string>{"Second=second-wm", "Third=third-wm", "First=first-wm"}));
}

class StartKeyE2e : public ListE2e,
                    public ::testing::WithParamInterface<std::vector<std::string>> {};

// Modifiers are not looked at.
TEST_P(StartKeyE2e, ReturnStartsTheSelectedRow) {
    start_with_rows(kThree, 0, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("Return", GetParam());
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("second-wm")});
}

INSTANTIATE_TEST_SUITE_P(Modifiers, StartKeyE2e,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"Shift_L"},
                                           std::vector<std::string>{"Control_L"}),
                         [](const auto &test) {
                             return test.param.empty() ? std::string("None")
                                                       : test.param[0].substr(0, 5);
                         });

// A key and a click in the list, each through its own handler; which other
// presses stop the countdown is the widget tests' table.
enum class Press { ArrowKey, LeftClickBelowTheRows };

class StopE2e : public ListE2e, public ::testing::WithParamInterface<Press> {};

// What a screen reader hears of the countdown tells whether its timer still
// runs: the test need not sit it out.
TEST_P(StopE2e, APressInTheListStopsTheCountdownForGood) {
    start_with_rows(kThree, 60, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    const AccessibleNode countdown = countdown_label();
    std::string said = reader().read_name(countdown);
    ASSERT_EQ(said.rfind("Starts Second in ", 0), 0u) << "the countdown is not running: " << said;

    if (GetParam() == Press::ArrowKey) {
        x().key("Down");
    } else {
        const Area list = list_area();
        x().move_pointer(list.centre_x(), list.y + list.height - 10);
        x().click(1);
    }
    EXPECT_TRUE(wait_for([&] {
        return (said = reader().read_name(countdown)) == "Countdown stopped";
    })) << "the countdown still runs: "
        << said;
    EXPECT_TRUE(x().mapped_windows_of_type("DIALOG").empty());
    quit();
    EXPECT_TRUE(started().empty());
}

INSTANTIATE_TEST_SUITE_P(Presses, StopE2e,
                         ::testing::Values(Press::ArrowKey, Press::LeftClickBelowTheRows),
                         [](const auto &test) {
                             return std::string(test.param == Press::ArrowKey
                                                    ? "ArrowKey"
                                                    : "LeftClickBelowTheRows");
                         });

TEST_F(ListE2e, PointerMotionAndClicksOutsideTheListLeaveTheCountdownRunning) {
    start_with_rows(kThree, 2.5, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    const Area window = window_area(x(), main_);
    const Area list = list_area();
    for (int y = list.y; y < list.y + list.height; y += 7)
        x().move_pointer(list.x + 30, y);
    // On the window's border, and on the countdown label under the list.
    x().move_pointer(window.x + 1, window.y + window.height / 2);
    x().click(1);
    x().move_pointer(window.centre_x(), list.y + list.height + 12);
    x().click(1);
    x().click(3);
    ASSERT_TRUE(started().empty()) << "too late: the countdown ran out first";
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("second-wm")});
}

// The menu acts on the row under the pointer, which the right click selects.
TEST_F(ListE2e, RightClickSelectsTheRowAndOpensTheMenuAtThePointer) {
    start_with_rows(kThree, 0, 0);
    ASSERT_NE(window_with_rows(3), 0u);
    const Window menu = open_menu_on_row(2);
    ASSERT_NE(menu, 0u);
    int px, py;
    pointer_position(x(), &px, &py);
    const Area at = window_area(x(), menu);
    EXPECT_LE(std::abs(at.x - px), 4);
    EXPECT_LE(std::abs(at.y - py), 4);
    x().key("x");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("third-wm")});
}

// Deleting after a right click on another row than the selected one deletes
// the row clicked, and the list saved at quit has the others.
TEST_F(ListE2e, DeleteAfterARightClickOnAnotherRowDeletesThatRow) {
    start_with_rows({"First", "Second"}, 0, 0);
    ASSERT_NE(window_with_rows(2), 0u);
    ASSERT_NE(open_menu_on_row(1), 0u);
    x().key("d");
    x().key("d");
    x().key("Return");
    ASSERT_TRUE(wait_for([&] { return rows().size() == 1; }));
    quit();
    EXPECT_EQ(saved_entries(), std::vector<std::string>{"First=first-wm"});
    EXPECT_EQ(saved_default(), "0");
}

// Below the rows, a right click keeps the selection: the menu acts on it.
TEST_F(ListE2e, RightClickBelowTheRowsKeepsTheSelection) {
    start_with_rows(kThree, 0, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    ASSERT_NE(open_menu_below_rows(), 0u);
    x().key("x");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("second-wm")});
}

TEST_F(ListE2e, SetAsDefaultMakesTheRowTheOnlyDefaultAndTheSavedOne) {
    start_with_rows(kThree, 0, 0);
    ASSERT_NE(window_with_rows(3), 0u);
    ASSERT_NE(open_menu_on_row(2), 0u);
    // "set as _default" and "_delete item" share their letter: the first
    // press picks the first of them, Return chooses it.
    x().key("d");
    x().key("Return");
    const Window box = wait_for_dialog();
    ASSERT_NE(box, 0u) << err();
    EXPECT_EQ(x().title(box), "");
    x().close_window(box);
    ASSERT_TRUE(wait_for([&] { return x().mapped_windows_of_type("DIALOG").empty(); }));

    // The keyboard is back in the list, whose third row alone is the default.
    ASSERT_TRUE(x().wait_for_focus(main_));
    EXPECT_TRUE(wait_for([&] {
        const std::vector<ShownRow> shown = rows();
        return shown.size() == 3 && !shown[0].is_default && !shown[1].is_default &&
               shown[2].is_default;
    })) << "row 3 alone should be the default";
    quit();
    EXPECT_EQ(saved_default(), "2");
    EXPECT_TRUE(started().empty());
}

// The row that takes a deleted row's place is the selected one, or the new
// last row when the last went: Return starts the row the person sees.
TEST_F(ListE2e, AfterADeleteTheRowInItsPlaceIsSelectedAndReturnStartsIt) {
    start_with_rows(kThree, 0, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    const auto delete_selected = [&] {
        x().key("F10", {"Shift_L"});
        ASSERT_NE(wait_for_full_menu(), 0u);
        for (const char *key : {"d", "d", "Return"})
            x().key(key);
        ASSERT_TRUE(wait_until_no_menu());
    };
    delete_selected();
    ASSERT_TRUE(wait_for([&] { return rows().size() == 2 && selected_row() == 1; }))
        << "Third should have taken Second's place, selected";
    delete_selected();
    ASSERT_TRUE(wait_for([&] { return rows().size() == 1 && selected_row() == 0; }))
        << "First, now the last row, should be selected";
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("first-wm")});
}

// Alt+G ticks the go-back button and leaves the keyboard in the list, where
// End then selects the last row and Return starts it, as a child.
TEST_F(ListE2e, AltGTicksGoBackAndTheKeysStayInTheList) {
    start_with_rows(kThree, 0, 0);
    ASSERT_NE(window_with_rows(3), 0u);
    x().key("g", {"Alt_L"});
    x().key("End");
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake("third-wm")});
    // Started as a child: the list comes back.
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(main_); }));
    quit();
    EXPECT_NE(read_file(config_path()).find("restart_quorvane:1\n"), std::string::npos);
}

TEST_F(ListE2e, DeleteRemovesTheRowSilentlyAndTheDefaultWithIt) {
    start_with_rows(kThree, 0, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    ASSERT_NE(open_menu_on_row(1), 0u);
    x().key("d");
    x().key("d");
    x().key("Return");
    ASSERT_TRUE(wait_for([&] { return rows().size() == 2; }));
    EXPECT_FALSE(wait_for_dialog(milliseconds(500)));
    for (const ShownRow &row : rows())
        EXPECT_FALSE(row.is_default) << row.description;
    quit();
    EXPECT_EQ(saved_entries(), (std::vector<std::string>{"First=first-wm", "Third=third-wm"}));
}

// The menu's entries as a screen reader reads them: each one's name and
// whether it can be chosen.
std::map<std::string, bool> menu_entries(AccessibilityReader &reader) {
    std::map<std::string, bool> entries;
    wait_for([&] {
        const std::optional<AccessibleNode> program = reader.read_application("quorvane");
        entries.clear();
        if (program)
            for (const AccessibleNode *item : program->find_all("menu item"))
                if (item->has_state(STATE_SHOWING))
                    entries[item->name] = item->has_state(STATE_ENABLED);
        return entries.size() >= 6;
    });
    return entries;
}

TEST_F(ListE2e, WithNoRowSelectedTheRowEntriesAreGreyedAndDoNothing) {
    // A default position outside the list selects no row, and a right click
    // below the rows selects none either.
    start_with_rows(kThree, 0, -1);
    ASSERT_NE(window_with_rows(3), 0u);
    ASSERT_NE(open_menu_below_rows(), 0u);
    EXPECT_EQ(menu_entries(reader()),
              (std::map<std::string, bool>{{"search for known window managers...", true},
                                           {"add item...", true},
                                           {"execute window manager", false},
                                           {"edit item...", false},
                                           {"set as default", false},
                                           {"delete item", false}}));
    for (const char *key : {"x", "e", "d", "Return"})
        x().key(key);
    EXPECT_FALSE(wait_for_dialog(milliseconds(300)));
    x().key("Escape");
    ASSERT_TRUE(wait_until_no_menu());
    {
        const std::vector<ShownRow> shown = rows();
        EXPECT_EQ(shown.size(), 3u);
        for (const ShownRow &row : shown)
            EXPECT_FALSE(row.is_default) << row.description;
    }
    // The search needs no row.
    ASSERT_NE(open_menu_below_rows(), 0u);
    x().key("s");
    const Window dialog = x().wait_for_viewable(RESULT_TITLE);
    ASSERT_NE(dialog, 0u) << err();
    x().close_window(dialog);
    ASSERT_TRUE(wait_for([&] { return !x().is_viewable(dialog); }));
    quit();
    EXPECT_TRUE(started().empty());
    EXPECT_EQ(saved_entries(),
              (std::vector<std::string>{"First=first-wm", "Second=second-wm", "Third=third-wm"}));
}

// Clicks the middle of a band of a menu window.
void click_band(XClient &x, Window menu, size_t band) {
    const Area area = window_area(x, menu);
    const std::vector<Band> bands = ink_bands(x, area);
    ASSERT_LT(band, bands.size());
    x.move_pointer(area.centre_x(), area.y + bands[band].centre());
    x.click(1);
}

// Clicks the tear-off line above the first entry of an open menu; the window
// the menu then becomes, or 0.
Window tear_off_menu(XClient &x, Window menu) {
    if (menu == 0)
        return 0;
    const Area at = window_area(x, menu);
    x.move_pointer(at.centre_x(), at.y + ink_bands(x, at)[0].top / 2);
    x.click(1);
    Window torn = 0;
    wait_for([&] {
        const std::vector<Window> found = x.mapped_windows_of_type("MENU");
        torn = found.empty() ? 0 : found.front();
        return torn != 0;
    });
    return torn;
}

TEST_F(ListE2e, ATornOffMenuKeepsWorkingWhileOtherMenusComeAndGo) {
    start_with_rows(kThree, 0, 0);
    ASSERT_NE(window_with_rows(3), 0u);
    const size_t windows_before = top_level_window_count(x());
    const Window torn = tear_off_menu(x(), open_menu_on_row(0));
    ASSERT_NE(torn, 0u);
    ASSERT_TRUE(wait_until_no_menu());
    // Away from the list, whose rows the clicks need.
    move_window(x(), torn, 0, 0);
    ASSERT_TRUE(wait_for([&] { return rows().size() == 3; }));

    for (int i = 0; i < 5; ++i) {
        ASSERT_NE(open_menu_on_row(1), 0u);
        x().key("Escape");
        ASSERT_TRUE(wait_until_no_menu());
    }
    ASSERT_TRUE(x().is_viewable(torn));
    // Its own tear-off line comes first, then the six entries: delete the
    // row the last right click selected.
    ASSERT_TRUE(wait_for([&] { return ink_bands(x(), window_area(x(), torn)).size() == 7; }));
    click_band(x(), torn, 6);
    ASSERT_TRUE(wait_for([&] { return rows().size() == 2; }));
    EXPECT_TRUE(x().is_viewable(torn));

    x().close_window(torn);
    ASSERT_TRUE(wait_for([&] { return x().mapped_windows_of_type("MENU").empty(); }));
    EXPECT_TRUE(wait_for([&] { return top_level_window_count(x()) == windows_before; }))
        << top_level_window_count(x()) << " windows, " << windows_before << " before";
    quit();
    EXPECT_EQ(saved_entries(), (std::vector<std::string>{"First=first-wm", "Third=third-wm"}));
}

// In go-back mode the program waits for the window manager and cannot answer:
// a torn-off menu goes with the main window and comes back with it.
TEST_F(ListE2e, ATornOffMenuIsHiddenWhileAGoBackWindowManagerRuns) {
    for (const char *name : {"first-wm", "second-wm"})
        install_fake_wm(name);
    write_config({"First=first-wm", "Second=second-wm"}, 0, 1, 1);
    start({}, {{"FAKE_WM_HOLD", path_of("go")}});
    ASSERT_NE(window_with_rows(2), 0u);
    const Window torn = tear_off_menu(x(), open_menu_on_row(1));
    ASSERT_NE(torn, 0u);
    ASSERT_TRUE(wait_until_no_menu());
    move_window(x(), torn, 0, 0);
    // Its tear-off line, then the entries: execute is the fourth band.
    ASSERT_TRUE(wait_for([&] { return ink_bands(x(), window_area(x(), torn)).size() == 7; }));
    click_band(x(), torn, 3);
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_TRUE(wait_for([&] { return !x().is_viewable(torn) && !x().is_viewable(main_); }))
        << "a window stayed on screen while the window manager ran";
    write_file(path_of("go"), "");
    EXPECT_TRUE(wait_for([&] { return x().is_viewable(torn) && x().is_viewable(main_); }))
        << "the windows did not come back";
    EXPECT_EQ(started(), std::vector<std::string>{fake("second-wm")});
    quit();
}

// A menu goes once closed, and its window with it: one kept costs some 700
// bytes each time. The widget tests see the menu itself released.
TEST_F(ListE2e, AMenuOpenedAndClosedLeavesNoWindowBehind) {
    start_with_rows(kThree, 0, 0);
    ASSERT_NE(window_with_rows(3), 0u);
    const size_t windows = top_level_window_count(x());
    ASSERT_NE(open_menu_on_row(1), 0u);
    x().key("Escape");
    ASSERT_TRUE(wait_until_no_menu());
    // Each popup has a helper window of its own for a moment.
    EXPECT_TRUE(wait_for([&] { return top_level_window_count(x()) == windows; }))
        << "the closed menu left " << top_level_window_count(x()) - windows << " windows";
    quit();
}

} // namespace
