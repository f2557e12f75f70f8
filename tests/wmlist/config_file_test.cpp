// SPDX-License-Identifier: GPL-2.0-or-later
#include "wmlist/config_file.h"

#include "app/glib_ptr.h"
#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "support/temp_dir.h"
#include "wmlist/config_texts.h"
#include "wmlist/wm_list.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

class ConfigFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        create_main_window(&state);
        set_config_path(&state, path().c_str());
        state.save_on_exit = 1;
        warnings.emplace();
    }
    void TearDown() override {
        warnings.reset();
        destroy_main_window(&state);
    }

    std::string path() const { return tmp.file("rc"); }
    GtkTreeModel *model() { return GTK_TREE_MODEL(state.store.get()); }

    std::vector<ListRow> rows() { return read_list_rows(state.store.get()); }

    // Index of the flagged rows and of the cursor row, -1 for none.
    std::vector<int> flagged() {
        std::vector<int> result;
        const std::vector<ListRow> all = rows();
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i].is_default)
                result.push_back(static_cast<int>(i));
        return result;
    }
    int cursor_row() {
        GtkTreePath *path = nullptr;
        gtk_tree_view_get_cursor(GTK_TREE_VIEW(state.tree_view), &path, nullptr);
        if (path == nullptr)
            return -1;
        const int index = gtk_tree_path_get_indices(path)[0];
        gtk_tree_path_free(path);
        return index;
    }
    int selected_row() { return selected_row_index(state.tree_view); }

    TempDir tmp;
    AppState state{};
    std::optional<WarningCapture> warnings;
};

TEST_F(ConfigFileTest, ExampleLoadsMarksTheDefaultAndSavesTheSameBytes) {
    write_file(path(), EXAMPLE);
    EXPECT_EQ(load_config(&state), 3);
    const std::vector<ListRow> loaded = rows();
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_EQ(loaded[0].description, "Window Maker");
    EXPECT_EQ(loaded[0].command, "/usr/local/bin/wmaker");
    EXPECT_EQ(loaded[1].description, "Fluxbox");
    EXPECT_EQ(loaded[2].command, "twm");
    EXPECT_EQ(flagged(), std::vector<int>{1});
    EXPECT_EQ(cursor_row(), 1);
    EXPECT_EQ(selected_row(), 1);
    EXPECT_DOUBLE_EQ(state.delay, 15.0);
    EXPECT_EQ(state.restart, 0);
    EXPECT_EQ(state.goback_btn, 3);

    save_config(&state);
    EXPECT_EQ(read_file(path()), EXAMPLE);
    EXPECT_TRUE(warnings->messages().empty());
}

