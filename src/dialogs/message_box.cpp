// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/message_box.h"

#include "app/glib_ptr.h"
#include "app/message.h"
#include "app/window_focus.h"

// The text goes in through "%s": a command may hold a "%" of its own, and
// bytes that are not UTF-8, which a label must not be given, and megabytes,
// which it could not lay out.
void show_message(const char *text, GtkMessageType type) {
    const GCharPtr valid(g_utf8_make_valid(text, -1));
    const GCharPtr shown = cut_to_screen(valid.get());
    GtkWidget *box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type, GTK_BUTTONS_CLOSE,
                                            "%s", shown.get());
    g_signal_connect(box, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_MOUSE);
    show_with_focus(box, nullptr);
}

int ask_question(const char *text) {
    GtkWidget *box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION,
                                            GTK_BUTTONS_YES_NO, "%s", text);
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_MOUSE);
    show_with_focus(box, nullptr);
    const int response = gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return response;
}
