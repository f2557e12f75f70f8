// SPDX-License-Identifier: GPL-2.0-or-later
#include "wmlist/wm_list.h"

#include "app/glib_ptr.h"
#include "support/gtk_probe.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

class WmListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        state.store.reset(create_wm_store());
    }
    void TearDown() override { gtk_widget_destroy(state.window); }

    GtkTreeModel *model() { return GTK_TREE_MODEL(state.store.get()); }

    std::vector<ListRow> rows() { return read_list_rows(state.store.get()); }

    GtkTreeIter nth(int n) {
        GtkTreeIter it;
        EXPECT_TRUE(gtk_tree_model_iter_nth_child(model(), &it, nullptr, n));
        return it;
    }

    int blue_rows() {
        int count = 0;
        for (const ListRow &row : rows()) {
            EXPECT_EQ(row.blue, row.is_default) << row.description;
            count += row.blue ? 1 : 0;
        }
        return count;
    }

    AppState state{};
};

TEST_F(WmListTest, AddedRowTakesCommandBeforeDescriptionAndIsPlain) {
    add_wm_row(&state, "/usr/bin/twm", "Tab WM");
    add_wm_row(&state, "/usr/bin/twm", "Tab WM");
    GtkTreeIter first = nth(0);
    mark_default_row(state.store.get(), &first);
    add_wm_row(&state, "/usr/bin/twm", "Tab WM");

    const std::vector<ListRow> all = rows();
    ASSERT_EQ(all.size(), 3u);
    const ListRow &row = all[2];
    EXPECT_EQ(row.command, "/usr/bin/twm");
    EXPECT_EQ(row.description, "Tab WM");
    // Even a copy of the default row starts as an ordinary one.
    EXPECT_FALSE(row.is_default);
    EXPECT_TRUE(row.black);
    EXPECT_TRUE(row.editable);
    EXPECT_TRUE(row.has_icon);
}

GdkPixbuf *icon_of(GtkTreeModel *model, int n) {
    GtkTreeIter row;
    EXPECT_TRUE(gtk_tree_model_iter_nth_child(model, &row, nullptr, n));
    GdkPixbuf *icon = nullptr;
    gtk_tree_model_get(model, &row, COL_ICON, &icon, -1);
    GObjectPtr<GdkPixbuf> held(icon); // the store keeps its own reference
    return icon;
}

bool same_pixels(GdkPixbuf *a, GdkPixbuf *b) {
    if (a == nullptr || b == nullptr || gdk_pixbuf_get_width(a) != gdk_pixbuf_get_width(b) ||
        gdk_pixbuf_get_height(a) != gdk_pixbuf_get_height(b) ||
        gdk_pixbuf_get_rowstride(a) != gdk_pixbuf_get_rowstride(b) ||
        gdk_pixbuf_get_n_channels(a) != gdk_pixbuf_get_n_channels(b))
        return false;
    const int bytes = gdk_pixbuf_get_rowstride(a) * (gdk_pixbuf_get_height(a) - 1) +
                      gdk_pixbuf_get_width(a) * gdk_pixbuf_get_n_channels(a);
    return memcmp(gdk_pixbuf_get_pixels(a), gdk_pixbuf_get_pixels(b), bytes) == 0;
}

// Each row's icon is the one the window would render at the time the row is
// added, also after the window's look has changed.
TEST_F(WmListTest, RowIconFollowsTheLookOfTheWindow) {
    add_wm_row(&state, "a", "a");
    add_wm_row(&state, "b", "b");
    GObjectPtr<GdkPixbuf> normal(
        gtk_widget_render_icon(state.window, GTK_STOCK_EXECUTE, GTK_ICON_SIZE_MENU, nullptr));
    EXPECT_TRUE(same_pixels(icon_of(model(), 0), normal.get()));
    EXPECT_TRUE(same_pixels(icon_of(model(), 1), normal.get()));

    // An insensitive window draws its icons greyed.
    gtk_widget_set_sensitive(state.window, FALSE);
    add_wm_row(&state, "c", "c");
    GObjectPtr<GdkPixbuf> greyed(
        gtk_widget_render_icon(state.window, GTK_STOCK_EXECUTE, GTK_ICON_SIZE_MENU, nullptr));
    ASSERT_FALSE(same_pixels(greyed.get(), normal.get()));
    EXPECT_TRUE(same_pixels(icon_of(model(), 2), greyed.get()));

    gtk_widget_set_sensitive(state.window, TRUE);
    add_wm_row(&state, "d", "d");
    EXPECT_TRUE(same_pixels(icon_of(model(), 3), normal.get()));
}

