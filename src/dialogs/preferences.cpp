// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/preferences.h"

#include "app/accessible.h"
#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "app/message.h"
#include "app/version.h"
#include "app/window_focus.h"

#include <gdk/gdkkeysyms.h>

#include <clocale>
#include <cmath>
#include <string>

namespace {

// Names and credits are not messages: the About text is not translated.
const char kAboutText[] = "quorvane " QUORVANE_VERSION "\n" QUORVANE_HOME_PAGE
                          "\n\n" QUORVANE_COPYRIGHT "\n" QUORVANE_AUTHOR;

GtkWidget *add_page(GtkWidget *notebook, const char *tab) {
    GtkWidget *frame = gtk_frame_new(nullptr);
    gtk_container_set_border_width(GTK_CONTAINER(frame), 5);
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), frame, gtk_label_new(tab));
    return frame;
}

GtkWidget *add_goback_button(GtkWidget *group_member, const char *label, GCallback on_clicked,
                             AppState *state) {
    GtkWidget *button =
        group_member == nullptr
            ? gtk_radio_button_new_with_mnemonic(nullptr, label)
            : gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(group_member), label);
    g_signal_connect(button, "clicked", on_clicked, state);
    return button;
}

// The radio buttons set goback_btn as soon as they are clicked.
void on_goback_checked(GtkWidget *, gpointer state) {
    static_cast<AppState *>(state)->goback_btn = GOBACK_CHECKED;
}

void on_goback_not_checked(GtkWidget *, gpointer state) {
    static_cast<AppState *>(state)->goback_btn = GOBACK_NOT_CHECKED;
}

void on_goback_remember(GtkWidget *, gpointer state) {
    static_cast<AppState *>(state)->goback_btn = GOBACK_REMEMBER;
}

// Each button writes its own value when clicked, and switching buttons clicks
// the old one before the new, so goback_btn ends with the active button's value.
void add_goback_frame(GtkWidget *config_box, AppState *state) {
    GtkWidget *frame = gtk_frame_new(tr("\"Go back...\" button"));
    gtk_box_pack_start(GTK_BOX(config_box), frame, FALSE, FALSE, 0);
    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    gtk_container_set_border_width(GTK_CONTAINER(box), 5);
    gtk_container_add(GTK_CONTAINER(frame), box);
    gtk_box_pack_start(GTK_BOX(box),
                       gtk_label_new(tr("State of the \"Go back to quorvane when\nthe WM exits\" "
                                        "button when quorvane starts")),
                       FALSE, FALSE, 0);

    GtkWidget *buttons[3];
    buttons[0] = add_goback_button(nullptr, tr("_Checked"), G_CALLBACK(on_goback_checked), state);
    buttons[1] =
        add_goback_button(buttons[0], tr("_Not checked"), G_CALLBACK(on_goback_not_checked), state);
    buttons[2] = add_goback_button(buttons[0], tr("_Remember last state"),
                                   G_CALLBACK(on_goback_remember), state);
    // A value from a hand-edited file outside 1 to 3 sets no button and stays.
    if (state->goback_btn >= GOBACK_CHECKED && state->goback_btn <= GOBACK_REMEMBER)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(buttons[state->goback_btn - 1]), TRUE);
    for (GtkWidget *button : buttons)
        gtk_box_pack_start(GTK_BOX(box), button, TRUE, TRUE, 0);
}

// The timeout as the field shows it: with as many decimals as it needs, from
// one to the six that the file keeps, so that what it shows is what OK stores.
std::string timeout_text(double seconds) {
    std::string text = format_message("%.6f", seconds).get();
    while (text.size() > 2 && text.back() == '0' && g_ascii_isdigit(text[text.size() - 2]))
        text.pop_back();
    return text;
}

