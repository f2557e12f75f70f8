// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/context_menu.h"

#include "app/glib_ptr.h"
#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "wmlist/wm_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

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
        GtkWidget *menu = pop_up_list_menu(&state);
        EXPECT_NE(menu, nullptr) << "no menu came up";
        return menu;
    }

    AppState state{};
};

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
    GtkWidget *menu = pop_up();
    ASSERT_NE(menu, nullptr);
    const std::vector<GtkWidget *> items = children_of(menu);
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
    gtk_menu_shell_cancel(GTK_MENU_SHELL(menu));
}

TEST_F(ContextMenuTest, SetAsDefaultMakesTheSelectedRowTheOnlyDefaultAndSaysSo) {
    mark_default(0);
    select_list_row(state.tree_view, 1);
    choose_menu_entry(pop_up(), MENU_SET_DEFAULT);
    EXPECT_EQ(list(), (std::vector<std::string>{"First", "Second 100%s *", "Third"}));
    EXPECT_EQ(message_texts(),
              std::vector<std::string>{"\"Second 100%s\" is now the default window manager"});
    EXPECT_EQ(selected_row_index(state.tree_view), 1);

    // Again on the row that already is the default: it stays, and is said again.
    choose_menu_entry(pop_up(), MENU_SET_DEFAULT);
    EXPECT_EQ(list(), (std::vector<std::string>{"First", "Second 100%s *", "Third"}));
    EXPECT_EQ(message_texts().size(), 2u);
}

TEST_F(ContextMenuTest, DeleteRemovesTheSelectedRowWithoutAWord) {
    mark_default(1);
    select_list_row(state.tree_view, 1);
    choose_menu_entry(pop_up(), MENU_DELETE);
    EXPECT_EQ(list(), (std::vector<std::string>{"First", "Third"}));
    EXPECT_TRUE(message_texts().empty());
    for (int left = 2; left > 0; --left) {
        select_list_row(state.tree_view, 0);
        choose_menu_entry(pop_up(), MENU_DELETE);
    }
    EXPECT_TRUE(list().empty());
}

TEST_F(ContextMenuTest, EntriesForTheSelectedRowDoNothingWithoutOne) {
    mark_default(2);
    unselect();
    for (ListMenuEntry position : {MENU_EXECUTE, MENU_SET_DEFAULT, MENU_DELETE}) {
        SCOPED_TRACE(position);
        choose_menu_entry(pop_up(), position);
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
            choose_menu_entry(menu, MENU_SET_DEFAULT);
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
        choose_menu_entry(menu, MENU_TEAROFF);
        ASSERT_TRUE(gtk_menu_get_tearoff_state(GTK_MENU(menu)));

        // Other menus come and go meanwhile.
        for (int i = 0; i < 3; ++i)
            gtk_menu_shell_cancel(GTK_MENU_SHELL(pop_up()));
        pump_events();
        EXPECT_EQ(shown_menus(), std::vector<GtkWidget *>{menu});

        select_list_row(state.tree_view, 2);
        choose_menu_entry(menu, MENU_SET_DEFAULT);
        choose_menu_entry(menu, MENU_SET_DEFAULT);
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
            choose_menu_entry(menu, MENU_TEAROFF);
        }
        EXPECT_TRUE(pump_until([&] { return watch.released(); }));
        EXPECT_TRUE(shown_menus().empty());
    }
}

class ListPressTest : public ContextMenuTest {
  protected:
    // Presses in the list as the toolkit hands it a press, through its
    // "button-press-event"; true when the program's handler kept the press
    // from the view, whose own handling a handler connected after the
    // program's stands in for.
    bool press(int button, GdkEventType type) {
        state.timeout_id = g_timeout_add(60000, never_fires, nullptr);
        bool reached_view = false;
        const gulong view_stand_in = g_signal_connect(
            state.tree_view, "button-press-event",
            G_CALLBACK(+[](GtkWidget *, GdkEventButton *, gpointer reached) -> gboolean {
                *static_cast<bool *>(reached) = true;
                return TRUE;
            }),
            &reached_view);
        GdkEvent *event = gdk_event_new(type);
        event->button.window =
            GDK_WINDOW(g_object_ref(gtk_tree_view_get_bin_window(GTK_TREE_VIEW(state.tree_view))));
        event->button.button = button;
        event->button.time = GDK_CURRENT_TIME;
        gtk_widget_event(state.tree_view, event);
        gdk_event_free(event);
        g_signal_handler_disconnect(state.tree_view, view_stand_in);
        EXPECT_EQ(state.timeout_id, 0u) << "any press stops the countdown";
        return !reached_view;
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
