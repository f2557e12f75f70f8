// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/main_window.h"

#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "app/version.h"
#include "dialogs/modal_script.h"
#include "mainwin/countdown.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "wmlist/wm_list.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include <string>
#include <vector>

namespace {

// Wider than the window, so that the list must scroll sideways.
const char kLongDescription[] =
    "A window manager whose description runs on far past the right edge of the list";

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state.save_on_exit = 0;
        goback = create_main_window(&state);
        GtkWidget *vbox = gtk_bin_get_child(GTK_BIN(state.window));
        const std::vector<GtkWidget *> parts = children_of(vbox);
        ASSERT_EQ(parts.size(), 4u);
        scrolled = parts[0];
        label = parts[1];
        check = parts[2];
        button_row = parts[3];
        const std::vector<GtkWidget *> buttons = children_of(button_row);
        ASSERT_EQ(buttons.size(), 2u);
        quit = buttons[0];
        prefs = buttons[1];
    }
    void TearDown() override { destroy_main_window(&state); }

    void show_and_settle() {
        gtk_widget_show(state.window);
        ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(state.window); }));
    }

    GtkAllocation allocation(GtkWidget *widget) {
        GtkAllocation a;
        gtk_widget_get_allocation(widget, &a);
        return a;
    }
    GtkRequisition requisition(GtkWidget *widget) {
        GtkRequisition r;
        gtk_widget_size_request(widget, &r);
        return r;
    }

    void add_rows(int count) {
        for (int i = 0; i < count; ++i) {
            const std::string name = "wm" + std::to_string(i);
            add_wm_row(&state, name.c_str(), name.c_str());
        }
    }

    AppState state{};
    GtkWidget *goback = nullptr;
    GtkWidget *scrolled = nullptr, *label = nullptr, *check = nullptr, *button_row = nullptr;
    GtkWidget *quit = nullptr, *prefs = nullptr;
};

// F2 on the list, as the keyboard sends it: it edits the selected row.
void press_f2(GtkWidget *view) {
    GdkEvent *f2 = gdk_event_new(GDK_KEY_PRESS);
    f2->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(view)));
    f2->key.keyval = GDK_F2;
    f2->key.time = GDK_CURRENT_TIME;
    gtk_widget_event(view, f2);
    gdk_event_free(f2);
}

TEST_F(MainWindowTest, IsBuiltHiddenWithItsContentsReady) {
    EXPECT_FALSE(gtk_widget_get_visible(state.window));
    for (GtkWidget *widget : {scrolled, label, check, button_row, quit, prefs, state.tree_view})
        EXPECT_TRUE(gtk_widget_get_visible(widget));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(state.window)), "quorvane " QUORVANE_VERSION);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(state.countdown_label)), "");
    EXPECT_EQ(state.countdown_label, label);
    EXPECT_EQ(goback, check);
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(goback)));
    EXPECT_EQ(gtk_tree_model_get_n_columns(GTK_TREE_MODEL(state.store.get())), WM_N_COLUMNS);
    EXPECT_EQ(gtk_tree_view_get_model(GTK_TREE_VIEW(state.tree_view)),
              GTK_TREE_MODEL(state.store.get()));
    EXPECT_FALSE(gtk_tree_view_get_headers_visible(GTK_TREE_VIEW(state.tree_view)));
}

TEST_F(MainWindowTest, ListTakesAllExtraHeightAndButtonsShareExtraWidth) {
    add_rows(2);
    show_and_settle();
    const GtkAllocation list_before = allocation(scrolled);
    const GtkAllocation window_before = allocation(state.window);

    gtk_window_resize(GTK_WINDOW(state.window), window_before.width + 301,
                      window_before.height + 200);
    ASSERT_TRUE(pump_until([&] { return allocation(state.window).height > window_before.height; }));
    const GtkAllocation window_after = allocation(state.window);
    const int grown = window_after.height - window_before.height;
    EXPECT_EQ(allocation(scrolled).height - list_before.height, grown);
    for (GtkWidget *fixed : {label, check, button_row})
        EXPECT_EQ(allocation(fixed).height, requisition(fixed).height);
    for (GtkWidget *child : {scrolled, label, check, button_row})
        EXPECT_EQ(allocation(child).width, window_after.width - 2 * 2);

    const int quit_extra = allocation(quit).width - requisition(quit).width;
    const int prefs_extra = allocation(prefs).width - requisition(prefs).width;
    EXPECT_GT(quit_extra, 100);
    EXPECT_LE(std::abs(quit_extra - prefs_extra), 1);
}

