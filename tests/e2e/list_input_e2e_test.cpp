// SPDX-License-Identifier: GPL-2.0-or-later
#include "e2e/dialog_input.h"
#include "e2e/list_e2e_fixture.h"

#include "support/wait.h"

#include <chrono>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const std::vector<std::string> kThree = {"First", "Second", "Third"};

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

// Whether a line of the list area ends in a dark background, as the
// selected row does; every other row is light there, past its text.
bool shows_selected_row(XClient &x, const Area &list) {
    const Area right_end{list.x + list.width - 6, list.y, 1, list.height};
    for (uint32_t pixel : pixels_of(x, right_end)) {
        const int light = ((pixel >> 16) & 0xff) + ((pixel >> 8) & 0xff) + (pixel & 0xff);
        if (light < 3 * 128)
            return true;
    }
    return false;
}

// The countdown leads to the default row: it is in sight however far down
// the list it stands.
TEST_F(ListE2e, TheDefaultRowIsInSightAtStartFarDownALongList) {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i)
        names.push_back("Row" + std::to_string(100 + i));
    start_with_rows(names, 0, 33);
    main_ = main_window();
    ASSERT_NE(main_, 0u) << err();
    const Area list = main_list_area(x(), main_);
    ASSERT_TRUE(wait_until_drawn(x(), list));
    EXPECT_TRUE(wait_for([&] { return shows_selected_row(x(), list); }))
        << "the selected default row is out of sight";
    ASSERT_TRUE(x().wait_for_focus(main_));
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
    const Area list = main_list_area(x(), main_);
    ASSERT_TRUE(x().wait_for_focus(main_));
    if (!by_key) {
        click_row_text(1, 1);
        wait_past_double_click();
    }
    ASSERT_TRUE(area_settles(list));
    const std::vector<uint32_t> before = pixels_of(x(), list);
    if (by_key)
        x().key("F2");
    else
        click_row_text(1, 1);
    ASSERT_TRUE(wait_for([&] { return pixels_of(x(), list) != before; }, seconds(3)))
        << "no editor opened";
    // The editor starts with its whole text selected.
    type_text(x(), "Renamed");
    x().key("Return");
    ASSERT_TRUE(area_settles(list));
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
                     public ::testing::WithParamInterface<std::pair<const char *, const char *>> {};

// The type-ahead finds a description by what the row shows, bytes that are
// not UTF-8 included, and Return there starts the row found.
TEST_P(TypeAheadE2e, TypeAheadThenReturnStartsTheRowFound) {
    start_with_rows({"Alpha", "Beta", "Caf\xe9", "Gamma"}, 0, 0);
    ASSERT_NE(window_with_rows(4), 0u);
    const Area list = main_list_area(x(), main_);
    ASSERT_TRUE(area_settles(list));
    const std::vector<uint32_t> before = pixels_of(x(), list);
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key(GetParam().first);
    ASSERT_TRUE(wait_for([&] { return pixels_of(x(), list) != before; }))
        << "the selection did not move";
    x().key("Return");
    ASSERT_TRUE(wait_for_start(1)) << err();
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(started(), std::vector<std::string>{fake(GetParam().second)});
}

INSTANTIATE_TEST_SUITE_P(Keys, TypeAheadE2e,
                         ::testing::Values(std::pair{"g", "gamma-wm"},
                                           std::pair{"c", "caf\xe9-wm"}),
                         [](const auto &test) { return std::string(test.param.first); });

class MenuByKeyE2e : public ListE2e,
                     public ::testing::WithParamInterface<std::vector<std::string>> {};

