// SPDX-License-Identifier: GPL-2.0-or-later
// The main window as a screen reader reads it: the accessible objects that
// the toolkit's accessibility module makes, read in the test process.
#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "mainwin/countdown.h"
#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "wmlist/wm_list.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace {

class AccessibilityTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(load_accessibility_module()); }

    void SetUp() override {
        state.save_on_exit = 0;
        create_main_window(&state);
        for (const char *name : {"Alpha", "Beta", "Gamma"})
            add_wm_row(&state, (std::string(name) + "-wm").c_str(), name);
    }
    void TearDown() override {
        stop_countdown(&state);
        for (GtkWidget *box : visible_message_boxes())
            gtk_widget_destroy(box);
        destroy_main_window(&state);
    }

    AtkObject *list() { return gtk_widget_get_accessible(state.tree_view); }
    // The accessible cell of a row, in the icon column (0) or the description's (1).
    GObjectPtr<AtkObject> cell(int row, int column) {
        return GObjectPtr<AtkObject>(atk_table_ref_at(ATK_TABLE(list()), row, column));
    }
    GtkTreeIter row(int index) {
        GtkTreeIter it;
        EXPECT_TRUE(
            gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(state.store.get()), &it, nullptr, index));
        return it;
    }
    void make_default(int index) {
        GtkTreeIter it = row(index);
        clear_default_marks(state.store.get());
        mark_default_row(state.store.get(), &it);
    }

    // Each row as its description's cell says it, "name: description", after
    // checking that its icon says nothing, nor is shown to a screen reader,
    // which would say "image".
    std::vector<std::string> rows_read() {
        std::vector<std::string> read;
        for (int i = 0; i < atk_table_get_n_rows(ATK_TABLE(list())); ++i) {
            const GObjectPtr<AtkObject> icon = cell(i, 0);
            const GObjectPtr<AtkObject> text = cell(i, 1);
            EXPECT_EQ(accessible_name(icon.get()), "") << i;
            EXPECT_EQ(accessible_description(icon.get()), "") << i;
            EXPECT_FALSE(has_state(icon.get(), ATK_STATE_SHOWING)) << i;
            read.push_back(accessible_name(text.get()) + ": " + accessible_description(text.get()));
        }
        return read;
    }

    AppState state{};
};

TEST_F(AccessibilityTest, TheListIsNamedAndEveryCellSaysItsRowWhenRead) {
    make_default(1);
    EXPECT_EQ(accessible_name(list()), "Window managers");
    EXPECT_EQ(atk_object_get_role(list()), ATK_ROLE_TABLE);
    EXPECT_EQ(rows_read(), (std::vector<std::string>{"Alpha: Alpha-wm", "Beta: Default: Beta-wm",
                                                     "Gamma: Gamma-wm"}));

    // A cell read before follows its row; whichever cell is read says the
    // row it shows now.
    const GObjectPtr<AtkObject> alpha = cell(0, 1);
    GtkTreeIter first = row(0);
    GtkTreeIter last = row(2);
    gtk_list_store_move_after(state.store.get(), &first, &last);
    EXPECT_EQ(accessible_name(alpha.get()), "Alpha");
    set_wm_row_texts(state.store.get(), &first, "/opt/alpha",
                     "Alpha \xe9"
                     "dition");
    EXPECT_EQ(rows_read(), (std::vector<std::string>{"Beta: Default: Beta-wm", "Gamma: Gamma-wm",
                                                     "Alpha \xef\xbf\xbd"
                                                     "dition: /opt/alpha"}))
        << "a text that is not UTF-8 is said as it is shown";
    EXPECT_EQ(accessible_name(alpha.get()), "Alpha \xef\xbf\xbd"
                                            "dition");

    // The selected row's cells are selected, and the cursor's is focused.
    select_list_row(state.tree_view, 1);
    EXPECT_TRUE(has_state(cell(1, 0).get(), ATK_STATE_SELECTED));
    EXPECT_TRUE(has_state(cell(1, 1).get(), ATK_STATE_SELECTED));
    EXPECT_FALSE(has_state(cell(0, 1).get(), ATK_STATE_SELECTED));

    // A cell whose row has gone does not say another row.
    GtkTreeIter alpha_row = row(2);
    gtk_list_store_remove(state.store.get(), &alpha_row);
    EXPECT_NE(accessible_name(alpha.get()), "Gamma");
    EXPECT_NE(accessible_name(alpha.get()), "Beta");
}