TEST_F(MainWindowTest, ListAreaIsNeverSmallerThan150) {
    show_and_settle();
    gtk_window_resize(GTK_WINDOW(state.window), 1, 1);
    pump_events();
    ASSERT_TRUE(pump_until([&] { return allocation(scrolled).height > 0; }));
    EXPECT_GE(allocation(scrolled).width, 150);
    EXPECT_GE(allocation(scrolled).height, 150);
}

TEST_F(MainWindowTest, OneRowSelectableAtATime) {
    add_rows(3);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(state.tree_view));
    GtkTreePath *first = gtk_tree_path_new_from_indices(0, -1);
    GtkTreePath *last = gtk_tree_path_new_from_indices(2, -1);
    gtk_tree_selection_select_path(selection, first);
    gtk_tree_selection_select_path(selection, last);
    EXPECT_EQ(gtk_tree_selection_count_selected_rows(selection), 1);
    EXPECT_TRUE(gtk_tree_selection_path_is_selected(selection, last));
    gtk_tree_path_free(first);
    gtk_tree_path_free(last);
}

// A real drag through the X server: press on the first row, move below the
// last one, release.
TEST_F(MainWindowTest, RowCanBeDraggedToAnotherPlace) {
    add_rows(3);
    show_and_settle();
    drag_list_row(state.tree_view, 0, 2);

    auto first_command = [&] {
        GtkTreeIter row;
        gtk_tree_model_get_iter_first(GTK_TREE_MODEL(state.store.get()), &row);
        gchar *command = nullptr;
        gtk_tree_model_get(GTK_TREE_MODEL(state.store.get()), &row, COL_COMMAND, &command, -1);
        return std::string(GCharPtr(command).get());
    };
    EXPECT_TRUE(pump_until([&] { return first_command() == "wm1"; }));
    EXPECT_EQ(gtk_tree_model_iter_n_children(GTK_TREE_MODEL(state.store.get()), nullptr), 3);
}

// F2 edits the selected row's description; the view never opens the editor
// by itself, since a press on the selected row may be half a double click.
TEST_F(MainWindowTest, DescriptionEditsInPlaceIntoItsOwnColumn) {
    add_rows(2);
    show_and_settle();
    GtkTreeViewColumn *column = gtk_tree_view_get_column(GTK_TREE_VIEW(state.tree_view), 1);
    GtkTreePath *path = gtk_tree_path_new_from_indices(1, -1);
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(state.tree_view), path, column, TRUE);
    gtk_tree_path_free(path);
    pump_events();
    EXPECT_FALSE(GTK_IS_ENTRY(gtk_window_get_focus(GTK_WINDOW(state.window))));

    press_f2(state.tree_view);
    GtkWidget *editor = nullptr;
    ASSERT_TRUE(pump_until([&] {
        editor = gtk_window_get_focus(GTK_WINDOW(state.window));
        return editor != nullptr && GTK_IS_ENTRY(editor);
    }));
    gtk_entry_set_text(GTK_ENTRY(editor), "Renamed");
    gtk_widget_activate(editor);
    pump_events();

    GtkTreeIter row;
    ASSERT_TRUE(gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(state.store.get()), &row, nullptr, 1));
    gchar *description = nullptr, *command = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(state.store.get()), &row, COL_DESCRIPTION, &description,
                       COL_COMMAND, &command, -1);
    GCharPtr d(description), c(command);
    EXPECT_STREQ(d.get(), "Renamed");
    EXPECT_STREQ(c.get(), "wm1");
}

// Bytes that are not UTF-8 reach neither the cell nor its editor; an edit
// left as it was shown keeps them, and a changed one is stored as typed.
TEST_F(MainWindowTest, DescriptionOfOtherBytesIsShownAndEditedConverted) {
    add_wm_row(&state, "/opt/wm-caf\xe9", "Caf\xe9");
    show_and_settle();
    GtkTreeViewColumn *column = gtk_tree_view_get_column(GTK_TREE_VIEW(state.tree_view), 1);
    auto description = [&] {
        GtkTreeIter row;
        gtk_tree_model_get_iter_first(GTK_TREE_MODEL(state.store.get()), &row);
        gchar *text = nullptr;
        gtk_tree_model_get(GTK_TREE_MODEL(state.store.get()), &row, COL_DESCRIPTION, &text, -1);
        return std::string(GCharPtr(text).get());
    };
    for (const char *typed : {static_cast<const char *>(nullptr), "Caf\xef\xbf\xbd!"}) {
        SCOPED_TRACE(typed != nullptr ? typed : "left as shown");
        GtkTreePath *path = gtk_tree_path_new_first();
        gtk_tree_view_set_cursor(GTK_TREE_VIEW(state.tree_view), path, column, FALSE);
        gtk_tree_path_free(path);
        press_f2(state.tree_view);
        GtkWidget *editor = nullptr;
        ASSERT_TRUE(pump_until([&] {
            editor = gtk_window_get_focus(GTK_WINDOW(state.window));
            return editor != nullptr && GTK_IS_ENTRY(editor);
        }));
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(editor)), "Caf\xef\xbf\xbd");
        if (typed != nullptr)
            gtk_entry_set_text(GTK_ENTRY(editor), typed);
        gtk_widget_activate(editor);
        pump_events();
        EXPECT_EQ(description(), typed == nullptr ? "Caf\xe9" : typed);
    }
}

