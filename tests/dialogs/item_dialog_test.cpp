// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/item_dialog.h"

#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "app/legacy_gtk.h"
#include "dialogs/modal_script.h"
#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "support/temp_dir.h"
#include "wmlist/wm_list.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

#define ADD_TITLE "Add item"
#define EDIT_TITLE "Edit Item"
#define SELECTOR_TITLE "Select a window manager"

// The two entries of a shown item dialog: the first row is the description's.
struct Entries {
    GtkWidget *description = nullptr;
    GtkWidget *command = nullptr;
};

Entries entries_of(GtkWidget *dialog) {
    Entries entries;
    for (GtkWidget *widget : widgets_under(dialog))
        if (GTK_IS_ENTRY(widget))
            (entries.description == nullptr ? entries.description : entries.command) = widget;
    return entries;
}

std::string text_of(GtkWidget *entry) {
    return gtk_entry_get_text(GTK_ENTRY(entry));
}

void fill(GtkWidget *dialog, const char *description, const char *command) {
    const Entries entries = entries_of(dialog);
    gtk_entry_set_text(GTK_ENTRY(entries.description), description);
    gtk_entry_set_text(GTK_ENTRY(entries.command), command);
}

// A step that waits for the window to be the one taking input, then acts on
// it once: the item dialog counts only while no file selector is up.
std::function<bool()> on(const char *title, std::function<void(GtkWidget *)> act) {
    return [title, act] {
        GtkWidget *window = shown_window(title);
        if (window == nullptr ||
            (std::string(title) != SELECTOR_TITLE && shown_window(SELECTOR_TITLE) != nullptr))
            return false;
        act(window);
        return true;
    };
}

std::function<bool()> respond(const char *title, int response) {
    return on(title,
              [response](GtkWidget *dialog) { gtk_dialog_response(GTK_DIALOG(dialog), response); });
}

class ItemDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        create_main_window(&state);
        add_wm_row(&state, "first-wm", "First");
        add_wm_row(&state, "second-wm", "Second");
        add_wm_row(&state, "third-wm", "Third");
        GtkTreeIter row;
        gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(state.store.get()), &row, nullptr, 1);
        mark_default_row(state.store.get(), &row);
        gtk_widget_show(state.window);
        ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(state.window); }));
        before = read_list_rows(state.store.get());
    }
    void TearDown() override { destroy_main_window(&state); }

    void select_row(int index) {
        GtkTreePath *path = gtk_tree_path_new_from_indices(index, -1);
        gtk_tree_selection_select_path(gtk_tree_view_get_selection(GTK_TREE_VIEW(state.tree_view)),
                                       path);
        gtk_tree_path_free(path);
    }

    // Runs the dialog while the steps act on it; the script must get through.
    void run(int mode, std::vector<std::function<bool()>> steps) {
        ModalScript script(std::move(steps));
        show_item_dialog(mode, &state);
        EXPECT_TRUE(script.finished()) << "a step never came to pass";
        pump_events();
        EXPECT_EQ(shown_window(ADD_TITLE), nullptr);
        EXPECT_EQ(shown_window(EDIT_TITLE), nullptr);
    }

    std::vector<ListRow> rows() { return read_list_rows(state.store.get()); }

    AppState state{};
    std::vector<ListRow> before;
};

bool same_row(const ListRow &a, const ListRow &b) {
    return a.description == b.description && a.command == b.command &&
           a.is_default == b.is_default && a.blue == b.blue && a.black == b.black &&
           a.editable == b.editable && a.has_icon == b.has_icon;
}

