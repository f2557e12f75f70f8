// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/preferences.h"

#include "app/version.h"
#include "dialogs/modal_script.h"
#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

#define PREFS_TITLE "Preferences"

GtkWidget *spin_button_of(GtkWidget *window) {
    return find_widget(window, [](GtkWidget *w) { return GTK_IS_SPIN_BUTTON(w); });
}

// The three radio buttons in the order they are shown.
std::vector<GtkWidget *> radio_buttons_of(GtkWidget *window) {
    std::vector<GtkWidget *> found;
    for (GtkWidget *widget : widgets_under(window))
        if (GTK_IS_RADIO_BUTTON(widget))
            found.push_back(widget);
    return found;
}

int active_radio(GtkWidget *window) {
    const std::vector<GtkWidget *> buttons = radio_buttons_of(window);
    for (size_t i = 0; i < buttons.size(); ++i)
        if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(buttons[i])))
            return static_cast<int>(i) + 1;
    return 0;
}

std::string label_text(GtkWidget *label) {
    return gtk_label_get_text(GTK_LABEL(label));
}

class PreferencesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        create_main_window(&state);
        state.delay = 15;
        state.goback_btn = GOBACK_REMEMBER;
    }
    void TearDown() override { destroy_main_window(&state); }

    // Opens the window as its button would and lets act close it.
    void run(std::function<void(GtkWidget *)> act) {
        ModalScript script({[act] {
            GtkWidget *window = shown_window(PREFS_TITLE);
            if (window == nullptr)
                return false;
            act(window);
            return true;
        }});
        show_preferences(&state); // returns once the window is gone
        EXPECT_TRUE(script.finished()) << "the window never came, or act left it open";
        pump_events();
        EXPECT_EQ(shown_window(PREFS_TITLE), nullptr);
    }

    AppState state{};
};

TEST_F(PreferencesTest, WindowIsAParentlessModalFixedSizeWindowAtThePointer) {
    run([](GtkWidget *window) {
        EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(window)));
        EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(window)), nullptr);
        EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(window)));
        EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(window)), 5u);
        GtkWindowPosition position = GTK_WIN_POS_NONE;
        g_object_get(window, "window-position", &position, nullptr);
        EXPECT_EQ(position, GTK_WIN_POS_MOUSE);

        GtkWidget *notebook = find_widget(window, [](GtkWidget *w) { return GTK_IS_NOTEBOOK(w); });
        ASSERT_NE(notebook, nullptr);
        ASSERT_EQ(gtk_notebook_get_n_pages(GTK_NOTEBOOK(notebook)), 2);
        std::vector<std::string> tabs;
        for (int i = 0; i < 2; ++i)
            tabs.push_back(gtk_notebook_get_tab_label_text(
                GTK_NOTEBOOK(notebook), gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook), i)));
        EXPECT_EQ(tabs, (std::vector<std::string>{"Config", "About"}));

        // Below the notebook: OK, the default, then Cancel.
        GtkWidget *ok = button_labelled(window, GTK_STOCK_OK);
        GtkWidget *cancel = button_labelled(window, GTK_STOCK_CANCEL);
        ASSERT_NE(ok, nullptr);
        ASSERT_NE(cancel, nullptr);
        GtkWidget *box = gtk_widget_get_parent(ok);
        EXPECT_EQ(children_of(box), (std::vector<GtkWidget *>{ok, cancel}));
        EXPECT_EQ(gtk_button_box_get_layout(GTK_BUTTON_BOX(box)), GTK_BUTTONBOX_SPREAD);
        EXPECT_TRUE(gtk_widget_has_default(ok));
        EXPECT_TRUE(gtk_widget_get_can_default(cancel));
        gtk_widget_destroy(window);
    });
}