// The description names the default as the marks move, the default row is
// edited, dragged or deleted, and rows come and go.
TEST_F(AccessibilityTest, TheListNamesTheDefaultAndFollowsItsChanges) {
    EXPECT_EQ(accessible_description(list()), "") << "no default yet";
    make_default(2);
    EXPECT_EQ(accessible_description(list()), "The default is Gamma");

    // From the menu, after which the message box is closed.
    select_list_row(state.tree_view, 0);
    choose_menu_entry(pop_up_list_menu(&state), MENU_SET_DEFAULT);
    for (GtkWidget *box : visible_message_boxes())
        gtk_widget_destroy(box);
    EXPECT_EQ(accessible_description(list()), "The default is Alpha");
    EXPECT_EQ(rows_read(), (std::vector<std::string>{"Alpha: Default: Alpha-wm", "Beta: Beta-wm",
                                                     "Gamma: Gamma-wm"}));

    GtkTreeIter alpha = row(0);
    set_wm_row_texts(state.store.get(), &alpha, "Alpha-wm", "Alpha II");
    EXPECT_EQ(accessible_description(list()), "The default is Alpha II");
    GtkTreeIter beta = row(1);
    set_wm_row_texts(state.store.get(), &beta, "Beta-wm", "Beta II");
    EXPECT_EQ(accessible_description(list()), "The default is Alpha II");
    add_wm_row(&state, "Delta-wm", "Delta");
    EXPECT_EQ(accessible_description(list()), "The default is Alpha II");

    // A real drag of the default row to the end.
    gtk_widget_show(state.window);
    ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(state.window); }));
    drag_list_row(state.tree_view, 0, 3);
    ASSERT_TRUE(pump_until([&] { return read_list_rows(state.store.get())[3].is_default; }));
    EXPECT_EQ(accessible_description(list()), "The default is Alpha II");
    EXPECT_EQ(rows_read(),
              (std::vector<std::string>{"Beta II: Beta-wm", "Gamma: Gamma-wm", "Delta: Delta-wm",
                                        "Alpha II: Default: Alpha-wm"}));

    GtkTreeIter gamma = row(1);
    gtk_list_store_remove(state.store.get(), &gamma);
    EXPECT_EQ(accessible_description(list()), "The default is Alpha II");
    select_list_row(state.tree_view, 2);
    choose_menu_entry(pop_up_list_menu(&state), MENU_DELETE);
    EXPECT_EQ(accessible_description(list()), "") << "the default has gone";
    EXPECT_EQ(rows_read(), (std::vector<std::string>{"Beta II: Beta-wm", "Delta: Delta-wm"}));
}

// Drives the real tick by hand, as the timer would; each new name that the
// countdown takes, with the label's text at that tick.
std::vector<std::string> names_over_ticks(AppState *state, int ticks) {
    AtkObject *countdown = gtk_widget_get_accessible(state->countdown_label);
    std::vector<std::string> said;
    std::string last = accessible_name(countdown);
    for (int i = 0; i < ticks; ++i) {
        on_countdown_tick(state);
        const std::string name = accessible_name(countdown);
        if (name != last)
            said.push_back(name + " @" + gtk_label_get_text(GTK_LABEL(state->countdown_label)));
        last = name;
    }
    return said;
}