// The add dialog's window, its buttons, and its two rows, each entry left of
// its label.
void expect_add_dialog_layout(GtkWidget *dialog) {
    const Entries entries = entries_of(dialog);
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), nullptr);
    GtkWindowPosition position = GTK_WIN_POS_NONE;
    g_object_get(dialog, "window-position", &position, nullptr);
    EXPECT_EQ(position, GTK_WIN_POS_CENTER);

    std::vector<std::pair<std::string, int>> buttons;
    for (GtkWidget *button : children_of(gtk_dialog_get_action_area(GTK_DIALOG(dialog))))
        buttons.emplace_back(gtk_button_get_label(GTK_BUTTON(button)),
                             gtk_dialog_get_response_for_widget(GTK_DIALOG(dialog), button));
    std::sort(buttons.begin(), buttons.end());
    const std::vector<std::pair<std::string, int>> expected = {
        {"_Find", GTK_RESPONSE_HELP},
        {GTK_STOCK_ADD, GTK_RESPONSE_OK},
        {GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL}}; // sorted by label
    EXPECT_EQ(buttons, expected);
    // Find's label is ours, with the toolkit's icon for it.
    for (GtkWidget *button : children_of(gtk_dialog_get_action_area(GTK_DIALOG(dialog)))) {
        if (gtk_dialog_get_response_for_widget(GTK_DIALOG(dialog), button) != GTK_RESPONSE_HELP)
            continue;
        GtkWidget *image = gtk_button_get_image(GTK_BUTTON(button));
        ASSERT_TRUE(GTK_IS_IMAGE(image));
        gchar *stock_id = nullptr;
        gtk_image_get_stock(GTK_IMAGE(image), &stock_id, nullptr);
        EXPECT_STREQ(stock_id, GTK_STOCK_FIND);
    }

    const std::vector<GtkWidget *> rows_of_dialog =
        children_of(gtk_dialog_get_content_area(GTK_DIALOG(dialog)));
    ASSERT_GE(rows_of_dialog.size(), 3u); // the two rows, then the action area
    const struct {
        GtkWidget *entry;
        const char *label;
    } expected_rows[] = {{entries.description, " Description"}, {entries.command, " Command"}};
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(expected_rows[i].label);
        ASSERT_TRUE(GTK_IS_HBOX(rows_of_dialog[i]));
        const std::vector<GtkWidget *> parts = children_of(rows_of_dialog[i]);
        ASSERT_EQ(parts.size(), 2u);
        EXPECT_EQ(parts[0], expected_rows[i].entry);
        EXPECT_EQ(text_of(parts[0]), "");
        ASSERT_TRUE(GTK_IS_LABEL(parts[1]));
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(parts[1])), expected_rows[i].label);
        for (GtkWidget *part : parts) {
            gboolean expand = TRUE, fill_space = TRUE;
            guint padding = 1;
            gtk_box_query_child_packing(GTK_BOX(rows_of_dialog[i]), part, &expand, &fill_space,
                                        &padding, nullptr);
            EXPECT_FALSE(expand);
            EXPECT_FALSE(fill_space);
            EXPECT_EQ(padding, 0u);
        }
    }
}

// As the menu's add entry opens it.
TEST_F(ItemDialogTest, DialogHasEachEntryLeftOfItsLabelAndThreeButtons) {
    ModalScript script({on(ADD_TITLE, [](GtkWidget *dialog) {
        expect_add_dialog_layout(dialog);
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    })});
    choose_menu_entry(pop_up_list_menu(&state), MENU_ADD);
    EXPECT_TRUE(script.finished()) << "a step never came to pass";
}

// The keys of the dialog's buttons, lower-cased: the toolkit's OK or Add and
// Cancel, and our Find.
std::vector<guint> button_keys(GtkWidget *dialog) {
    std::vector<guint> keys;
    for (GtkWidget *button : children_of(gtk_dialog_get_action_area(GTK_DIALOG(dialog))))
        for (GtkWidget *widget : widgets_under(button))
            if (GTK_IS_LABEL(widget))
                keys.push_back(
                    gdk_keyval_to_lower(gtk_label_get_mnemonic_keyval(GTK_LABEL(widget))));
    return keys;
}