// Shift+F10 and the Menu key open the menu at the selected row, and it acts
// on that row.
TEST_P(MenuByKeyE2e, TheMenuOpensAtTheSelectedRowAndExecuteStartsIt) {
    start_with_rows(kThree, 0, 2);
    ASSERT_NE(window_with_rows(3), 0u);
    const Area list = main_list_area(x(), main_);
    const Band selected = rows()[2];
    ASSERT_TRUE(x().wait_for_focus(main_));
    const std::vector<std::string> &keys = GetParam();
    x().key(keys.back(), std::vector<std::string>(keys.begin(), keys.end() - 1));
    Window menu = 0;
    ASSERT_TRUE(wait_for([&] { return (menu = shown_menu()) != 0; }));
    const Area at = window_area(x(), menu);
    EXPECT_GE(at.y, list.y + selected.top - 2);
    EXPECT_LE(at.y, list.y + selected.bottom + 2);
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

// Drags the row by its text to below the last row.
TEST_F(ListE2e, ADraggedRowStaysSelectedAndReturnStartsIt) {
    start_with_rows(kThree, 0, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    const Area list = main_list_area(x(), main_);
    const std::vector<Band> bands = rows();
    x().move_pointer(list.x + 45, list.y + bands[0].centre());
    x().press(1);
    for (int y = bands[0].centre(); y <= bands[2].bottom; y += 4)
        x().move_pointer(list.x + 45, list.y + y);
    // Past the middle of the last row: the row goes after it.
    x().move_pointer(list.x + 46, list.y + bands[2].bottom - 1);
    ASSERT_TRUE(area_settles(list));
    x().release(1);
    ASSERT_TRUE(area_settles(list));
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
    listen_as_screen_reader();
    start_with_rows(kThree, 60, 1);
    ASSERT_NE(window_with_rows(3), 0u);
    const AccessibleNode countdown = countdown_label();
    std::string said = reader().read_name(countdown);
    ASSERT_EQ(said.rfind("Starts Second in ", 0), 0u) << "the countdown is not running: " << said;

    if (GetParam() == Press::ArrowKey) {
        x().key("Down");
    } else {
        const Area list = main_list_area(x(), main_);
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
    const Area list = main_list_area(x(), main_);
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
    const Area list = main_list_area(x(), main_);
    const int pointer_y = list.y + rows()[2].centre();
    const Window menu = open_menu_on_row(2);
    ASSERT_NE(menu, 0u);
    const Area at = window_area(x(), menu);
    EXPECT_LE(std::abs(at.x - (list.x + 10)), 4);
    EXPECT_LE(std::abs(at.y - pointer_y), 4);
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

TEST_F(ListE2e, SetAsDefaultMakesTheRowTheOnlyBlueOneAndTheSavedDefault) {
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

    // The keyboard is back in the list. The selected row shows in the
    // selection's colours: move away to see it.
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("Up");
    ASSERT_TRUE(wait_for([&] {
        const std::vector<Band> bands = rows();
        return bands.size() == 3 && !bands[0].blue && !bands[1].blue && bands[2].blue;
    })) << "row 3 alone should be blue";
    x().key("Up");
    ASSERT_TRUE(wait_for([&] {
        const std::vector<Band> bands = rows();
        return bands.size() == 3 && !bands[1].blue && bands[2].blue;
    }));
    quit();
    EXPECT_EQ(saved_default(), "2");
    EXPECT_TRUE(started().empty());
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
    // Neither of the rows left is blue, whichever of them is selected.
    ASSERT_TRUE(x().wait_for_focus(main_));
    for (const char *key : {"Home", "End"}) {
        x().key(key);
        EXPECT_TRUE(area_settles(window_area(x(), main_)));
        for (const Band &band : rows())
            EXPECT_FALSE(band.blue) << key;
    }
    quit();
    EXPECT_EQ(saved_entries(), (std::vector<std::string>{"First=first-wm", "Third=third-wm"}));
}

TEST_F(ListE2e, WithNoRowSelectedTheRowEntriesDoNothing) {
    // A default position outside the list selects no row, and a right click
    // below the rows selects none either.
    start_with_rows(kThree, 0, -1);
    ASSERT_NE(window_with_rows(3), 0u);
    const std::vector<std::vector<std::string>> choices = {
        {"x"}, {"e"}, {"d", "Return"}, {"d", "d", "Return"}};
    for (const auto &keys : choices) {
        SCOPED_TRACE(keys.size() == 1 ? keys[0] : keys[0] + std::to_string(keys.size()));
        ASSERT_NE(open_menu_below_rows(), 0u);
        for (const std::string &key : keys)
            x().key(key);
        ASSERT_TRUE(wait_until_no_menu());
        EXPECT_FALSE(wait_for_dialog(milliseconds(300)));
        EXPECT_TRUE(area_settles(window_area(x(), main_)));
        EXPECT_EQ(rows().size(), 3u);
        for (const Band &band : rows())
            EXPECT_FALSE(band.blue);
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
    // Away from the list, whose rows are read from the screen.
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
// bytes each time. The widget tests see the menu itself released, and
// bench/menu-memory follows the memory over hundreds of menus.
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