TEST_F(AccessibilityTest, TheCountdownSaysWhatStartsInWholeSecondsAndWhenItStops) {
    AtkObject *countdown = gtk_widget_get_accessible(state.countdown_label);
    select_list_row(state.tree_view, 1);
    state.delay = 2.5;
    start_countdown(&state, 3);
    EXPECT_EQ(accessible_name(countdown), "Starts Beta in 3 seconds")
        << "said before the first tick";
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(state.countdown_label)), "");

    // A new name once a second, on the tick that reaches a whole second,
    // while the label shows every tenth.
    EXPECT_EQ(names_over_ticks(&state, 24),
              (std::vector<std::string>{"Starts Beta in 2 seconds @2.0",
                                        "Starts Beta in 1 second @1.0"}));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(state.countdown_label)), "0.1");

    // The go-back box stops it, as every stop does.
    GtkWidget *vbox = gtk_bin_get_child(GTK_BIN(state.window));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(children_of(vbox)[2]), TRUE);
    EXPECT_EQ(state.timeout_id, 0u);
    EXPECT_EQ(accessible_name(countdown), "Countdown stopped");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(state.countdown_label)), "0.1");
}

// In the build's catalogues, as the language counts: Russian has three forms,
// and French says one second as it says zero.
TEST_F(AccessibilityTest, TheCountdownCountsInTheLanguagesOwnPluralForms) {
    struct Case {
        const char *locale;
        double delay;
        const char *name;
    };
    const Case cases[] = {
        {"ru_RU.UTF-8", 1, "Beta запустится через 1 секунду"},
        {"ru_RU.UTF-8", 3, "Beta запустится через 3 секунды"},
        {"ru_RU.UTF-8", 5, "Beta запустится через 5 секунд"},
        {"ru_RU.UTF-8", 21, "Beta запустится через 21 секунду"},
        {"fr_FR.UTF-8", 1, "Lance Beta dans 1 seconde"},
        {"fr_FR.UTF-8", 2, "Lance Beta dans 2 secondes"},
        {"ja_JP.UTF-8", 2, "Beta を 2 秒後に起動します"},
    };
    for (const Case &c : cases) {
        const bool generated = setlocale(LC_ALL, c.locale) != nullptr;
        setlocale(LC_ALL, "C");
        if (!generated)
            GTEST_SKIP() << "the locale " << c.locale
                         << " is not generated (scripts/test generates it)";
    }
    AtkObject *countdown = gtk_widget_get_accessible(state.countdown_label);
    select_list_row(state.tree_view, 1);
    bindtextdomain(QUORVANE_TEXT_DOMAIN, BUILD_LOCALE_DIR);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        setlocale(LC_ALL, c.locale);
        state.delay = c.delay;
        start_countdown(&state, 3);
        EXPECT_EQ(accessible_name(countdown), c.name);
        stop_countdown(&state);
    }
    setlocale(LC_ALL, "C");
    bindtextdomain(QUORVANE_TEXT_DOMAIN, QUORVANE_LOCALE_DIR);
}

// The row the countdown will start says so after its command, which is what
// a screen reader says with the row as the window opens, and in Where Am I.
TEST_F(AccessibilityTest, TheRowTheCountdownStartsSaysWhenAndHowToStopIt) {
    make_default(1);
    select_list_row(state.tree_view, 1);
    state.delay = 3;
    start_countdown(&state, 3);
    EXPECT_EQ(rows_read(), (std::vector<std::string>{
                               "Alpha: Alpha-wm",
                               "Beta: Default: Beta-wm. Starts in 3 seconds. Any key stops it.",
                               "Gamma: Gamma-wm"}));
    names_over_ticks(&state, 10);
    EXPECT_EQ(rows_read()[1], "Beta: Default: Beta-wm. Starts in 2 seconds. Any key stops it.");
    stop_countdown(&state);
    EXPECT_EQ(rows_read(), (std::vector<std::string>{"Alpha: Alpha-wm", "Beta: Default: Beta-wm",
                                                     "Gamma: Gamma-wm"}));
}

// Whatever has the focus, a screen reader hears the countdown again at ten
// and five seconds, never in between, and once that it stopped.
TEST_F(AccessibilityTest, TheCountdownIsToldAtTenAndFiveSecondsAndWhenItStops) {
    select_list_row(state.tree_view, 1);
    NotificationCapture told;
    state.delay = 11;
    start_countdown(&state, 3);
    names_over_ticks(&state, 100);
    EXPECT_EQ(told.said(),
              (std::vector<std::string>{"Starts Beta in 10 seconds. Any key stops it.",
                                        "Starts Beta in 5 seconds. Any key stops it."}));
    stop_countdown(&state);
    stop_countdown(&state);
    EXPECT_EQ(told.said().back(), "Countdown stopped");
    EXPECT_EQ(told.said().size(), 3u) << "said once";
}