// Alt and a key shared by two buttons only moves the keyboard between them:
// in every language each button has a key of its own, whichever button
// accepts. In Italian the toolkit's own Find was "Tr_ova", beside "_OK".
TEST_F(ItemDialogTest, EachButtonHasAKeyOfItsOwnInEveryLanguage) {
    const char *const locales[] = {"C",           "de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.UTF-8",
                                   "it_IT.UTF-8", "pt_BR.UTF-8", "ru_RU.UTF-8", "ja_JP.UTF-8"};
    const std::string saved_locale = setlocale(LC_ALL, nullptr);
    for (const char *locale : locales) {
        const bool generated = setlocale(LC_ALL, locale) != nullptr;
        setlocale(LC_ALL, saved_locale.c_str());
        if (!generated)
            GTEST_SKIP() << "the locale " << locale
                         << " is not generated (scripts/test generates it)";
    }
    const std::string saved_folder = bindtextdomain(QUORVANE_TEXT_DOMAIN, nullptr);
    bindtextdomain(QUORVANE_TEXT_DOMAIN, BUILD_LOCALE_DIR);
    for (const char *locale : locales) {
        SCOPED_TRACE(locale);
        setlocale(LC_ALL, locale);
        for (int mode : {ITEM_DIALOG_EDIT, ITEM_DIALOG_ADD}) {
            SCOPED_TRACE(mode);
            const std::string title = tr(mode == ITEM_DIALOG_ADD ? ADD_TITLE : EDIT_TITLE);
            std::vector<guint> keys;
            select_row(0);
            run(mode, {on(title.c_str(), [&keys](GtkWidget *dialog) {
                    keys = button_keys(dialog);
                    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
                })});
            std::string names;
            for (guint key : keys)
                names += std::string(gdk_keyval_name(key)) + " ";
            EXPECT_EQ(keys.size(), 3u) << names;
            EXPECT_EQ(std::set<guint>(keys.begin(), keys.end()).size(), keys.size()) << names;
            EXPECT_EQ(std::count(keys.begin(), keys.end(), GDK_KEY_VoidSymbol), 0) << names;
        }
    }
    setlocale(LC_ALL, saved_locale.c_str());
    bindtextdomain(QUORVANE_TEXT_DOMAIN, saved_folder.c_str());
}

// An empty field holds the dialog back, and so does a command that the file
// would give back as another one; otherwise blanks are text like any other.
TEST_F(ItemDialogTest, AddKeepsTheDialogOpenUntilBothTextsAreThere) {
    auto refused = [this](const char *description, const char *command) {
        return on(ADD_TITLE, [=](GtkWidget *dialog) {
            fill(dialog, description, command);
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
        });
    };
    auto still_open = [] {
        pump_events();
        return shown_window(ADD_TITLE) != nullptr && visible_message_boxes().empty();
    };
    run(ITEM_DIALOG_ADD,
        {on(ADD_TITLE,
            [](GtkWidget *dialog) {
                EXPECT_EQ(text_of(entries_of(dialog).description), "");
                EXPECT_EQ(text_of(entries_of(dialog).command), "");
                gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
            }),
         still_open, refused("Described", ""), still_open, refused("", "commanded"), still_open,
         on(ADD_TITLE,
            [](GtkWidget *dialog) {
                EXPECT_EQ(text_of(entries_of(dialog).command), "commanded") << "texts are kept";
                fill(dialog, "Described", "wm:1");
                gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
            }),
         still_open, refused("Described", "wm=1"), still_open, refused("Described", "wm "),
         still_open, refused(" ", "  "), still_open, on(ADD_TITLE, [](GtkWidget *dialog) {
             fill(dialog, " ", "  wm");
             gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
         })});
    const std::vector<ListRow> after = rows();
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back().description, " ");
    EXPECT_EQ(after.back().command, "  wm");
}

struct Added {
    const char *what;
    const char *description;
    const char *command;
};

class AddedRowTest : public ItemDialogTest, public ::testing::WithParamInterface<Added> {};

// Even a twin of the default row comes in as an ordinary row at the end.
TEST_P(AddedRowTest, GoesToTheEndAsAnOrdinaryUnselectedRow) {
    const Added added = GetParam();
    run(ITEM_DIALOG_ADD, {on(ADD_TITLE, [&](GtkWidget *dialog) {
            fill(dialog, added.description, added.command);
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
        })});
    const std::vector<ListRow> after = rows();
    ASSERT_EQ(after.size(), before.size() + 1);
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(same_row(after[i], before[i])) << i;
    const ListRow &row = after.back();
    EXPECT_EQ(row.description, added.description);
    EXPECT_EQ(row.command, added.command);
    EXPECT_FALSE(row.is_default);
    EXPECT_TRUE(row.black);
    EXPECT_TRUE(row.editable);
    EXPECT_TRUE(row.has_icon);
    EXPECT_EQ(selected_row_index(state.tree_view), -1);
    EXPECT_EQ(state.timeout_id, 0u) << "adding starts no countdown";
}