TEST_F(PreferencesTest, SpinButtonReachesFrom0To3600InTenthsAndShowsOneDecimal) {
    state.delay = 2.5;
    run([](GtkWidget *window) {
        GtkWidget *spin = spin_button_of(window);
        ASSERT_NE(spin, nullptr);
        GtkAdjustment *adjustment = gtk_spin_button_get_adjustment(GTK_SPIN_BUTTON(spin));
        EXPECT_DOUBLE_EQ(gtk_adjustment_get_value(adjustment), 2.5);
        EXPECT_DOUBLE_EQ(gtk_adjustment_get_lower(adjustment), 0);
        EXPECT_DOUBLE_EQ(gtk_adjustment_get_upper(adjustment), 3600);
        EXPECT_DOUBLE_EQ(gtk_adjustment_get_step_increment(adjustment), 0.1);
        EXPECT_DOUBLE_EQ(gtk_adjustment_get_page_increment(adjustment), 1.0);
        EXPECT_DOUBLE_EQ(gtk_adjustment_get_page_size(adjustment), 0);
        EXPECT_EQ(gtk_spin_button_get_digits(GTK_SPIN_BUTTON(spin)), 1u);
        gdouble climb_rate = 0;
        g_object_get(spin, "climb-rate", &climb_rate, nullptr);
        EXPECT_DOUBLE_EQ(climb_rate, 1.0);
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(spin)), "2.5");

        gtk_spin_button_spin(GTK_SPIN_BUTTON(spin), GTK_SPIN_STEP_FORWARD, 0);
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(spin)), "2.6");
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), 4000);
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(spin)), "3600.0");
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), -1);
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(spin)), "0.0");

        const std::vector<GtkWidget *> row = children_of(gtk_widget_get_parent(spin));
        ASSERT_EQ(row.size(), 2u);
        EXPECT_EQ(row[0], spin);
        EXPECT_EQ(label_text(row[1]), "Timeout in seconds (0 = infinite)");
        gtk_widget_destroy(window);
    });
}

TEST_F(PreferencesTest, AboutPageShowsNameVersionHomePageAndCredits) {
    run([](GtkWidget *window) {
        GtkWidget *image = find_widget(window, [](GtkWidget *w) { return GTK_IS_IMAGE(w); });
        ASSERT_NE(image, nullptr);
        gchar *stock_id = nullptr;
        GtkIconSize size = GTK_ICON_SIZE_INVALID;
        gtk_image_get_stock(GTK_IMAGE(image), &stock_id, &size);
        EXPECT_STREQ(stock_id, GTK_STOCK_DIALOG_INFO);
        EXPECT_EQ(size, GTK_ICON_SIZE_DIALOG);
        const std::vector<GtkWidget *> row = children_of(gtk_widget_get_parent(image));
        ASSERT_EQ(row.size(), 2u);
        EXPECT_EQ(row[0], image);
        EXPECT_EQ(label_text(row[1]), "quorvane " QUORVANE_VERSION "\n" QUORVANE_HOME_PAGE
                                      "\n\n" QUORVANE_COPYRIGHT "\n" QUORVANE_AUTHOR);
        EXPECT_EQ(gtk_label_get_justify(GTK_LABEL(row[1])), GTK_JUSTIFY_CENTER);
        gtk_widget_destroy(window);
    });
}

// A value typed and not yet taken in by the spin button counts too.
struct DelayCase {
    const char *what;
    const char *typed; // nullptr: stepped up once instead
    int ending;        // 0 OK, 1 Cancel, 2 closed
    double expected;
};

class DelayTest : public PreferencesTest, public ::testing::WithParamInterface<DelayCase> {};