TEST_F(WmListTest, NewDefaultLeavesExactlyOneBlueRow) {
    for (const char *name : {"a", "b", "c", "d"})
        add_wm_row(&state, name, name);
    EXPECT_EQ(blue_rows(), 0);

    GtkTreeIter row = nth(1);
    mark_default_row(state.store.get(), &row);
    EXPECT_EQ(blue_rows(), 1);

    for (int target : {3, 3, 0}) {
        clear_default_marks(state.store.get());
        GtkTreeIter chosen = nth(target);
        mark_default_row(state.store.get(), &chosen);
        const std::vector<ListRow> all = rows();
        EXPECT_EQ(blue_rows(), 1);
        EXPECT_TRUE(all[target].is_default);
    }

    clear_default_marks(state.store.get());
    EXPECT_EQ(blue_rows(), 0);
}

TEST_F(WmListTest, ClearingAnEmptyListLeavesItAlone) {
    clear_default_marks(state.store.get());
    EXPECT_EQ(gtk_tree_model_iter_n_children(model(), nullptr), 0);
}

struct EditCase {
    const char *name;
    int column;
    const char *path;
    const char *text;
    const char *want_description;
    const char *want_command;
};

class CellEditTest : public WmListTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(CellEditTest, StoresTheTextInTheRendererColumnOfTheNamedRow) {
    const EditCase &c = GetParam();
    add_wm_row(&state, "cmd0", "desc0");
    add_wm_row(&state, "cmd1", "desc1");
    GtkTreeIter first = nth(1);
    mark_default_row(state.store.get(), &first);

    GObjectPtr<GtkCellRenderer> renderer(gtk_cell_renderer_text_new());
    g_object_ref_sink(renderer.get());
    g_object_set_data(G_OBJECT(renderer.get()), CELL_COLUMN_KEY, GINT_TO_POINTER(c.column));
    on_cell_edited(GTK_CELL_RENDERER_TEXT(renderer.get()), c.path, c.text, state.store.get());

    const std::vector<ListRow> all = rows();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].description, "desc0");
    EXPECT_EQ(all[0].command, "cmd0");
    EXPECT_EQ(all[1].description, c.want_description);
    EXPECT_EQ(all[1].command, c.want_command);
    // The edit never touches the default mark or the icon.
    EXPECT_TRUE(all[1].is_default);
    EXPECT_TRUE(all[1].blue);
    EXPECT_TRUE(all[1].has_icon);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CellEditTest,
    ::testing::Values(EditCase{"Description", COL_DESCRIPTION, "1", "renamed", "renamed", "cmd1"},
                      EditCase{"Command", COL_COMMAND, "1", "/bin/other", "desc1", "/bin/other"},
                      EditCase{"EmptyText", COL_DESCRIPTION, "1", "", "", "cmd1"},
                      EditCase{"Separators", COL_DESCRIPTION, "1", "a:b=c", "a:b=c", "cmd1"},
                      EditCase{"PathJustPastEnd", COL_DESCRIPTION, "2", "gone", "desc1", "cmd1"},
                      EditCase{"PathFarPastEnd", COL_DESCRIPTION, "7", "gone", "desc1", "cmd1"}),
    [](const ::testing::TestParamInfo<EditCase> &param_info) {
        return std::string(param_info.param.name);
    });

} // namespace

namespace {

std::string repeated(const std::string &part, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i)
        text += part;
    return text;
}

const std::string kEllipsis = "\u2026";
const std::string kReplacement = "\xef\xbf\xbd";

// Texts from the file need not be UTF-8: windows get them converted, and the
// converted text handed back unchanged stands for the bytes it came from.
// One longer than a screen is wide is shown cut, and stands for all its bytes.
TEST(DisplayText, ShowsUtf8AsItIsOtherBytesConvertedAndLongTextsCut) {
    const struct {
        const char *name;
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"empty", "", ""},
        {"UTF-8", "Caf\xc3\xa9 = ok", "Caf\xc3\xa9 = ok"},
        {"Latin-1", "Caf\xe9", "Caf" + kReplacement},
        {"Latin-1 path", "/opt/wm-caf\xe9", "/opt/wm-caf" + kReplacement},
        {"a sequence cut short by the end", "\xc3", kReplacement},
        {"a byte-order mark",
         "\xff\xfe"
         "a",
         kReplacement + kReplacement + "a"},
        {"a surrogate", "\xed\xa0\x80", repeated(kReplacement, 3)},
        {"as long as is shown", std::string(1000, 'x'), std::string(1000, 'x')},
        {"one character longer", std::string(1001, 'x'), std::string(1000, 'x') + kEllipsis},
        {"ten megabytes", std::string(10 * 1000 * 1000, 'x'), std::string(1000, 'x') + kEllipsis},
        {"long, of four-byte characters", repeated("\xf0\x9f\x98\x80", 1001),
         repeated("\xf0\x9f\x98\x80", 1000) + kEllipsis},
        {"long, of two-byte characters then other bytes", repeated("\xc3\xa9", 3000) + "\xe9",
         repeated("\xc3\xa9", 1000) + kEllipsis},
        {"long, of other bytes", std::string(5000, '\xe9'),
         repeated(kReplacement, 1000) + kEllipsis},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const GCharPtr shown = display_text(c.bytes.c_str());
        EXPECT_EQ(shown.get(), c.shown);
        EXPECT_TRUE(g_utf8_validate(shown.get(), -1, nullptr));
        EXPECT_EQ(text_to_store(c.bytes.c_str(), shown.get()), c.bytes.c_str());
        const char typed[] = "typed";
        EXPECT_EQ(text_to_store(c.bytes.c_str(), typed), typed);
    }
}

