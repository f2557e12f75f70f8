// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/legacy_gtk.h"
#include "dialogs/item_dialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

} // namespace