TEST_P(DelayTest, OnlyOkStoresTheSpinButtonValue) {
    const DelayCase c = GetParam();
    run([&](GtkWidget *window) {
        GtkWidget *spin = spin_button_of(window);
        if (c.typed != nullptr)
            gtk_entry_set_text(GTK_ENTRY(spin), c.typed);
        else
            gtk_spin_button_spin(GTK_SPIN_BUTTON(spin), GTK_SPIN_STEP_FORWARD, 0);
        if (c.ending == 0)
            gtk_button_clicked(GTK_BUTTON(button_labelled(window, GTK_STOCK_OK)));
        else if (c.ending == 1)
            gtk_button_clicked(GTK_BUTTON(button_labelled(window, GTK_STOCK_CANCEL)));
        else
            close_like_a_window_manager(window);
    });
    EXPECT_DOUBLE_EQ(state.delay, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Endings, DelayTest,
                         ::testing::Values(DelayCase{"OkAfterStepping", nullptr, 0, 15.1},
                                           DelayCase{"OkAfterTyping", "42.5", 0, 42.5},
                                           DelayCase{"OkAfterTypingTooMuch", "5000", 0, 3600},
                                           DelayCase{"OkAfterTypingBelowZero", "-3", 0, 0},
                                           DelayCase{"OkAfterTypingZero", "0", 0, 0},
                                           DelayCase{"CancelAfterStepping", nullptr, 1, 15},
                                           DelayCase{"CancelAfterTyping", "42.5", 1, 15},
                                           DelayCase{"ClosedAfterStepping", nullptr, 2, 15}),
                         [](const auto &test) { return std::string(test.param.what); });

// The field takes a number with either decimal mark and nothing else; what
// OK stores is what the field shows, and a delay left alone keeps every digit.
struct TimeoutCase {
    const char *what;
    double delay;      // as read from the file
    const char *typed; // nullptr: left alone
    const char *shown; // once the field has taken the text in
    double stored;
};

class TimeoutFieldTest : public PreferencesTest,
                         public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(TimeoutFieldTest, TakesOnlyANumberAndOkStoresWhatItShows) {
    const TimeoutCase c = GetParam();
    state.delay = c.delay;
    run([&](GtkWidget *window) {
        GtkWidget *spin = spin_button_of(window);
        if (c.typed != nullptr) {
            gtk_entry_set_text(GTK_ENTRY(spin), c.typed);
            // As leaving the field does, before OK.
            gtk_spin_button_update(GTK_SPIN_BUTTON(spin));
        }
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(spin)), c.shown);
        gtk_button_clicked(GTK_BUTTON(button_labelled(window, GTK_STOCK_OK)));
    });
    EXPECT_EQ(state.delay, c.stored); // exactly
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TimeoutFieldTest,
    ::testing::Values(
        TimeoutCase{"Letters", 15.04, "abc", "15.04", 15.04},
        TimeoutCase{"NumberThenLetters", 15.04, "12abc", "15.04", 15.04},
        TimeoutCase{"Empty", 15.04, "", "15.04", 15.04},
        TimeoutCase{"TwoMarks", 15.04, "1.2.3", "15.04", 15.04},
        TimeoutCase{"Exponent", 15.04, "1e3", "15.04", 15.04},
        TimeoutCase{"NotANumber", 15.04, "nan", "15.04", 15.04},
        TimeoutCase{"SignAlone", 15.04, "-", "15.04", 15.04},
        TimeoutCase{"DecimalComma", 15.04, "7,5", "7.5", 7.5},
        TimeoutCase{"TwoDecimals", 15.0, "2.55", "2.55", 2.55},
        TimeoutCase{"Blanks", 15.04, " 42 ", "42.0", 42},
        TimeoutCase{"MarkFirst", 15.04, ".5", "0.5", 0.5},
        TimeoutCase{"MinusZero", 15.04, "-0", "0.0", 0},
        TimeoutCase{"PastTheSixDecimalsOfTheFile", 15.0, "2.1234567", "2.123457", 2.123457},
        TimeoutCase{"UntouchedFromTheFile", 15.04, nullptr, "15.04", 15.04},
        TimeoutCase{"UntouchedWhole", 15.0, nullptr, "15.0", 15.0},
        TimeoutCase{"UntouchedFinerThanShown", 15.0400001, nullptr, "15.04", 15.0400001},
        TimeoutCase{"UntouchedRefusalAfterAFinerOne", 15.0400001, "x", "15.04", 15.0400001},
        // A delay beyond the bounds, from a hand-edited file, shows as the
        // bound; the bound typed in is stored, as is the bound left alone.
        TimeoutCase{"TheTopTypedOverADelayBeyondIt", 5000, "3600", "3600.0", 3600},
        TimeoutCase{"TheTopTypedInFullOverADelayBeyondIt", 5000, "3600.0", "3600.0", 3600},
        TimeoutCase{"UntouchedBeyondTheTop", 5000, nullptr, "3600.0", 3600},
        TimeoutCase{"ZeroTypedOverADelayBelowIt", -3, "0", "0.0", 0}),
    [](const auto &test) { return std::string(test.param.what); });

