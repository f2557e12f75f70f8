// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/context_menu.h"

#include "app/glib_ptr.h"
#include "mainwin/list_input.h"
#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "wmlist/wm_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The menus that are on screen now, popped up or torn off.
std::vector<GtkWidget *> shown_menus() {
    std::vector<GtkWidget *> menus;
    GList *windows = gtk_window_list_toplevels();
    for (GList *item = windows; item != nullptr; item = item->next) {
        GtkWidget *window = GTK_WIDGET(item->data);
        if (!gtk_widget_get_mapped(window))
            continue;
        GtkWidget *child = gtk_bin_get_child(GTK_BIN(window));
        if (GTK_IS_MENU(child))
            menus.push_back(child);
        else if (GTK_IS_BOX(child)) // a torn-off menu sits in a box with its scroll bar
            for (GtkWidget *part : children_of(child))
                if (GTK_IS_MENU(part))
                    menus.push_back(part);
    }
    g_list_free(windows);
    return menus;
}

class ContextMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        create_main_window(&state);
        state.save_on_exit = 0;
        for (const char *name : {"First", "Second 100%s", "Third"})
            add_wm_row(&state, (std::string(name) + "-wm").c_str(), name);
        gtk_widget_show(state.window);
        ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(state.window); }));
    }
    void TearDown() override {
        for (GtkWidget *box : visible_message_boxes())
            gtk_widget_destroy(box);
        destroy_main_window(&state);
    }

    void unselect() {
        gtk_tree_selection_unselect_all(
            gtk_tree_view_get_selection(GTK_TREE_VIEW(state.tree_view)));
    }
    void mark_default(int index) {
        GtkTreeIter row;
        ASSERT_TRUE(
            gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(state.store.get()), &row, nullptr, index));
        mark_default_row(state.store.get(), &row);
    }
    // Descriptions, with a star on the default row; checks the colours.
    std::vector<std::string> list() {
        std::vector<std::string> lines;
        for (const ListRow &row : read_list_rows(state.store.get())) {
            EXPECT_TRUE(row.is_default ? row.blue : row.black) << row.description;
            lines.push_back(row.description + (row.is_default ? " *" : ""));
        }
        return lines;
    }
    std::vector<std::string> message_texts() {
        std::vector<std::string> texts;
        for (GtkWidget *box : visible_message_boxes())
            texts.push_back(message_box_text(box));
        return texts;
    }

    // Opens the menu the way a right press does, and gives it back.
    GtkWidget *pop_up() {
        const std::vector<GtkWidget *> before = shown_menus();
        popup_context_menu(&state, 3, GDK_CURRENT_TIME);
        std::vector<GtkWidget *> added;
        for (GtkWidget *menu : shown_menus())
            if (std::find(before.begin(), before.end(), menu) == before.end())
                added.push_back(menu);
        EXPECT_EQ(added.size(), 1u);
        return added.empty() ? nullptr : added[0];
    }
    // Chooses an entry of an open menu as a click on it does.
    void choose(GtkWidget *menu, int position) {
        GtkWidget *item = children_of(menu).at(position);
        gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), item, TRUE);
        pump_events();
    }

    AppState state{};
};

enum Position { TEAROFF, SEARCH, ADD, SEPARATOR, EXECUTE, EDIT, SET_DEFAULT, DELETE };