INSTANTIATE_TEST_SUITE_P(Texts, AddedRowTest,
                         ::testing::Values(Added{"Plain", "Openbox", "/usr/bin/openbox"},
                                           Added{"ColonAndEqualInTheDescription", "a:b=c",
                                                 "run x --opt"},
                                           Added{"TwinOfTheDefault", "Second", "second-wm"},
                                           Added{"Percent", "100% %s", "wm %d"}),
                         [](const auto &test) { return std::string(test.param.what); });

// Added from the list's menu, in a list longer than the window, the new last
// row is the selected one and scrolled into view.
TEST_F(ItemDialogTest, AddedFromTheMenuTheNewRowIsSelectedInView) {
    for (int i = 0; i < 40; ++i)
        add_wm_row(&state, "more-wm", "More");
    select_row(0);
    ASSERT_TRUE(pump_until([&] {
        GtkTreePath *start = nullptr;
        GtkTreePath *end = nullptr;
        if (!gtk_tree_view_get_visible_range(GTK_TREE_VIEW(state.tree_view), &start, &end))
            return false;
        const TreePathPtr first(start), last(end);
        return gtk_tree_path_get_indices(first.get())[0] == 0;
    }));
    ModalScript script({on(ADD_TITLE, [](GtkWidget *dialog) {
        fill(dialog, "Last", "last-wm");
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    })});
    choose_menu_entry(pop_up_list_menu(&state), MENU_ADD);
    EXPECT_TRUE(script.finished());
    const int last_row = static_cast<int>(rows().size()) - 1;
    EXPECT_TRUE(pump_until([&] {
        GtkTreePath *start = nullptr;
        GtkTreePath *end = nullptr;
        if (!gtk_tree_view_get_visible_range(GTK_TREE_VIEW(state.tree_view), &start, &end))
            return false;
        const TreePathPtr first(start), last(end);
        return gtk_tree_path_get_indices(last.get())[0] == last_row;
    })) << "the new row is out of view";
    EXPECT_EQ(selected_row_index(state.tree_view), last_row);
}

TEST_F(ItemDialogTest, CancelOrClosingAddsNothing) {
    run(ITEM_DIALOG_ADD, {on(ADD_TITLE, [](GtkWidget *dialog) {
            fill(dialog, "Unwanted", "unwanted-wm");
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        })});
    run(ITEM_DIALOG_ADD, {on(ADD_TITLE, [](GtkWidget *dialog) {
            fill(dialog, "Unwanted", "unwanted-wm");
            close_like_a_window_manager(dialog);
        })});
    EXPECT_EQ(rows().size(), before.size());
}

TEST_F(ItemDialogTest, EditWithoutSelectionShowsNothing) {
    gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(GTK_TREE_VIEW(state.tree_view)));
    show_item_dialog(ITEM_DIALOG_EDIT, &state); // returns at once, or the test hangs
    pump_events();
    EXPECT_EQ(shown_window(EDIT_TITLE), nullptr);
    EXPECT_EQ(rows().size(), before.size());
}

struct Edit {
    const char *what;
    int mode;
    int row;
};

class EditTest : public ItemDialogTest, public ::testing::WithParamInterface<Edit> {};

// The default row stays default, blue and with its icon; other rows stay as
// they were; any non-zero mode edits.
TEST_P(EditTest, WritesBothTextsBackToTheSelectedRowOnly) {
    const Edit edit = GetParam();
    select_row(edit.row);
    run(edit.mode,
        {on(EDIT_TITLE,
            [&](GtkWidget *dialog) {
                EXPECT_EQ(text_of(entries_of(dialog).description), before[edit.row].description);
                EXPECT_EQ(text_of(entries_of(dialog).command), before[edit.row].command);
                EXPECT_EQ(gtk_button_get_label(GTK_BUTTON(
                              find_widget(dialog,
                                          [&](GtkWidget *w) {
                                              return GTK_IS_BUTTON(w) &&
                                                     gtk_dialog_get_response_for_widget(
                                                         GTK_DIALOG(dialog), w) == GTK_RESPONSE_OK;
                                          }))),
                          std::string(GTK_STOCK_OK));
                fill(dialog, "", "changed-wm");
                gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
            }),
         on(EDIT_TITLE, [](GtkWidget *dialog) {
             fill(dialog, "Changed: me", "changed-wm --x");
             gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
         })});
    const std::vector<ListRow> after = rows();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        if (static_cast<int>(i) == edit.row)
            continue;
        EXPECT_TRUE(same_row(after[i], before[i])) << i;
    }
    ListRow expected = before[edit.row];
    expected.description = "Changed: me";
    expected.command = "changed-wm --x";
    EXPECT_TRUE(same_row(after[edit.row], expected));
    EXPECT_EQ(selected_row_index(state.tree_view), edit.row);
}

