// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/legacy_gtk.h"
#include "dialogs/item_dialog.h"
#include "dialogs/modal_script.h"
#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "wmlist/wm_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// GLib reads the file-name encoding once, before the toolkit starts.
const bool kLatin1FileNames = [] { return setenv("G_FILENAME_ENCODING", "ISO-8859-1", 1) == 0; }();

// The selector speaks the file-name encoding and the entry only UTF-8: the
// entry shows the chosen path in UTF-8, and the row gets the path's own
// bytes, which are what can be started. OK closes the selector.
TEST(FileNameEncoding, ChosenPathIsShownAsUtf8AndStoredAsItsOwnBytes) {
    ASSERT_TRUE(kLatin1FileNames);
    AppState state{};
    create_main_window(&state);
    bool selector_destroyed = false;
    ModalScript script(
        {[] {
             GtkWidget *dialog = shown_window("Add item");
             if (dialog == nullptr)
                 return false;
             gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_HELP);
             return true;
         },
         [&selector_destroyed] {
             GtkWidget *selector = shown_window("Select a window manager");
             if (selector == nullptr)
                 return false;
             set_file_selector_filename(selector, "/opt/caf\xe9-wm");
             EXPECT_STREQ(file_selector_filename(selector), "/opt/caf\xe9-wm");
             g_signal_connect_swapped(selector, "destroy",
                                      G_CALLBACK(+[](bool *flag) { *flag = true; }),
                                      &selector_destroyed);
             gtk_button_clicked(GTK_BUTTON(file_selector_ok_button(selector)));
             return true;
         },
         [&selector_destroyed] {
             GtkWidget *dialog = shown_window("Add item");
             if (dialog == nullptr || shown_window("Select a window manager") != nullptr)
                 return false;
             EXPECT_TRUE(selector_destroyed);
             GtkWidget *description = nullptr;
             GtkWidget *command = nullptr;
             for (GtkWidget *widget : widgets_under(dialog))
                 if (GTK_IS_ENTRY(widget))
                     (description == nullptr ? description : command) = widget;
             EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(command)), "/opt/caf\xc3\xa9-wm");
             gtk_entry_set_text(GTK_ENTRY(description), "Picked");
             gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
             return true;
         }});
    show_item_dialog(ITEM_DIALOG_ADD, &state);
    EXPECT_TRUE(script.finished());
    const std::vector<ListRow> rows = read_list_rows(state.store.get());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].description, "Picked");
    EXPECT_EQ(rows[0].command, "/opt/caf\xe9-wm");
    destroy_main_window(&state);
}

} // namespace
