#include "mainwin/main_window.h"

#include "app/glib_ptr.h"
#include "app/legacy_gtk.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "wmlist/wm_list.h"

#include <gtest/gtest.h>
// After GoogleTest: Xlib's macros clash with its names.
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

#include <cstdlib>

#include <string>
#include <vector>

namespace {

std::vector<GtkWidget *> children_of(GtkWidget *container) {
    std::vector<GtkWidget *> result;
    GList *list = gtk_container_get_children(GTK_CONTAINER(container));
    for (GList *item = list; item != nullptr; item = item->next)
        result.push_back(GTK_WIDGET(item->data));
    g_list_free(list);
    return result;
}

gboolean never_fires(gpointer) {
    return TRUE;
}

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

TEST_F(MainWindowTest, IsBuiltHiddenWithItsContentsReady) {
    EXPECT_FALSE(gtk_widget_get_visible(state.window));
    for (GtkWidget *widget : {scrolled, label, check, button_row, quit, prefs, state.tree_view})
        EXPECT_TRUE(gtk_widget_get_visible(widget));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(state.window)), "quorvane 0.4.1");
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
    Display *dpy = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    GdkWindow *bin = gtk_tree_view_get_bin_window(GTK_TREE_VIEW(state.tree_view));
    gint origin_x, origin_y;
    gdk_window_get_origin(bin, &origin_x, &origin_y);
    GdkRectangle first, last;
    GtkTreePath *path = gtk_tree_path_new_from_indices(0, -1);
    gtk_tree_view_get_background_area(GTK_TREE_VIEW(state.tree_view), path, nullptr, &first);
    gtk_tree_path_free(path);
    path = gtk_tree_path_new_from_indices(2, -1);
    gtk_tree_view_get_background_area(GTK_TREE_VIEW(state.tree_view), path, nullptr, &last);
    gtk_tree_path_free(path);

    const int x = origin_x + 60;
    auto move = [&](int y) {
        XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
        XSync(dpy, False);
        pump_events();
    };
    move(origin_y + first.y + first.height / 2);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XSync(dpy, False);
    pump_events();
    for (int y = first.y + first.height / 2; y <= last.y + last.height - 2; y += 4)
        move(origin_y + y);
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    XSync(dpy, False);

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

TEST_F(MainWindowTest, DescriptionEditsInPlaceIntoItsOwnColumn) {
    add_rows(2);
    show_and_settle();
    GtkTreeViewColumn *column = gtk_tree_view_get_column(GTK_TREE_VIEW(state.tree_view), 1);
    GtkTreePath *path = gtk_tree_path_new_from_indices(1, -1);
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(state.tree_view), path, column, TRUE);
    gtk_tree_path_free(path);
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

TEST_F(MainWindowTest, GoBackToggleStopsTheCountdownAndSetsRestart) {
    for (const gboolean active : {gboolean(TRUE), gboolean(FALSE)}) {
        state.timeout_id = add_legacy_timeout(60000, never_fires, nullptr);
        const guint pending = state.timeout_id;
        gtk_label_set_text(GTK_LABEL(state.countdown_label), "7.5");
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(goback), active);
        EXPECT_EQ(state.timeout_id, 0u);
        EXPECT_EQ(g_main_context_find_source_by_id(nullptr, pending), nullptr);
        EXPECT_EQ(state.restart, active ? 1 : 0);
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(state.countdown_label)), "7.5");
    }
}

} // namespace