INSTANTIATE_TEST_SUITE_P(Rows, EditTest,
                         ::testing::Values(Edit{"Ordinary", ITEM_DIALOG_EDIT, 2},
                                           Edit{"Default", ITEM_DIALOG_EDIT, 1},
                                           Edit{"AnyNonZeroMode", -3, 0}),
                         [](const auto &test) { return std::string(test.param.what); });

// Bytes that are not UTF-8 reach the entries converted; a field left as it
// was shown gives back the row's bytes, and a changed one what was typed.
struct BytesEdit {
    const char *what;
    const char *description; // typed; nullptr: left as shown
    const char *command;
    const char *stored_description;
    const char *stored_command;
};

class BytesEditTest : public ItemDialogTest, public ::testing::WithParamInterface<BytesEdit> {};

TEST_P(BytesEditTest, FieldLeftAsShownKeepsItsBytes) {
    const BytesEdit edit = GetParam();
    add_wm_row(&state, "/opt/wm-caf\xe9", "Caf\xe9");
    select_row(3);
    run(ITEM_DIALOG_EDIT, {on(EDIT_TITLE, [&](GtkWidget *dialog) {
            const Entries entries = entries_of(dialog);
            EXPECT_EQ(text_of(entries.description), "Caf\xef\xbf\xbd");
            EXPECT_EQ(text_of(entries.command), "/opt/wm-caf\xef\xbf\xbd");
            if (edit.description != nullptr)
                gtk_entry_set_text(GTK_ENTRY(entries.description), edit.description);
            if (edit.command != nullptr)
                gtk_entry_set_text(GTK_ENTRY(entries.command), edit.command);
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
        })});
    const std::vector<ListRow> after = rows();
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[3].description, edit.stored_description);
    EXPECT_EQ(after[3].command, edit.stored_command);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BytesEditTest,
    ::testing::Values(BytesEdit{"Neither", nullptr, nullptr, "Caf\xe9", "/opt/wm-caf\xe9"},
                      BytesEdit{"TheDescription", "Mine", nullptr, "Mine", "/opt/wm-caf\xe9"},
                      BytesEdit{"TheCommand", nullptr, "xterm", "Caf\xe9", "xterm"},
                      BytesEdit{"TypedAfterTheConverted", "Caf\xef\xbf\xbds", nullptr,
                                "Caf\xef\xbf\xbds", "/opt/wm-caf\xe9"},
                      BytesEdit{"TypedBackAsShown", "Caf\xef\xbf\xbd", "/opt/wm-caf\xef\xbf\xbd",
                                "Caf\xe9", "/opt/wm-caf\xe9"}),
    [](const auto &test) { return std::string(test.param.what); });

TEST_F(ItemDialogTest, CancelAfterEditingChangesNothing) {
    select_row(0);
    run(ITEM_DIALOG_EDIT, {on(EDIT_TITLE, [](GtkWidget *dialog) {
            fill(dialog, "Other", "other-wm");
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        })});
    const std::vector<ListRow> after = rows();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(same_row(after[i], before[i])) << i;
}

// "gtk-find", a path chosen in the selector, then the selector's OK.
std::vector<std::function<bool()>> pick(const char *dialog_title, const std::string &path) {
    return {respond(dialog_title, GTK_RESPONSE_HELP),
            on(SELECTOR_TITLE, [path](GtkWidget *selector) {
                set_file_selector_filename(selector, path.c_str());
                gtk_button_clicked(GTK_BUTTON(file_selector_ok_button(selector)));
            })};
}

