// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/message_box.h"

#include "app/glib_ptr.h"
#include "app/message.h"
#include "app/window_focus.h"

namespace {

// In the role of an alert, a box that opens with no window of ours before
// it, as the first question does, is heard as its focused button alone:
// Orca 43 reads the text of a dialog that becomes active.
GtkWidget *new_message_box(GtkMessageType type, GtkButtonsType buttons, const char *text) {
    GtkWidget *box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type, buttons, "%s", text);
    atk_object_set_role(gtk_widget_get_accessible(box), ATK_ROLE_DIALOG);
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_MOUSE);
    return box;
}

// The toolkit's bridge to a screen reader drops what it is told before it
// has made itself known, which it does as the program starts: the first
// question, shown then, would go unheard. A moment later the button with the
// keyboard is told of once more, which a screen reader that heard it the
// first time lets pass, and one that did not says with the question.
constexpr guint kRetellMs = 1000;

gboolean retell_focus(gpointer data) {
    GtkWidget *focus = gtk_window_get_focus(GTK_WINDOW(data));
    if (gtk_widget_get_visible(GTK_WIDGET(data)) && focus != nullptr && gtk_widget_has_focus(focus))
        atk_object_notify_state_change(gtk_widget_get_accessible(focus), ATK_STATE_FOCUSED, TRUE);
    return FALSE;
}

} // namespace

// The text goes in through "%s": a command may hold a "%" of its own, and
// bytes that are not UTF-8, which a label must not be given, and megabytes,
// which it could not lay out.
void show_message(const char *text, GtkMessageType type) {
    const GCharPtr valid(g_utf8_make_valid(text, -1));
    const GCharPtr shown = cut_to_screen(valid.get());
    GtkWidget *box = new_message_box(type, GTK_BUTTONS_CLOSE, shown.get());
    g_signal_connect(box, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    show_with_focus(box, nullptr);
}

int ask_question(const char *text) {
    GtkWidget *box = new_message_box(GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, text);
    show_with_focus(box, nullptr);
    g_timeout_add_full(G_PRIORITY_DEFAULT, kRetellMs, retell_focus, g_object_ref(box),
                       g_object_unref);
    const int response = gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return response;
}