TEST_F(ContextMenuTest, HoldsTheEightEntriesInOrder) {
    struct Entry {
        GType type;
        const char *label;
        const char *stock_id;
    };
    const Entry expected[] = {
        {GTK_TYPE_TEAROFF_MENU_ITEM, nullptr, nullptr},
        {GTK_TYPE_IMAGE_MENU_ITEM, "_search for known window managers...", GTK_STOCK_FIND},
        {GTK_TYPE_IMAGE_MENU_ITEM, "_add item...", GTK_STOCK_ADD},
        {GTK_TYPE_SEPARATOR_MENU_ITEM, nullptr, nullptr},
        {GTK_TYPE_IMAGE_MENU_ITEM, "e_xecute window manager", GTK_STOCK_EXECUTE},
        {GTK_TYPE_IMAGE_MENU_ITEM, "_edit item...", GTK_STOCK_PROPERTIES},
        {GTK_TYPE_MENU_ITEM, "set as _default", nullptr},
        {GTK_TYPE_IMAGE_MENU_ITEM, "_delete item", GTK_STOCK_DELETE},
    };
    GObjectPtr<GtkWidget> menu(create_context_menu(&state));
    g_object_ref_sink(menu.get());
    const std::vector<GtkWidget *> items = children_of(menu.get());
    ASSERT_EQ(items.size(), 8u);
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(G_OBJECT_TYPE(items[i]), expected[i].type);
        if (expected[i].label == nullptr)
            continue;
        GtkWidget *label = gtk_bin_get_child(GTK_BIN(items[i]));
        ASSERT_TRUE(GTK_IS_LABEL(label));
        EXPECT_STREQ(gtk_label_get_label(GTK_LABEL(label)), expected[i].label);
        EXPECT_TRUE(gtk_label_get_use_underline(GTK_LABEL(label)));
        if (expected[i].stock_id == nullptr)
            continue;
        GtkWidget *image = gtk_image_menu_item_get_image(GTK_IMAGE_MENU_ITEM(items[i]));
        ASSERT_TRUE(GTK_IS_IMAGE(image));
        gchar *stock_id = nullptr;
        GtkIconSize size;
        gtk_image_get_stock(GTK_IMAGE(image), &stock_id, &size);
        EXPECT_STREQ(stock_id, expected[i].stock_id);
        EXPECT_EQ(size, GTK_ICON_SIZE_MENU);
    }
    gtk_widget_destroy(menu.get());
}

TEST_F(ContextMenuTest, SetAsDefaultMakesTheSelectedRowTheOnlyDefaultAndSaysSo) {
    mark_default(0);
    select_list_row(state.tree_view, 1);
    choose(pop_up(), SET_DEFAULT);
    EXPECT_EQ(list(), (std::vector<std::string>{"First", "Second 100%s *", "Third"}));
    EXPECT_EQ(message_texts(),
              std::vector<std::string>{"\"Second 100%s\" is now the default window manager"});
    EXPECT_EQ(selected_row_index(state.tree_view), 1);

    // Again on the row that already is the default: it stays, and is said again.
    choose(pop_up(), SET_DEFAULT);
    EXPECT_EQ(list(), (std::vector<std::string>{"First", "Second 100%s *", "Third"}));
    EXPECT_EQ(message_texts().size(), 2u);
}

TEST_F(ContextMenuTest, DeleteRemovesTheSelectedRowWithoutAWord) {
    mark_default(1);
    select_list_row(state.tree_view, 1);
    choose(pop_up(), DELETE);
    EXPECT_EQ(list(), (std::vector<std::string>{"First", "Third"}));
    EXPECT_TRUE(message_texts().empty());
    for (int left = 2; left > 0; --left) {
        select_list_row(state.tree_view, 0);
        choose(pop_up(), DELETE);
    }
    EXPECT_TRUE(list().empty());
}

TEST_F(ContextMenuTest, EntriesForTheSelectedRowDoNothingWithoutOne) {
    mark_default(2);
    unselect();
    for (Position position : {EXECUTE, SET_DEFAULT, DELETE}) {
        SCOPED_TRACE(position);
        choose(pop_up(), position);
        EXPECT_EQ(list(), (std::vector<std::string>{"First", "Second 100%s", "Third *"}));
        EXPECT_TRUE(message_texts().empty());
        EXPECT_TRUE(shown_menus().empty());
    }
}

// Holds on to a menu, to see it destroyed and held by nothing else after.
class MenuWatch {
  public:
    explicit MenuWatch(GtkWidget *menu) : menu_(G_OBJECT(g_object_ref(menu))) {
        g_object_weak_ref(menu_, note_destroyed, &destroyed_);
    }
    ~MenuWatch() { g_object_unref(menu_); }
    MenuWatch(const MenuWatch &) = delete;
    MenuWatch &operator=(const MenuWatch &) = delete;

    bool released() const { return destroyed_ && menu_->ref_count == 1; }
    bool destroyed() const { return destroyed_; }