// Only a number, blanks around it allowed, with "." or "," (or the locale's
// own mark) before its decimals.
bool read_timeout(const char *text, double *seconds) {
    std::string number = GCharPtr(g_strstrip(g_strdup(text))).get();
    const std::string locale_mark = localeconv()->decimal_point;
    const size_t at = number.find(locale_mark);
    if (!locale_mark.empty() && at != std::string::npos)
        number.replace(at, locale_mark.size(), ".");
    size_t digits = 0;
    bool mark_seen = false;
    for (size_t i = 0; i < number.size(); ++i) {
        char &c = number[i];
        if (g_ascii_isdigit(c)) {
            ++digits;
        } else if ((c == '.' || c == ',') && !mark_seen) {
            c = '.';
            mark_seen = true;
        } else if (i != 0 || (c != '-' && c != '+')) {
            return false;
        }
    }
    if (digits == 0)
        return false;
    *seconds = g_ascii_strtod(number.c_str(), nullptr);
    if (*seconds == 0)
        *seconds = 0; // "-0" is shown as "0.0"
    return true;
}

// "input" handler: anything but a number is refused, and the field goes back
// to the value it had. The text the value itself shows keeps the value whole
// (a delay read as 15.0400001 shows as 15.04); a number typed is taken to
// the six decimals the file keeps, so that what the field shows is what OK
// stores.
gint on_timeout_input(GtkSpinButton *spin_button, gdouble *new_value, gpointer) {
    const char *text = gtk_entry_get_text(GTK_ENTRY(spin_button));
    if (timeout_text(gtk_spin_button_get_value(spin_button)) == text) {
        *new_value = gtk_spin_button_get_value(spin_button);
        return TRUE;
    }
    if (read_timeout(text, new_value)) {
        *new_value = std::round(*new_value * 1e6) / 1e6;
        return TRUE;
    }
    *new_value = gtk_spin_button_get_value(spin_button);
    gtk_widget_error_bell(GTK_WIDGET(spin_button));
    return GTK_INPUT_ERROR;
}

gboolean on_timeout_output(GtkSpinButton *spin_button, gpointer) {
    const std::string text = timeout_text(gtk_spin_button_get_value(spin_button));
    if (text != gtk_entry_get_text(GTK_ENTRY(spin_button)))
        gtk_entry_set_text(GTK_ENTRY(spin_button), text.c_str());
    return TRUE;
}

GtkWidget *add_config_page(GtkWidget *notebook, AppState *state) {
    GtkWidget *frame = add_page(notebook, tr("Config"));
    GtkWidget *config_box = gtk_vbox_new(FALSE, 5);
    gtk_container_set_border_width(GTK_CONTAINER(config_box), 5);
    gtk_container_add(GTK_CONTAINER(frame), config_box);

    GtkWidget *delay_row = gtk_hbox_new(FALSE, 5);
    gtk_box_pack_start(GTK_BOX(config_box), delay_row, FALSE, FALSE, 0);
    GtkObject *adjustment = gtk_adjustment_new(state->delay, 0, 3600, 0.1, 1.0, 0);
    GtkWidget *spin_button = gtk_spin_button_new(GTK_ADJUSTMENT(adjustment), 1.0, 1);
    gtk_entry_set_activates_default(GTK_ENTRY(spin_button), TRUE);
    g_signal_connect(spin_button, "input", G_CALLBACK(on_timeout_input), nullptr);
    g_signal_connect(spin_button, "output", G_CALLBACK(on_timeout_output), nullptr);
    // Shown again through the handlers, the value is no longer cut to one decimal.
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button),
                              gtk_adjustment_get_value(GTK_ADJUSTMENT(adjustment)));
    gtk_box_pack_start(GTK_BOX(delay_row), spin_button, FALSE, FALSE, 0);
    GtkWidget *label = gtk_label_new(tr("Timeout in seconds (0 = infinite)"));
    label_field(label, spin_button);
    gtk_box_pack_start(GTK_BOX(delay_row), label, FALSE, FALSE, 0);

    add_goback_frame(config_box, state);
    return spin_button;
}