// The end of a description wider than the window is reachable with the
// horizontal scrollbar; one longer than a screen is shown cut, and the list
// is as wide as what it shows, not as the whole text.
struct LongDescription {
    const char *name;
    std::string description;
    std::string shown;
};

class LongDescriptionTest : public MainWindowTest,
                            public ::testing::WithParamInterface<LongDescription> {};

TEST_P(LongDescriptionTest, ItsShownEndIsReachableWithTheHorizontalScrollbar) {
    add_rows(40);
    add_wm_row(&state, "long", GetParam().description.c_str());
    show_and_settle();
    GtkAdjustment *across = gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(scrolled));
    ASSERT_TRUE(pump_until(
        [&] { return gtk_adjustment_get_upper(across) > gtk_adjustment_get_page_size(across); }));

    GObjectPtr<PangoLayout> layout(
        gtk_widget_create_pango_layout(state.tree_view, GetParam().shown.c_str()));
    int text_width = 0;
    pango_layout_get_pixel_size(layout.get(), &text_width, nullptr);
    gtk_adjustment_set_value(across, gtk_adjustment_get_upper(across) -
                                         gtk_adjustment_get_page_size(across));
    pump_events();
    GdkRectangle cell;
    const TreePathPtr path(gtk_tree_path_new_from_indices(40, -1));
    gtk_tree_view_get_cell_area(GTK_TREE_VIEW(state.tree_view), path.get(),
                                gtk_tree_view_get_column(GTK_TREE_VIEW(state.tree_view), 1), &cell);
    // Scrolled to the end, the shown text's last pixel is in view, and the
    // list ends within a cell's padding after it.
    GdkRectangle visible;
    gtk_tree_view_get_visible_rect(GTK_TREE_VIEW(state.tree_view), &visible);
    EXPECT_GT(visible.x, 0);
    EXPECT_LE(cell.x + text_width, visible.x + visible.width);
    EXPECT_LT(gtk_adjustment_get_upper(across), cell.x + text_width + 20);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, LongDescriptionTest,
    ::testing::Values(LongDescription{"WiderThanTheWindow", kLongDescription, kLongDescription},
                      LongDescription{"LongerThanAScreen", std::string(3000, 'x'),
                                      std::string(1000, 'x') + "\u2026"}),
    [](const ::testing::TestParamInfo<LongDescription> &param_info) {
        return std::string(param_info.param.name);
    });

TEST_F(MainWindowTest, GoBackToggleStopsTheCountdownAndSetsRestart) {
    for (const gboolean active : {gboolean(TRUE), gboolean(FALSE)}) {
        state.timeout_id = g_timeout_add(60000, never_fires, nullptr);
        const guint pending = state.timeout_id;
        gtk_label_set_text(GTK_LABEL(state.countdown_label), "7.5");
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(goback), active);
        EXPECT_EQ(state.timeout_id, 0u);
        EXPECT_EQ(g_main_context_find_source_by_id(nullptr, pending), nullptr);
        EXPECT_EQ(state.restart, active ? 1 : 0);
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(state.countdown_label)), "7.5");
    }
}

// The Preferences button stops the countdown before its window shows, and
// closing the window by any means leaves it stopped.
TEST_F(MainWindowTest, PreferencesButtonStopsTheCountdownForGood) {
    add_rows(1);
    state.delay = 15;
    start_countdown(&state, 1);
    ASSERT_NE(state.timeout_id, 0u);
    guint running_when_shown = 1;
    ModalScript script({[&] {
        GtkWidget *window = shown_window(tr("Preferences"));
        if (window == nullptr)
            return false;
        running_when_shown = state.timeout_id;
        gtk_widget_destroy(window);
        return true;
    }});
    gtk_button_clicked(GTK_BUTTON(prefs));
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(running_when_shown, 0u) << "the countdown ran while the window was up";
    EXPECT_EQ(state.timeout_id, 0u);
}

} // namespace