  private:
    static void note_destroyed(gpointer flag, GObject *) { *static_cast<bool *>(flag) = true; }

    GObject *menu_;
    bool destroyed_ = false;
};

TEST_F(ContextMenuTest, AClosedMenuIsReleased) {
    for (bool chosen : {false, true}) {
        SCOPED_TRACE(chosen);
        GtkWidget *menu = pop_up();
        ASSERT_NE(menu, nullptr);
        MenuWatch watch(menu);
        if (chosen)
            choose(menu, SET_DEFAULT);
        else
            gtk_menu_shell_cancel(GTK_MENU_SHELL(menu));
        EXPECT_TRUE(pump_until([&] { return watch.released(); }));
        EXPECT_TRUE(shown_menus().empty());
    }
}

TEST_F(ContextMenuTest, ATornOffMenuKeepsWorkingUntilItIsPutBackOrClosed) {
    for (bool closed : {false, true}) {
        SCOPED_TRACE(closed);
        GtkWidget *menu = pop_up();
        ASSERT_NE(menu, nullptr);
        MenuWatch watch(menu);
        choose(menu, TEAROFF);
        ASSERT_TRUE(gtk_menu_get_tearoff_state(GTK_MENU(menu)));

        // Other menus come and go meanwhile.
        for (int i = 0; i < 3; ++i)
            gtk_menu_shell_cancel(GTK_MENU_SHELL(pop_up()));
        pump_events();
        EXPECT_EQ(shown_menus(), std::vector<GtkWidget *>{menu});

        select_list_row(state.tree_view, 2);
        choose(menu, SET_DEFAULT);
        choose(menu, SET_DEFAULT);
        EXPECT_EQ(message_texts().size(), 2u);
        EXPECT_FALSE(watch.destroyed());
        EXPECT_EQ(shown_menus(), std::vector<GtkWidget *>{menu});
        // The boxes are modal: while one is up, the torn-off window takes no input.
        for (GtkWidget *box : visible_message_boxes())
            gtk_widget_destroy(box);

        if (closed) {
            GtkWidget *window = gtk_widget_get_toplevel(menu);
            GdkEvent *event = gdk_event_new(GDK_DELETE);
            event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
            gtk_main_do_event(event);
            gdk_event_free(event);
        } else {
            choose(menu, TEAROFF);
        }
        EXPECT_TRUE(pump_until([&] { return watch.released(); }));
        EXPECT_TRUE(shown_menus().empty());
    }
}

class ListPressTest : public ContextMenuTest {
  protected:
    gboolean press(int button, GdkEventType type) {
        state.timeout_id = g_timeout_add(60000, never_fires, nullptr);
        GdkEvent *event = gdk_event_new(type);
        event->button.window =
            GDK_WINDOW(g_object_ref(gtk_tree_view_get_bin_window(GTK_TREE_VIEW(state.tree_view))));
        event->button.button = button;
        event->button.time = GDK_CURRENT_TIME;
        const gboolean used = on_list_button_press(state.tree_view, &event->button, &state);
        gdk_event_free(event);
        EXPECT_EQ(state.timeout_id, 0u) << "any press stops the countdown";
        return used;
    }
};

TEST_F(ListPressTest, OnlyASingleRightPressOpensTheMenuAndIsKeptFromTheView) {
    select_list_row(state.tree_view, 0);
    for (GdkEventType type : {GDK_2BUTTON_PRESS, GDK_3BUTTON_PRESS}) {
        EXPECT_FALSE(press(3, type));
        EXPECT_TRUE(shown_menus().empty());
    }
    EXPECT_FALSE(press(2, GDK_BUTTON_PRESS));
    EXPECT_FALSE(press(1, GDK_BUTTON_PRESS));
    EXPECT_TRUE(shown_menus().empty());

    EXPECT_TRUE(press(3, GDK_BUTTON_PRESS));
    const std::vector<GtkWidget *> menus = shown_menus();
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(children_of(menus[0]).size(), 8u);
    EXPECT_EQ(selected_row_index(state.tree_view), 0);
    gtk_menu_shell_cancel(GTK_MENU_SHELL(menus[0]));
}

} // namespace