// A key that never reaches the list, as a screen reader's own keys do not,
// stops the countdown too: here the Quit button has the keyboard.
TEST_F(AccessibilityTest, AKeyThatNeverReachesTheListStopsTheCountdown) {
    gtk_widget_show(state.window);
    ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(state.window); }));
    GtkWidget *vbox = gtk_bin_get_child(GTK_BIN(state.window));
    GtkWidget *quit = children_of(children_of(vbox)[3])[0];
    gtk_widget_grab_focus(quit);
    select_list_row(state.tree_view, 1);
    state.delay = 30;
    start_countdown(&state, 3);
    NotificationCapture told;

    GdkEvent *key = gdk_event_new(GDK_KEY_PRESS);
    key->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(state.window)));
    key->key.keyval = GDK_KP_Enter;
    key->key.time = GDK_CURRENT_TIME;
    gtk_main_do_event(key);
    gdk_event_free(key);
    EXPECT_EQ(state.timeout_id, 0u) << "the countdown still runs";
    EXPECT_EQ(told.said(), std::vector<std::string>{"Countdown stopped"});
    EXPECT_TRUE(gtk_widget_has_focus(quit));
}

TEST_F(AccessibilityTest, WithoutASelectedRowTheCountdownSaysSo) {
    AtkObject *countdown = gtk_widget_get_accessible(state.countdown_label);
    state.delay = 15;
    start_countdown(&state, 3);
    EXPECT_EQ(accessible_name(countdown), "No entry selected; 15 seconds left");
    stop_countdown(&state);
    EXPECT_EQ(accessible_name(countdown), "Countdown stopped");
}

TEST_F(AccessibilityTest, ACountdownThatNeverRanSaysNothing) {
    AtkObject *countdown = gtk_widget_get_accessible(state.countdown_label);
    state.delay = 0;
    start_countdown(&state, 3);
    stop_countdown(&state);
    EXPECT_EQ(accessible_name(countdown), "");
}

TEST_F(AccessibilityTest, TheMenusTearOffItemIsNamed) {
    gtk_widget_show(state.window);
    ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(state.window); }));
    GtkWidget *menu = pop_up_list_menu(&state);
    ASSERT_NE(menu, nullptr);
    AtkObject *tearoff = gtk_widget_get_accessible(children_of(menu).front());
    EXPECT_EQ(atk_object_get_role(tearoff), ATK_ROLE_TEAR_OFF_MENU_ITEM);
    EXPECT_EQ(accessible_name(tearoff), "Tear off this menu");
    gtk_menu_shell_cancel(GTK_MENU_SHELL(menu));
}

// The cells of any other list, the search's say, are as the toolkit makes them.
TEST_F(AccessibilityTest, OtherListsKeepTheToolkitsCells) {
    GObjectPtr<GtkListStore> store(gtk_list_store_new(1, G_TYPE_STRING));
    gtk_list_store_insert_with_values(store.get(), nullptr, -1, 0, "/usr/bin/twm", -1);
    GtkWidget *view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store.get()));
    g_object_ref_sink(view);
    gtk_tree_view_append_column(GTK_TREE_VIEW(view),
                                gtk_tree_view_column_new_with_attributes(
                                    nullptr, gtk_cell_renderer_text_new(), "text", 0, nullptr));
    const GObjectPtr<AtkObject> other(
        atk_table_ref_at(ATK_TABLE(gtk_widget_get_accessible(view)), 0, 0));
    EXPECT_EQ(accessible_name(other.get()), "/usr/bin/twm");
    EXPECT_EQ(accessible_description(other.get()), "");
    gtk_widget_destroy(view);
    g_object_unref(view);
}

} // namespace
