// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/message_box.h"

#include "support/gtk_probe.h"
#include "support/gtk_pump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct BoxLook {
    std::string text;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    bool modal = false;
    bool has_parent = true;
    GtkWindowPosition position = GTK_WIN_POS_NONE;
    std::vector<int> responses; // of the buttons, sorted
    bool has_secondary_text = true;
};

BoxLook look_at(GtkWidget *box) {
    BoxLook look;
    gchar *text = nullptr;
    gchar *secondary = nullptr;
    g_object_get(box, "text", &text, "message-type", &look.type, "window-position", &look.position,
                 "secondary-text", &secondary, nullptr);
    look.text = text != nullptr ? text : "";
    look.has_secondary_text = secondary != nullptr;
    g_free(text);
    g_free(secondary);
    look.modal = gtk_window_get_modal(GTK_WINDOW(box));
    look.has_parent = gtk_window_get_transient_for(GTK_WINDOW(box)) != nullptr;
    GList *buttons =
        gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_action_area(GTK_DIALOG(box))));
    for (GList *item = buttons; item != nullptr; item = item->next)
        look.responses.push_back(
            gtk_dialog_get_response_for_widget(GTK_DIALOG(box), GTK_WIDGET(item->data)));
    g_list_free(buttons);
    std::sort(look.responses.begin(), look.responses.end());
    return look;
}

// Printf directives and markup characters must reach the screen as typed.
const char *const kTricky = "Cannot start \"wm %s %d %n 100%\" (<b>50%%</b> & more)";

TEST(ShowMessage, ReturnsAtOnceWithAParentlessModalBoxAtThePointer) {
    for (GtkMessageType type : {GTK_MESSAGE_INFO, GTK_MESSAGE_ERROR}) {
        SCOPED_TRACE(type);
        show_message(kTricky, type);
        const std::vector<GtkWidget *> boxes = visible_message_boxes();
        ASSERT_EQ(boxes.size(), 1u);
        const BoxLook look = look_at(boxes[0]);
        EXPECT_EQ(look.text, kTricky);
        EXPECT_EQ(look.type, type);
        EXPECT_TRUE(look.modal);
        EXPECT_FALSE(look.has_parent);
        EXPECT_EQ(look.position, GTK_WIN_POS_MOUSE);
        EXPECT_EQ(look.responses, std::vector<int>{GTK_RESPONSE_CLOSE});
        EXPECT_FALSE(look.has_secondary_text);
        gtk_widget_destroy(boxes[0]);
        pump_events();
    }
}

TEST(ShowMessage, TheCallerMayFreeTheTextAtOnce) {
    gchar *text = g_strdup("short-lived text");
    show_message(text, GTK_MESSAGE_INFO);
    memset(text, 'x', strlen(text));
    g_free(text);
    const std::vector<GtkWidget *> boxes = visible_message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(look_at(boxes[0]).text, "short-lived text");
    gtk_widget_destroy(boxes[0]);
    pump_events();
}

// A command or description from the file need not be UTF-8; the label must be.
TEST(ShowMessage, BytesThatAreNotUtf8ShowAsReplacementCharacters) {
    show_message("Cannot start \"/opt/wm-caf\xe9\" (Caf\xc3\xa9 \xff)", GTK_MESSAGE_ERROR);
    const std::vector<GtkWidget *> boxes = visible_message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(look_at(boxes[0]).text,
              "Cannot start \"/opt/wm-caf\xef\xbf\xbd\" (Caf\xc3\xa9 \xef\xbf\xbd)");
    gtk_widget_destroy(boxes[0]);
    pump_events();
}

// A description of megabytes is shown as a screen's worth and an ellipsis:
// laid out whole, it would take minutes and gigabytes.
TEST(ShowMessage, TextLongerThanAScreenIsShownCut) {
    const std::string start = "Cannot start \"twm\" (";
    show_message((start + std::string(10 * 1000 * 1000, 'x') + ")").c_str(), GTK_MESSAGE_ERROR);
    const std::vector<GtkWidget *> boxes = visible_message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    const std::string shown = look_at(boxes[0]).text;
    EXPECT_EQ(g_utf8_strlen(shown.c_str(), -1), 1001);
    EXPECT_EQ(shown, start + std::string(1000 - start.size(), 'x') + "\u2026");
    gtk_widget_destroy(boxes[0]);
    pump_events();
}

// Any response, the Close button or the window closed, takes the box away.
TEST(ShowMessage, AnyResponseDestroysTheBox) {
    for (int response : {GTK_RESPONSE_CLOSE, GTK_RESPONSE_DELETE_EVENT}) {
        SCOPED_TRACE(response);
        show_message("Bye", GTK_MESSAGE_INFO);
        std::vector<GtkWidget *> boxes = visible_message_boxes();
        ASSERT_EQ(boxes.size(), 1u);
        GtkWidget *box = boxes[0];
        gboolean destroyed = FALSE;
        g_signal_connect_swapped(box, "destroy", G_CALLBACK(+[](gboolean *flag) { *flag = TRUE; }),
                                 &destroyed);
        gtk_dialog_response(GTK_DIALOG(box), response);
        pump_events();
        EXPECT_TRUE(destroyed);
        EXPECT_TRUE(visible_message_boxes().empty());
    }
}

struct Answer {
    int response;
    BoxLook look;
    bool answered = false;
};

gboolean answer_question(gpointer data) {
    auto *answer = static_cast<Answer *>(data);
    const std::vector<GtkWidget *> boxes = visible_message_boxes();
    if (boxes.size() != 1)
        return TRUE; // not shown yet
    answer->look = look_at(boxes[0]);
    answer->answered = true;
    gtk_dialog_response(GTK_DIALOG(boxes[0]), answer->response);
    return FALSE;
}

TEST(AskQuestion, WaitsForTheAnswerAndReturnsIt) {
    for (int response : {GTK_RESPONSE_YES, GTK_RESPONSE_NO, GTK_RESPONSE_DELETE_EVENT}) {
        SCOPED_TRACE(response);
        Answer answer{response, {}};
        g_timeout_add(10, answer_question, &answer);
        EXPECT_EQ(ask_question(kTricky), response);
        ASSERT_TRUE(answer.answered);
        EXPECT_EQ(answer.look.text, kTricky);
        EXPECT_EQ(answer.look.type, GTK_MESSAGE_QUESTION);
        EXPECT_TRUE(answer.look.modal);
        EXPECT_FALSE(answer.look.has_parent);
        EXPECT_EQ(answer.look.position, GTK_WIN_POS_MOUSE);
        EXPECT_EQ(answer.look.responses, (std::vector<int>{GTK_RESPONSE_NO, GTK_RESPONSE_YES}));
        pump_events();
        EXPECT_TRUE(visible_message_boxes().empty()) << "the box lives only during the call";
    }
}

} // namespace
