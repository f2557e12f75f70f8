// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/item_dialog.h"

#include "app/accessible.h"
#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "app/legacy_gtk.h"
#include "app/window_focus.h"
#include "wmlist/config_format.h"
#include "wmlist/wm_list.h"

#include <cstring>
#include <utility>

namespace {

// The entry stands left of its label; the label's leading blank keeps it off.
GtkWidget *add_entry_row(GtkWidget *dialog, const char *text) {
    GtkWidget *row = gtk_hbox_new(FALSE, 0);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row, FALSE, FALSE,
                       0);
    GtkWidget *entry = gtk_entry_new();
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_box_pack_start(GTK_BOX(row), entry, FALSE, FALSE, 0);
    GtkWidget *label = gtk_label_new(text);
    label_field(label, entry);
    gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
    return entry;
}

// Hidden until a command is refused; then it says why.
const char kRefusalKey[] = "quorvane-refusal";

void add_refusal_label(GtkWidget *dialog) {
    GtkWidget *label = gtk_label_new(
        // TRANSLATORS: shown in the add and edit dialog when the command
        // typed would come back from the configuration file as another one.
        tr("A command may not hold \":\", \"=\" or a line break, nor end in a blank: the "
           "configuration file could not keep it as it is."));
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), label, FALSE,
                       FALSE, 5);
    gtk_widget_set_no_show_all(label, TRUE);
    g_object_set_data(G_OBJECT(dialog), kRefusalKey, label);
}

// The command stays for the person to mend, with the reason beside it, and a
// screen reader hears the reason with the field.
void refuse_command(GtkWidget *dialog, GtkWidget *command_entry) {
    auto *label = static_cast<GtkWidget *>(g_object_get_data(G_OBJECT(dialog), kRefusalKey));
    gtk_widget_show(label);
    atk_object_set_description(gtk_widget_get_accessible(command_entry),
                               gtk_label_get_text(GTK_LABEL(label)));
    gtk_widget_error_bell(command_entry);
    gtk_widget_grab_focus(command_entry);
}

// An entry shows the display form of the bytes it was given, and keeps the
// bytes, so that a text the user leaves alone goes back byte for byte.
const char kEntryBytesKey[] = "quorvane-entry-bytes";

void set_entry_bytes(GtkWidget *entry, const char *bytes) {
    gtk_entry_set_text(GTK_ENTRY(entry), display_text(bytes).get());
    g_object_set_data_full(G_OBJECT(entry), kEntryBytesKey, g_strdup(bytes), g_free);
}

const char *entry_bytes(GtkWidget *entry) {
    return text_to_store(
        static_cast<const char *>(g_object_get_data(G_OBJECT(entry), kEntryBytesKey)),
        gtk_entry_get_text(GTK_ENTRY(entry)));
}

void fill_entries(GtkTreeModel *model, GtkTreeIter *row, GtkWidget *command_entry,
                  GtkWidget *description_entry) {
    const WmRow wm = read_wm_row(model, row);
    set_entry_bytes(description_entry, wm.description.c_str());
    set_entry_bytes(command_entry, wm.command.c_str());
}

// Where the selector opens: at the file the command names, found along PATH
// as the launcher finds it when it has no slash; at the nearest folder that
// is there when the file is not; where it would open anyway when the command
// names nothing to look at.
GCharPtr selector_start(const char *command) {
    if (command[0] == '\0')
        return nullptr;
    GCharPtr path(strchr(command, '/') != nullptr ? g_strdup(command)
                                                  : g_find_program_in_path(command));
    if (!path)
        return nullptr;
    if (g_file_test(path.get(), G_FILE_TEST_IS_DIR))
        return GCharPtr(g_strconcat(path.get(), "/", nullptr));
    if (g_file_test(path.get(), G_FILE_TEST_EXISTS))
        return path;
    GCharPtr folder(g_path_get_dirname(path.get()));
    while (!g_file_test(folder.get(), G_FILE_TEST_IS_DIR)) {
        GCharPtr parent(g_path_get_dirname(folder.get()));
        if (strcmp(parent.get(), folder.get()) == 0)
            return nullptr;
        folder = std::move(parent);
    }
    return GCharPtr(g_strconcat(folder.get(), "/", nullptr));
}

// What the file selector's OK button needs; lives while the selector does.
struct FileSelectorData {
    GtkWidget *selector;
    GtkWidget *command_entry;
};

// "clicked" handler of the file selector's OK button.
void on_file_selected(GtkWidget *, gpointer data) {
    auto *files = static_cast<FileSelectorData *>(data);
    // The entry shows the path as file names are shown; the command keeps
    // the path's own bytes, which are what can be started.
    set_entry_bytes(files->command_entry, file_selector_filename(files->selector));
    gtk_widget_destroy(files->selector);
}