TEST_F(ConfigFileTest, DefaultPosition) {
    const struct {
        const char *line; // the default_wm line, or nothing
        int marked;       // -1: no row marked or selected
    } cases[] = {
        {"", 0},
        {"default_wm:2\n", 2},
        {"default_wm:-1\n", -1},
        {"default_wm:3\n", -1},
        {"default_wm:99\n", -1},
        {"default_wm:1junk\n", 1},
        {"default_wm: 2\r\n", 2},
        {"default_wm:x\n", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        TearDown();
        SetUp();
        write_file(path(), std::string("a=a\nb=b\nc=c\n") + c.line);
        EXPECT_EQ(load_config(&state), 3);
        EXPECT_EQ(flagged(), c.marked < 0 ? std::vector<int>{} : std::vector<int>{c.marked});
        EXPECT_EQ(cursor_row(), c.marked);
        EXPECT_EQ(selected_row(), c.marked);
    }
}

TEST_F(ConfigFileTest, GobackButtonAgainstSavedRestart) {
    const struct {
        int goback_btn;
        int saved_restart;
        int restart;
    } cases[] = {
        {1, 0, 1}, {1, 1, 1}, {2, 1, 0}, {2, 0, 0}, {3, 0, 0},
        {3, 1, 1}, {3, 5, 5}, {7, 1, 1}, {7, 0, 0}, {0, 1, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.goback_btn << "/" << c.saved_restart);
        TearDown();
        SetUp();
        write_file(path(), "twm=twm\nrestart_quorvane:" + std::to_string(c.saved_restart) +
                               "\ngoback_btn:" + std::to_string(c.goback_btn) + "\n");
        EXPECT_EQ(load_config(&state), 1);
        EXPECT_EQ(state.restart, c.restart);
        EXPECT_EQ(state.goback_btn, c.goback_btn);
        save_config(&state);
        const std::string saved = read_file(path());
        EXPECT_NE(saved.find("\nrestart_quorvane:" + std::to_string(c.restart) + "\n"),
                  std::string::npos)
            << saved;
        EXPECT_NE(saved.find("\ngoback_btn:" + std::to_string(c.goback_btn) + "\n"),
                  std::string::npos)
            << saved;
    }
}

TEST_F(ConfigFileTest, SettingsWithoutEntriesApplyAndCountNothing) {
    write_file(path(), "# only settings\ndelay:2.5\ngoback_btn:1\n");
    EXPECT_EQ(load_config(&state), 0);
    EXPECT_DOUBLE_EQ(state.delay, 2.5);
    EXPECT_EQ(state.restart, 1);
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(warnings->messages().empty());
}

TEST_F(ConfigFileTest, PathThatCannotBeUsed) {
    const struct {
        const char *name;
        std::string path;
    } cases[] = {
        {"missing file", tmp.file("missing")},
        {"folder that does not exist", tmp.file("none/rc")},
        {"a folder", tmp.path()},
        {"empty path", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        set_config_path(&state, c.path.c_str());
        EXPECT_EQ(load_config(&state), 0);
        EXPECT_EQ(warnings->messages(), std::vector<std::string>{READ_WARNING});
        EXPECT_DOUBLE_EQ(state.delay, 15.0);
        EXPECT_EQ(state.restart, 0);
        EXPECT_STREQ(state.default_wm.get(), "0");
        EXPECT_EQ(state.goback_btn, 3);
        EXPECT_TRUE(rows().empty());
        warnings->clear();
        if (c.path != tmp.file("missing")) {
            save_config(&state);
            ASSERT_EQ(warnings->messages().size(), 1u);
            EXPECT_EQ(warnings->messages()[0].rfind(WRITE_WARNING, 0), 0u)
                << warnings->messages()[0];
        }
    }
    EXPECT_FALSE(file_exists(tmp.file("none")));
}

// Never read, so that loading neither waits on a pipe nor reads a device
// for ever; the null device alone reads as the empty list it is.
TEST_F(ConfigFileTest, PathThatIsNoRegularFileIsNotRead) {
    const struct {
        const char *name;
        const char *target; // of a link, or nullptr for a pipe
        const char *refusal;
    } cases[] = {
        {"a pipe", nullptr, "not a regular file"},
        {"a link to /dev/zero", "/dev/zero", "not a regular file"},
        {"a link to /dev/full", "/dev/full", "not a regular file"},
        {"a link to /dev/null", "/dev/null", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        unlink(path().c_str());
        if (c.target != nullptr) {
            ASSERT_EQ(symlink(c.target, path().c_str()), 0);
        } else {
            ASSERT_EQ(mkfifo(path().c_str(), 0600), 0);
        }
        EXPECT_EQ(load_config(&state), 0);
        if (c.refusal == nullptr) {
            EXPECT_TRUE(warnings->messages().empty());
            EXPECT_FALSE(state.config_read_error);
            continue;
        }
        EXPECT_EQ(warnings->messages(), std::vector<std::string>{READ_WARNING});
        ASSERT_TRUE(state.config_read_error);
        EXPECT_STREQ(state.config_read_error.get(), c.refusal);
        warnings->clear();
        save_config(&state);
        EXPECT_EQ(warnings->messages(),
                  std::vector<std::string>{std::string(WRITE_WARNING) +
                                           ": it could not be read in full at start-up (" +
                                           c.refusal + ")"});
    }
}

// Text that cannot be taken line by line: what could be read is shown, and
// the file is never written.
TEST_F(ConfigFileTest, FileNotTakenWholeIsShownButNeverWritten) {
    const struct {
        const char *name;
        std::string text;
        int count;
        std::vector<int> marked;
    } cases[] = {
        {"a zero byte", std::string("A=a\0", 4) + "\nB=b\nC=c\ndefault_wm:1\n", 3, {1}},
        // An old Mac editor's line ends: one line, whose "=" a save would blank.
        {"carriage returns alone", "A=a\rB=b\rC=c\rdefault_wm:1\r", 1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        write_file(path(), c.text);
        EXPECT_EQ(load_config(&state), c.count);
        EXPECT_EQ(flagged(), c.marked);
        ASSERT_TRUE(state.config_read_error);
        add_wm_row(&state, "d", "D");
        save_config(&state);
        EXPECT_EQ(read_file(path()), c.text);
        ASSERT_EQ(warnings->messages().size(), 2u);
        EXPECT_EQ(warnings->messages()[1].rfind(WRITE_WARNING, 0), 0u);
    }
}

TEST_F(ConfigFileTest, MissingFileIsWrittenWithTheDefaults) {
    set_config_path(&state, tmp.file("missing").c_str());
    load_config(&state);
    warnings->clear();
    save_config(&state);
    EXPECT_EQ(read_file(tmp.file("missing")),
              std::string(HEADER) +
                  "delay:15.000000\nrestart_quorvane:0\ndefault_wm:0\ngoback_btn:3\n");
    EXPECT_TRUE(warnings->messages().empty());
}

TEST_F(ConfigFileTest, NothingIsWrittenWhenSavingIsOff) {
    write_file(path(), "kept=kept\n");
    state.save_on_exit = 0;
    add_wm_row(&state, "twm", "twm");
    save_config(&state);
    EXPECT_EQ(read_file(path()), "kept=kept\n");
    state.save_on_exit = 0;
    set_config_path(&state, tmp.file("new").c_str());
    save_config(&state);
    EXPECT_FALSE(file_exists(tmp.file("new")));
}

TEST_F(ConfigFileTest, SavedBytesComeFromTheListAndLeaveItAsItWas) {
    state.delay = 0.5;
    state.restart = 1;
    state.goback_btn = 2;
    state.default_wm.reset(g_strdup("0"));
    add_wm_row(&state, "xterm -display :0 -e a=b", "x:y=z");
    add_wm_row(&state, "b", "b");
    add_wm_row(&state, "c", "c");
    GtkTreeIter it;
    ASSERT_TRUE(gtk_tree_model_iter_nth_child(model(), &it, nullptr, 1));
    mark_default_row(state.store.get(), &it);
    ASSERT_TRUE(gtk_tree_model_iter_nth_child(model(), &it, nullptr, 2));
    mark_default_row(state.store.get(), &it);
    save_config(&state);
    EXPECT_EQ(read_file(path()),
              std::string(HEADER) + "x y z=xterm -display  0 -e a b\nb=b\nc=c\n" +
                  "delay:0.500000\nrestart_quorvane:1\ndefault_wm:2\ngoback_btn:2\n");
    EXPECT_EQ(rows()[0].description, "x:y=z");
    EXPECT_EQ(rows()[0].command, "xterm -display :0 -e a=b");
}

TEST_F(ConfigFileTest, SavingKeepsTheFileMode) {
    write_file(path(), EXAMPLE);
    ASSERT_EQ(chmod(path().c_str(), 0600), 0);
    load_config(&state);
    save_config(&state);
    struct stat info;
    ASSERT_EQ(stat(path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(read_file(path()), EXAMPLE);
}

// Another program's edit is never written over, however alike its size and
// times: the save is refused with the write warning, the file left as the
// other program made it. The program's own saves do not count as edits.
TEST_F(ConfigFileTest, AnotherProgramsEditIsNeverWrittenOver) {
    const auto same_times_edit = [this] {
        struct stat before = {};
        ASSERT_EQ(stat(path().c_str(), &before), 0);
        std::string text = read_file(path());
        text.replace(text.find("twm=twm"), 7, "twm=xwm");
        write_file(path(), text);
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, path().c_str(), times, 0), 0);
    };
    const struct {
        const char *name;
        bool file_at_start;
        std::function<void()> edit;
        bool file_after; // whether the other program left one
    } cases[] = {
        {"an edit of the same size and times", true, same_times_edit, true},
        {"an edit after a save of our own", true,
         [&] {
             save_config(&state);
             same_times_edit();
         },
         true},
        {"the file removed", true, [&] { unlink(path().c_str()); }, false},
        {"a file made where there was none", false, [&] { write_file(path(), "other=other\n"); },
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        unlink(path().c_str());
        if (c.file_at_start)
            write_file(path(), EXAMPLE);
        load_config(&state);
        warnings->clear();
        c.edit();
        const std::string edited = c.file_after ? read_file(path()) : "";
        add_wm_row(&state, "xterm", "X");
        save_config(&state);
        save_config(&state);
        EXPECT_EQ(file_exists(path()), c.file_after);
        if (c.file_after) {
            EXPECT_EQ(read_file(path()), edited);
        }
        EXPECT_EQ(warnings->messages(), std::vector<std::string>(2, CHANGED_WARNING));
    }
}

// Saves of its own, one after another, are never taken for another's edit,
// and neither is a null device that swallows every save.
TEST_F(ConfigFileTest, OwnSavesFollowOneAnother) {
    for (const bool null_device : {false, true}) {
        SCOPED_TRACE(null_device ? "the null device" : "a file");
        TearDown();
        SetUp();
        unlink(path().c_str());
        if (null_device) {
            ASSERT_EQ(symlink("/dev/null", path().c_str()), 0);
        } else {
            write_file(path(), EXAMPLE);
        }
        load_config(&state);
        for (const char *command : {"a", "b", "c"}) {
            add_wm_row(&state, command, command);
            save_config(&state);
        }
        EXPECT_TRUE(warnings->messages().empty());
        if (!null_device) {
            EXPECT_NE(read_file(path()).find("c=c\n"), std::string::npos);
        }
    }
}

// When the list comes back from a window manager, a file changed meanwhile
// is read again; one left alone keeps the list as it is.
TEST_F(ConfigFileTest, ChangedFileIsReadAgain) {
    write_file(path(), EXAMPLE);
    ASSERT_EQ(load_config(&state), 3);
    state.restart = 1; // the go-back button, turned on
    add_wm_row(&state, "xterm", "X");
    EXPECT_FALSE(reload_config_if_changed(&state));
    EXPECT_EQ(rows().size(), 4u);

    write_file(path(), "Mine=mine-wm\nOther=other-wm\ndelay:3\ndefault_wm:1\ngoback_btn:2\n");
    EXPECT_TRUE(reload_config_if_changed(&state));
    const std::vector<ListRow> loaded = rows();
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].description, "Mine");
    EXPECT_EQ(loaded[1].command, "other-wm");
    EXPECT_EQ(flagged(), std::vector<int>{1});
    EXPECT_EQ(selected_row(), 1);
    EXPECT_DOUBLE_EQ(state.delay, 3.0);
    EXPECT_EQ(state.goback_btn, 2);
    EXPECT_EQ(state.restart, 1);
    EXPECT_FALSE(reload_config_if_changed(&state));

    // What was read again is what the next save may write over.
    save_config(&state);
    EXPECT_EQ(read_file(path()), std::string(HEADER) + "Mine=mine-wm\nOther=other-wm\n" +
                                     "delay:3.000000\nrestart_quorvane:1\ndefault_wm:1\n"
                                     "goback_btn:2\n");
    EXPECT_TRUE(warnings->messages().empty());
}

// Whatever changed since loading, the save writes the list and settings as
// they are now; with nothing changed, the writer's own text comes back as it was.
TEST_F(ConfigFileTest, SaveAfterAnyChangeWritesTheListAsItIsNow) {
    const auto replaced = [](std::string text, const std::string &from, const std::string &to) {
        return text.replace(text.find(from), from.size(), to);
    };
    const auto row = [this](int index) {
        GtkTreeIter it;
        EXPECT_TRUE(gtk_tree_model_iter_nth_child(model(), &it, nullptr, index));
        return it;
    };
    const struct {
        const char *name;
        std::function<void()> change;
        std::string saved;
    } cases[] = {
        {"nothing", [] {}, EXAMPLE},
        {"a description",
         [&] {
             GtkTreeIter it = row(2);
             gtk_list_store_set(state.store.get(), &it, COL_DESCRIPTION, "Tab", -1);
         },
         replaced(EXAMPLE, "twm=twm", "Tab=twm")},
        {"the default",
         [&] {
             GtkTreeIter it = row(2);
             clear_default_marks(state.store.get());
             mark_default_row(state.store.get(), &it);
         },
         replaced(EXAMPLE, "default_wm:1", "default_wm:2")},
        {"a row deleted",
         [&] {
             GtkTreeIter it = row(0);
             gtk_list_store_remove(state.store.get(), &it);
         },
         replaced(replaced(EXAMPLE, "Window Maker=/usr/local/bin/wmaker\n", ""), "default_wm:1",
                  "default_wm:0")},
        {"a row added", [&] { add_wm_row(&state, "xterm", "X"); },
         replaced(EXAMPLE, "twm=twm\n", "twm=twm\nX=xterm\n")},
        {"rows moved",
         [&] {
             GtkTreeIter first = row(0), last = row(2);
             gtk_list_store_swap(state.store.get(), &first, &last);
         },
         replaced(replaced(EXAMPLE, "Window Maker=/usr/local/bin/wmaker\n", "twm=twm\n"),
                  "Fluxbox=/usr/local/bin/fluxbox\ntwm=twm\n",
                  "Fluxbox=/usr/local/bin/fluxbox\nWindow Maker=/usr/local/bin/wmaker\n")},
        {"the delay", [&] { state.delay = 2.5; },
         replaced(EXAMPLE, "delay:15.000000", "delay:2.500000")},
        {"the go-back button", [&] { state.restart = 1; },
         replaced(EXAMPLE, "restart_quorvane:0", "restart_quorvane:1")},
        {"its start state", [&] { state.goback_btn = 1; },
         replaced(EXAMPLE, "goback_btn:3", "goback_btn:1")},
        {"the delay, after a first save",
         [&] {
             save_config(&state);
             state.delay = 1;
         },
         replaced(EXAMPLE, "delay:15.000000", "delay:1.000000")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        write_file(path(), EXAMPLE);
        ASSERT_EQ(load_config(&state), 3);
        c.change();
        save_config(&state);
        EXPECT_EQ(read_file(path()), c.saved);
        EXPECT_TRUE(warnings->messages().empty());
    }
}

// What the view heard of the store's rows one at a time.
struct ViewWatch {
    GtkTreeView *view = nullptr;
    int rows = 0;         // rows added and removed
    int rows_in_view = 0; // of them, while the view had the store
};

void note_row(ViewWatch *watch) {
    ++watch->rows;
    if (gtk_tree_view_get_model(watch->view) != nullptr)
        ++watch->rows_in_view;
}

void on_watched_row_inserted(GtkTreeModel *, GtkTreePath *, GtkTreeIter *, gpointer watch) {
    note_row(static_cast<ViewWatch *>(watch));
}

void on_watched_row_deleted(GtkTreeModel *, GtkTreePath *, gpointer watch) {
    note_row(static_cast<ViewWatch *>(watch));
}

// Loading, and reading the file again, empty and fill the store while the
// view is without it: a view that hears of every row costs more than one
// given them all at once. It has the store back after, its type-ahead on
// the descriptions.
TEST_F(ConfigFileTest, TheViewIsGivenTheListOnceItIsFull) {
    ViewWatch watch{GTK_TREE_VIEW(state.tree_view)};
    g_signal_connect(state.store.get(), "row-inserted", G_CALLBACK(on_watched_row_inserted),
                     &watch);
    g_signal_connect(state.store.get(), "row-deleted", G_CALLBACK(on_watched_row_deleted), &watch);
    const auto view_has_the_list = [this] {
        EXPECT_EQ(gtk_tree_view_get_model(GTK_TREE_VIEW(state.tree_view)), model());
        EXPECT_EQ(gtk_tree_view_get_search_column(GTK_TREE_VIEW(state.tree_view)), COL_DESCRIPTION);
    };

    write_file(path(), EXAMPLE);
    ASSERT_EQ(load_config(&state), 3);
    EXPECT_EQ(watch.rows, 3);
    EXPECT_EQ(watch.rows_in_view, 0);
    view_has_the_list();

    write_file(path(), "Mine=mine-wm\nOther=other-wm\n");
    ASSERT_TRUE(reload_config_if_changed(&state));
    EXPECT_EQ(watch.rows, 3 + 3 + 2);
    EXPECT_EQ(watch.rows_in_view, 0);
    view_has_the_list();
    EXPECT_EQ(rows().size(), 2u);
    g_signal_handlers_disconnect_matched(state.store.get(), G_SIGNAL_MATCH_DATA, 0, 0, nullptr,
                                         nullptr, &watch);
}

// The list as a person sees it and a screen reader hears it after a load.
class LoadedListTest : public ConfigFileTest {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(load_accessibility_module()); }

    // A file of count entries "NAME N=NAME-N-wm", the default at that position.
    void write_list(const std::string &name, int count, int default_position) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += name + " " + std::to_string(i) + "=" + name + "-" + std::to_string(i) + "-wm\n";
        write_file(path(), text + "default_wm:" + std::to_string(default_position) + "\n");
    }

    bool row_in_sight(int index) {
        GtkTreePath *start = nullptr;
        GtkTreePath *end = nullptr;
        if (!gtk_tree_view_get_visible_range(GTK_TREE_VIEW(state.tree_view), &start, &end))
            return false;
        const TreePathPtr first(start), last(end);
        return gtk_tree_path_get_indices(first.get())[0] <= index &&
               index <= gtk_tree_path_get_indices(last.get())[0];
    }

    // The default row at that position, with the list shown: marked,
    // selected, under the cursor and in sight; the list read out whole, and
    // named after it.
    void expect_default_shown(const std::string &name, int count, int position) {
        EXPECT_TRUE(pump_until([&] { return row_in_sight(position); }))
            << "the default row is out of sight";
        EXPECT_EQ(flagged(), std::vector<int>{position});
        EXPECT_EQ(selected_row(), position);
        EXPECT_EQ(cursor_row(), position);
        AtkObject *list = gtk_widget_get_accessible(state.tree_view);
        const std::string shown = name + " " + std::to_string(position);
        EXPECT_EQ(accessible_description(list), "The default is " + shown);
        ASSERT_EQ(atk_table_get_n_rows(ATK_TABLE(list)), count);
        const GObjectPtr<AtkObject> cell(atk_table_ref_at(ATK_TABLE(list), position, 1));
        EXPECT_EQ(accessible_name(cell.get()), shown);
        EXPECT_EQ(accessible_description(cell.get()),
                  "Default: " + name + "-" + std::to_string(position) + "-wm");
        EXPECT_TRUE(has_state(cell.get(), ATK_STATE_SELECTED));
    }
};

// Far down a list longer than the window: at start, as main scrolls to the
// selected row, and when the file is read again while the window is hidden
// for a go-back window manager, where the view starts again at the top.
TEST_F(LoadedListTest, TheDefaultRowIsSelectedInSightAndNamedAfterALoadAndAReadingAgain) {
    write_list("Row", 60, 45);
    ASSERT_EQ(load_config(&state), 60);
    scroll_to_selected_row(&state);
    gtk_widget_show(state.window);
    ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(state.window); }));
    expect_default_shown("Row", 60, 45);

    gtk_widget_hide(state.window);
    write_list("Other", 70, 63);
    ASSERT_TRUE(reload_config_if_changed(&state));
    gtk_widget_show(state.window);
    ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(state.window); }));
    expect_default_shown("Other", 70, 63);
}

} // namespace
