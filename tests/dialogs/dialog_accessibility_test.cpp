// SPDX-License-Identifier: GPL-2.0-or-later
// The dialogs as a screen reader reads them, with the toolkit's accessibility
// module loaded in the test process: each field is named by its label.
#include "dialogs/item_dialog.h"
#include "dialogs/message_box.h"
#include "dialogs/modal_script.h"
#include "dialogs/preferences.h"
#include "dialogs/search.h"
#include "mainwin/countdown.h"
#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class DialogAccessibilityTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(load_accessibility_module()); }
};

// The field is named by the label, and each points at the other.
void expect_labelled(GtkWidget *field, const std::string &name, const std::string &label_text) {
    AtkObject *accessible = gtk_widget_get_accessible(field);
    EXPECT_EQ(accessible_name(accessible), name);
    const std::vector<AtkObject *> labels = related(accessible, ATK_RELATION_LABELLED_BY);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(accessible_name(labels[0]), label_text);
    EXPECT_EQ(related(labels[0], ATK_RELATION_LABEL_FOR), std::vector<AtkObject *>{accessible});
}

TEST_F(DialogAccessibilityTest, TheItemDialogsFieldsAreNamedByTheirLabels) {
    AppState state{};
    state.save_on_exit = 0;
    create_main_window(&state);
    ModalScript script({[] {
        GtkWidget *dialog = shown_window("Add item");
        if (dialog == nullptr)
            return false;
        EXPECT_EQ(atk_object_get_role(gtk_widget_get_accessible(dialog)), ATK_ROLE_DIALOG);
        EXPECT_EQ(accessible_name(gtk_widget_get_accessible(dialog)), "Add item");
        std::vector<GtkWidget *> entries;
        for (GtkWidget *widget : widgets_under(dialog))
            if (GTK_IS_ENTRY(widget))
                entries.push_back(widget);
        EXPECT_EQ(entries.size(), 2u);
        if (entries.size() == 2) {
            expect_labelled(entries[0], "Description", " Description");
            expect_labelled(entries[1], "Command", " Command");
        }
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        return true;
    }});
    show_item_dialog(ITEM_DIALOG_ADD, &state);
    EXPECT_TRUE(script.finished());
    destroy_main_window(&state);
}

// A message box is a dialog to a screen reader, which then reads its text
// as it opens: as an alert, the first question, which opens with no window
// of the program before it, was heard as its focused button alone.
TEST_F(DialogAccessibilityTest, AMessageBoxIsADialog) {
    show_message("Cannot start \"x\" (X)", GTK_MESSAGE_ERROR);
    const std::vector<GtkWidget *> boxes = visible_message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(atk_object_get_role(gtk_widget_get_accessible(boxes[0])), ATK_ROLE_DIALOG);
    gtk_widget_destroy(boxes[0]);
}

TEST_F(DialogAccessibilityTest, PreferencesIsADialogWhoseTimeoutIsNamedByItsLabel) {
    AppState state{};
    state.save_on_exit = 0;
    create_main_window(&state);
    state.delay = 15;
    ModalScript script({[] {
        GtkWidget *window = shown_window("Preferences");
        if (window == nullptr)
            return false;
        AtkObject *accessible = gtk_widget_get_accessible(window);
        EXPECT_EQ(atk_object_get_role(accessible), ATK_ROLE_DIALOG);
        EXPECT_EQ(accessible_name(accessible), "Preferences");
        GtkWidget *timeout =
            find_widget(window, [](GtkWidget *w) { return GTK_IS_SPIN_BUTTON(w); });
        expect_labelled(timeout, "Timeout in seconds (0 = infinite)",
                        "Timeout in seconds (0 = infinite)");
        gtk_widget_destroy(window);
        return true;
    }});
    show_preferences(&state);
    EXPECT_TRUE(script.finished());
    destroy_main_window(&state);
}

TEST_F(DialogAccessibilityTest, TheSearchsListIsNamedAsItsDialog) {
    AppState state{};
    state.save_on_exit = 0;
    create_main_window(&state);
    ModalScript script({[] {
        GtkWidget *dialog = shown_window("Window Managers found");
        if (dialog == nullptr)
            return false;
        GtkWidget *view = find_widget(dialog, [](GtkWidget *w) { return GTK_IS_TREE_VIEW(w); });
        EXPECT_EQ(accessible_name(gtk_widget_get_accessible(view)), "Window Managers found");
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        return true;
    }});
    show_found_wms(&state, {FoundWm{"/usr/bin/twm", "twm"}});
    EXPECT_TRUE(script.finished());
    destroy_main_window(&state);
}

} // namespace