// Returns once the selector is gone, whichever way it went; the keyboard is
// then in the command entry, so that Return accepts the dialog.
void run_file_selector(GtkWidget *command_entry) {
    GtkWidget *selector = new_file_selector(tr("Select a window manager"));
    const GCharPtr start = selector_start(entry_bytes(command_entry));
    if (start)
        set_file_selector_filename(selector, start.get());
    gtk_window_set_modal(GTK_WINDOW(selector), TRUE);
    g_signal_connect(selector, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_window_set_position(GTK_WINDOW(selector), GTK_WIN_POS_MOUSE);

    FileSelectorData data = {selector, command_entry};
    g_signal_connect(file_selector_ok_button(selector), "clicked", G_CALLBACK(on_file_selected),
                     &data);
    g_signal_connect_swapped(file_selector_cancel_button(selector), "clicked",
                             G_CALLBACK(gtk_widget_destroy), selector);
    // Its name selected, so that typing replaces it.
    show_with_focus(selector, file_selector_entry(selector));
    gtk_main();
    gtk_widget_grab_focus(command_entry);
}

// Builds the dialog, not yet shown: the accepting button answers
// GTK_RESPONSE_OK, "gtk-cancel" GTK_RESPONSE_CANCEL, our Find GTK_RESPONSE_HELP.
GtkWidget *create_item_dialog(const char *title, const char *accept_stock_id,
                              GtkWidget **command_entry, GtkWidget **description_entry) {
    GtkWidget *dialog = gtk_dialog_new_with_buttons(title, nullptr, GTK_DIALOG_MODAL,
                                                    accept_stock_id, GTK_RESPONSE_OK,
                                                    GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL, nullptr);
    // The stock Find's key is OK's in some languages (Italian "Tr_ova" and
    // "_OK"): our own label keeps a key of its own beside the stock buttons.
    // TRANSLATORS: the button that opens a file selector for the command; give
    // it a key apart from those of the toolkit's OK, Add and Cancel.
    GtkWidget *find = gtk_dialog_add_button(GTK_DIALOG(dialog), tr("_Find"), GTK_RESPONSE_HELP);
    gtk_button_set_image(GTK_BUTTON(find),
                         gtk_image_new_from_stock(GTK_STOCK_FIND, GTK_ICON_SIZE_BUTTON));
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    // Return in either field accepts, under the same rule as the button.
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    *description_entry = add_entry_row(dialog, tr(" Description"));
    *command_entry = add_entry_row(dialog, tr(" Command"));
    add_refusal_label(dialog);
    return dialog;
}

} // namespace

bool show_item_dialog(int mode, AppState *state) {
    const bool editing = mode != ITEM_DIALOG_ADD;
    // Nothing can remove a row while the modal dialog is up, so the row found
    // here is still the one to change when the dialog is accepted.
    GtkTreeModel *model = nullptr;
    GtkTreeIter row;
    if (editing && !gtk_tree_selection_get_selected(
                       gtk_tree_view_get_selection(GTK_TREE_VIEW(state->tree_view)), &model, &row))
        return false;

    GtkWidget *command_entry = nullptr;
    GtkWidget *description_entry = nullptr;
    GtkWidget *dialog =
        editing
            ? create_item_dialog(tr("Edit Item"), GTK_STOCK_OK, &command_entry, &description_entry)
            : create_item_dialog(tr("Add item"), GTK_STOCK_ADD, &command_entry, &description_entry);
    if (editing)
        fill_entries(model, &row, command_entry, description_entry);
    gtk_widget_show_all(gtk_bin_get_child(GTK_BIN(dialog)));
    show_with_focus(dialog, description_entry);

    bool added = false;
    while (true) {
        const int response = gtk_dialog_run(GTK_DIALOG(dialog));
        if (response == GTK_RESPONSE_HELP) {
            run_file_selector(command_entry);
            continue;
        }
        if (response != GTK_RESPONSE_OK)
            break;
        const char *command = entry_bytes(command_entry);
        const char *description = entry_bytes(description_entry);
        // Blanks count as text: only a truly empty field keeps the dialog open.
        if (command[0] == '\0' || description[0] == '\0')
            continue;
        // Saved, it would start another program after the next start.
        if (!is_storable_command(command)) {
            refuse_command(dialog, command_entry);
            continue;
        }
        if (editing) {
            set_wm_row_texts(GTK_LIST_STORE(model), &row, command, description);
        } else {
            add_wm_row(state, command, description);
            added = true;
        }
        break;
    }
    gtk_widget_destroy(dialog);
    return added;
}