// Refused text shows the old value at once, before any OK.
TEST_F(PreferencesTest, RefusedTimeoutGoesBackToTheValueBeforeIt) {
    state.delay = 3;
    run([](GtkWidget *window) {
        GtkSpinButton *spin = GTK_SPIN_BUTTON(spin_button_of(window));
        gtk_entry_set_text(GTK_ENTRY(spin), "8,25");
        gtk_spin_button_update(spin);
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(spin)), "8.25");
        gtk_entry_set_text(GTK_ENTRY(spin), "8 s");
        gtk_spin_button_update(spin);
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(spin)), "8.25");
        EXPECT_EQ(gtk_spin_button_get_value(spin), 8.25);
        gtk_spin_button_spin(spin, GTK_SPIN_STEP_FORWARD, 0);
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(spin)), "8.35");
        gtk_button_clicked(GTK_BUTTON(button_labelled(window, GTK_STOCK_CANCEL)));
    });
    EXPECT_EQ(state.delay, 3);
}

TEST_F(PreferencesTest, GoBackButtonsInTheirOrderUnderTheirLabel) {
    run([](GtkWidget *window) {
        const std::vector<GtkWidget *> buttons = radio_buttons_of(window);
        ASSERT_EQ(buttons.size(), 3u);
        std::vector<std::string> labels;
        for (GtkWidget *button : buttons)
            labels.push_back(gtk_button_get_label(GTK_BUTTON(button)));
        EXPECT_EQ(labels,
                  (std::vector<std::string>{"_Checked", "_Not checked", "_Remember last state"}));
        GtkWidget *box = gtk_widget_get_parent(buttons[0]);
        const std::vector<GtkWidget *> parts = children_of(box);
        ASSERT_EQ(parts.size(), 4u);
        EXPECT_EQ(label_text(parts[0]),
                  "State of the \"Go back to quorvane when\nthe WM exits\" button when quorvane "
                  "starts");
        EXPECT_EQ(std::vector<GtkWidget *>(parts.begin() + 1, parts.end()), buttons);
        GtkWidget *frame = gtk_widget_get_parent(box);
        ASSERT_TRUE(GTK_IS_FRAME(frame));
        EXPECT_STREQ(gtk_frame_get_label(GTK_FRAME(frame)), "\"Go back...\" button");
        gtk_widget_destroy(window);
    });
}

// Opening and closing leaves the value alone; a value outside 1 to 3 sets no
// button, so the group's first shows, and stays until a button is clicked.
TEST_F(PreferencesTest, ActiveButtonFollowsTheValueWhichOpeningLeavesAlone) {
    const struct {
        int value;
        int active;
    } cases[] = {{1, 1}, {2, 2}, {3, 3}, {0, 1}, {4, 1}, {-7, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        state.goback_btn = c.value;
        run([&](GtkWidget *window) {
            EXPECT_EQ(active_radio(window), c.active);
            EXPECT_EQ(state.goback_btn, c.value);
            gtk_button_clicked(GTK_BUTTON(button_labelled(window, GTK_STOCK_CANCEL)));
        });
        EXPECT_EQ(state.goback_btn, c.value);
    }
}

// Clicks act at once and Cancel keeps them; so does a click on the button
// already shown, which brings an odd value back into range.
TEST_F(PreferencesTest, ClickedButtonSetsTheValueAtOnceAndCancelKeepsIt) {
    const struct {
        int start;
        int clicked; // 1 to 3
    } cases[] = {{3, 2}, {2, 1}, {1, 3}, {9, 1}, {9, 2}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " then " << c.clicked);
        state.goback_btn = c.start;
        run([&](GtkWidget *window) {
            gtk_button_clicked(GTK_BUTTON(radio_buttons_of(window)[c.clicked - 1]));
            EXPECT_EQ(state.goback_btn, c.clicked);
            EXPECT_EQ(active_radio(window), c.clicked);
            gtk_button_clicked(GTK_BUTTON(button_labelled(window, GTK_STOCK_CANCEL)));
        });
        EXPECT_EQ(state.goback_btn, c.clicked);
    }
}

} // namespace