void add_about_page(GtkWidget *notebook) {
    GtkWidget *frame = add_page(notebook, tr("About"));
    GtkWidget *box = gtk_hbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(frame), box);
    gtk_box_pack_start(GTK_BOX(box),
                       gtk_image_new_from_stock(GTK_STOCK_DIALOG_INFO, GTK_ICON_SIZE_DIALOG), TRUE,
                       TRUE, 0);
    GtkWidget *label = gtk_label_new(kAboutText);
    gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
    gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
}

// What the OK button needs; lives in show_preferences while the window does.
struct PreferencesData {
    GtkWidget *prefs_window;
    GtkWidget *spin_button;
    AppState *state;
};

// Stores the timeout field's value in delay (left alone, the field holds the
// delay as it was, every digit of it, held to the field's bounds); closes
// the window.
void on_preferences_ok(GtkWidget *, gpointer data) {
    auto *prefs = static_cast<PreferencesData *>(data);
    // A value still being typed counts too, when OK comes from the keyboard;
    // one that is not a number is refused here and the old one shown again.
    gtk_spin_button_update(GTK_SPIN_BUTTON(prefs->spin_button));
    // The value itself, not the text it shows: the same text may stand for a
    // delay beyond the field's bounds, read from the file, and for the
    // bound typed in.
    prefs->state->delay = gtk_spin_button_get_value(GTK_SPIN_BUTTON(prefs->spin_button));
    gtk_widget_destroy(prefs->prefs_window);
}

} // namespace

void show_preferences(AppState *state) {
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_window_set_title(GTK_WINDOW(window), tr("Preferences"));
    gtk_container_set_border_width(GTK_CONTAINER(window), 5);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_MOUSE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);

    GtkWidget *outer = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), outer);
    GtkWidget *notebook = gtk_notebook_new();
    gtk_container_add(GTK_CONTAINER(outer), notebook);
    GtkWidget *spin_button = add_config_page(notebook, state);
    add_about_page(notebook);

    GtkWidget *buttons = gtk_hbutton_box_new();
    gtk_box_pack_start(GTK_BOX(outer), buttons, FALSE, FALSE, 0);
    gtk_container_set_border_width(GTK_CONTAINER(buttons), 10);
    gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_SPREAD);

    PreferencesData prefs = {window, spin_button, state};
    GtkWidget *ok = gtk_button_new_from_stock(GTK_STOCK_OK);
    g_signal_connect(ok, "clicked", G_CALLBACK(on_preferences_ok), &prefs);
    gtk_widget_set_can_default(ok, TRUE);
    gtk_container_add(GTK_CONTAINER(buttons), ok);
    gtk_widget_grab_default(ok);

    GtkWidget *cancel = gtk_button_new_from_stock(GTK_STOCK_CANCEL);
    g_signal_connect_swapped(cancel, "clicked", G_CALLBACK(gtk_widget_destroy), window);
    gtk_container_add(GTK_CONTAINER(buttons), cancel);
    gtk_widget_set_can_default(cancel, TRUE);
    // Escape closes it as Cancel does, like every other window of the program.
    const GObjectPtr<GtkAccelGroup> keys(gtk_accel_group_new());
    gtk_window_add_accel_group(GTK_WINDOW(window), keys.get());
    gtk_widget_add_accelerator(cancel, "clicked", keys.get(), GDK_Escape, GdkModifierType(0),
                               GtkAccelFlags(0));

    gtk_widget_show_all(outer);
    // A plain window would be a frame to a screen reader, like the main window.
    // Asked for only now, its accessible tells a screen reader nothing of the
    // building, which would take the reader into the window before it opens.
    atk_object_set_role(gtk_widget_get_accessible(window), ATK_ROLE_DIALOG);
    show_with_focus(window, spin_button);
    gtk_main();
}