class BytesTest : public WmListTest {
  protected:
    void SetUp() override {
        WmListTest::SetUp();
        add_wm_row(&state, "/opt/wm-caf\xe9", "Caf\xe9");
        g_signal_connect_swapped(state.store.get(), "row-changed",
                                 G_CALLBACK(+[](int *count) { ++*count; }), &changes);
    }

    void edit(int column, const char *text) {
        GObjectPtr<GtkCellRenderer> renderer(gtk_cell_renderer_text_new());
        g_object_ref_sink(renderer.get());
        g_object_set_data(G_OBJECT(renderer.get()), CELL_COLUMN_KEY, GINT_TO_POINTER(column));
        on_cell_edited(GTK_CELL_RENDERER_TEXT(renderer.get()), "0", text, state.store.get());
    }

    // What the main list's description column shows of the row, as the view
    // has the column fill its cell to draw it.
    std::string shown_description(int index) {
        GtkWidget *view = gtk_tree_view_new_with_model(model());
        g_object_ref_sink(view);
        const WmViewColumns columns = append_wm_view_columns(GTK_TREE_VIEW(view));
        GtkTreeIter row = nth(index);
        gtk_tree_view_column_cell_set_cell_data(columns.text, model(), &row, FALSE, FALSE);
        gchar *text = nullptr;
        g_object_get(columns.text_cell, "text", &text, nullptr);
        const GCharPtr shown(text);
        gtk_widget_destroy(view);
        g_object_unref(view);
        return shown != nullptr ? shown.get() : "(no text)";
    }

    int changes = 0;
};

TEST_F(BytesTest, ReadRowGivesTheStoredBytesAndTheDefaultMark) {
    add_wm_row(&state, nullptr, nullptr);
    GtkTreeIter second = nth(1);
    mark_default_row(state.store.get(), &second);
    GtkTreeIter first = nth(0);
    const WmRow bytes = read_wm_row(model(), &first);
    EXPECT_EQ(bytes.description, "Caf\xe9");
    EXPECT_EQ(bytes.command, "/opt/wm-caf\xe9");
    EXPECT_FALSE(bytes.is_default);
    const WmRow null_texts = read_wm_row(model(), &second);
    EXPECT_EQ(null_texts.description, "");
    EXPECT_EQ(null_texts.command, "");
    EXPECT_TRUE(null_texts.is_default);

    set_wm_row_texts(state.store.get(), &second, "/usr/bin/\xff", "Tab \xfe");
    EXPECT_EQ(rows()[1].command, "/usr/bin/\xff");
    EXPECT_EQ(rows()[1].description, "Tab \xfe");
    EXPECT_EQ(rows()[0].description, "Caf\xe9");
}

TEST_F(BytesTest, DescriptionCellShowsTheBytesConverted) {
    EXPECT_EQ(shown_description(0), "Caf\xef\xbf\xbd");
}

TEST_F(BytesTest, LongDescriptionIsShownCutAndKeptWhole) {
    const std::string description(100000, 'x');
    add_wm_row(&state, "wm", description.c_str());
    EXPECT_EQ(shown_description(1), std::string(1000, 'x') + kEllipsis);
    EXPECT_EQ(rows()[1].description, description);
}

TEST_F(BytesTest, CellEditLeftAsShownKeepsTheBytesAndAChangeIsStoredAsTyped) {
    edit(COL_DESCRIPTION, "Caf\xef\xbf\xbd");
    edit(COL_COMMAND, "/opt/wm-caf\xef\xbf\xbd");
    EXPECT_EQ(rows()[0].description, "Caf\xe9");
    EXPECT_EQ(rows()[0].command, "/opt/wm-caf\xe9");
    EXPECT_EQ(changes, 0) << "an edit that changed nothing changed the row";

    edit(COL_DESCRIPTION, "Caf\xef\xbf\xbds");
    EXPECT_EQ(rows()[0].description, "Caf\xef\xbf\xbds");
    EXPECT_EQ(rows()[0].command, "/opt/wm-caf\xe9");
    EXPECT_EQ(changes, 1);
}

} // namespace
