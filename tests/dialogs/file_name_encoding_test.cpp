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

// The selector speaks the file-name encoding; the entry takes only UTF-8.
TEST(FileNameEncoding, ChosenPathReachesTheCommandEntryAsUtf8) {
    ASSERT_TRUE(kLatin1FileNames);
    GtkWidget *entry = gtk_entry_new();
    g_object_ref_sink(entry);
    GtkWidget *selector = new_file_selector("Select a window manager");
    set_file_selector_filename(selector, "/opt/caf\xe9-wm");
    ASSERT_STREQ(file_selector_filename(selector), "/opt/caf\xe9-wm");

    gboolean destroyed = FALSE;
    g_signal_connect_swapped(selector, "destroy", G_CALLBACK(+[](gboolean *flag) { *flag = TRUE; }),
                             &destroyed);
    FileSelectorData data = {selector, entry};
    on_file_selected(file_selector_ok_button(selector), &data);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "/opt/caf\xc3\xa9-wm");
    EXPECT_TRUE(destroyed);
    g_object_unref(entry);
}

// The entry shows the chosen path in UTF-8, and the row gets the path's own
// bytes, which are what can be started.
TEST(FileNameEncoding, ChosenPathIsStoredAsItsOwnBytes) {
    ASSERT_TRUE(kLatin1FileNames);
    AppState state{};
    create_main_window(&state);
    ModalScript script(
        {[] {
             GtkWidget *dialog = shown_window("Add item");
             if (dialog == nullptr)
                 return false;
             gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_HELP);
             return true;
         },
         [] {
             GtkWidget *selector = shown_window("Select a window manager");
             if (selector == nullptr)
                 return false;
             set_file_selector_filename(selector, "/opt/caf\xe9-wm");
             gtk_button_clicked(GTK_BUTTON(file_selector_ok_button(selector)));
             return true;
         },
         [] {
             GtkWidget *dialog = shown_window("Add item");
             if (dialog == nullptr || shown_window("Select a window manager") != nullptr)
                 return false;
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