std::vector<std::function<bool()>> then(std::vector<std::function<bool()>> steps,
                                        std::vector<std::function<bool()>> more) {
    steps.insert(steps.end(), more.begin(), more.end());
    return steps;
}

TEST_F(ItemDialogTest, FileSelectorOkPutsTheFullPathIntoTheCommandEntry) {
    TempDir tmp;
    const std::string program = tmp.file("some-wm");
    write_file(program, "");
    select_row(0);
    run(ITEM_DIALOG_EDIT,
        then({on(EDIT_TITLE,
                 [](GtkWidget *dialog) {
                     fill(dialog, "Kept", "replaced-wm --with args");
                     gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_HELP);
                 }),
              on(SELECTOR_TITLE,
                 [&](GtkWidget *selector) {
                     EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(selector)));
                     EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(selector)), nullptr);
                     GtkWindowPosition position = GTK_WIN_POS_NONE;
                     g_object_get(selector, "window-position", &position, nullptr);
                     EXPECT_EQ(position, GTK_WIN_POS_MOUSE);
                     set_file_selector_filename(selector, program.c_str());
                     gtk_button_clicked(GTK_BUTTON(file_selector_ok_button(selector)));
                 }),
              on(EDIT_TITLE,
                 [&](GtkWidget *dialog) {
                     EXPECT_EQ(text_of(entries_of(dialog).description), "Kept");
                     EXPECT_EQ(text_of(entries_of(dialog).command), program);
                 })},
             // Twice: the dialog goes on working after the selector.
             then(pick(EDIT_TITLE, tmp.file("other-wm")), {on(EDIT_TITLE, [&](GtkWidget *dialog) {
                      EXPECT_EQ(text_of(entries_of(dialog).command), tmp.file("other-wm"));
                      gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
                  })})));
    EXPECT_EQ(rows()[0].description, "Kept");
    EXPECT_EQ(rows()[0].command, tmp.file("other-wm"));
}

// Whatever the selector gives is taken, a folder included.
TEST_F(ItemDialogTest, FileSelectorGivesAFolderWhenNoFileIsNamed) {
    TempDir tmp;
    std::string taken;
    run(ITEM_DIALOG_ADD,
        then(pick(ADD_TITLE, tmp.path() + "/"), {on(ADD_TITLE, [&](GtkWidget *dialog) {
                 taken = text_of(entries_of(dialog).command);
                 fill(dialog, "Folder", taken.c_str());
                 gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
             })}));
    EXPECT_EQ(taken.substr(0, tmp.path().size()), tmp.path());
    EXPECT_TRUE(g_file_test(taken.c_str(), G_FILE_TEST_IS_DIR)) << taken;
    EXPECT_EQ(rows().back().command, taken);
}

TEST_F(ItemDialogTest, FileSelectorCancelOrCloseKeepsBothEntriesAndCancelKeepsTheList) {
    for (bool by_cancel : {true, false}) {
        SCOPED_TRACE(by_cancel ? "Cancel" : "closed");
        run(ITEM_DIALOG_ADD,
            {on(ADD_TITLE,
                [](GtkWidget *dialog) {
                    fill(dialog, "Typed", "typed-wm");
                    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_HELP);
                }),
             on(SELECTOR_TITLE,
                [by_cancel](GtkWidget *selector) {
                    set_file_selector_filename(selector, "/bin/sh");
                    if (by_cancel)
                        gtk_button_clicked(GTK_BUTTON(file_selector_cancel_button(selector)));
                    else
                        close_like_a_window_manager(selector);
                }),
             on(ADD_TITLE, [](GtkWidget *dialog) {
                 EXPECT_EQ(text_of(entries_of(dialog).description), "Typed");
                 EXPECT_EQ(text_of(entries_of(dialog).command), "typed-wm");
                 gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
             })});
    }
    EXPECT_EQ(rows().size(), before.size());
}

TEST_F(ItemDialogTest, CancelAfterAPickLeavesTheRowAsItWas) {
    select_row(2);
    run(ITEM_DIALOG_EDIT,
        then(pick(EDIT_TITLE, "/bin/sh"), {respond(EDIT_TITLE, GTK_RESPONSE_CANCEL)}));
    EXPECT_TRUE(same_row(rows()[2], before[2]));
}

} // namespace
