// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/search.h"

#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "wmlist/wm_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

const char *const kTitle = "Window Managers found";

GtkWidget *shown_result_dialog() {
    GtkWidget *found = nullptr;
    GList *windows = gtk_window_list_toplevels();
    for (GList *item = windows; item != nullptr; item = item->next) {
        GtkWidget *window = GTK_WIDGET(item->data);
        const char *title = gtk_window_get_title(GTK_WINDOW(window));
        if (GTK_IS_DIALOG(window) && gtk_widget_get_mapped(window) && title != nullptr &&
            std::string(title) == kTitle)
            found = window;
    }
    g_list_free(windows);
    return found;
}

struct ResultDialog {
    GtkWidget *dialog = nullptr;
    GtkWidget *scrolled = nullptr;
    GtkTreeView *view = nullptr;
    GtkTreeModel *model() const { return gtk_tree_view_get_model(view); }
    GtkTreeSelection *selection() const { return gtk_tree_view_get_selection(view); }
    GtkCellRenderer *renderer(int column) const {
        GList *cells =
            gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(gtk_tree_view_get_column(view, column)));
        GtkCellRenderer *first = GTK_CELL_RENDERER(cells->data);
        g_list_free(cells);
        return first;
    }
};

class SearchDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        create_main_window(&state);
        state.save_on_exit = 0;
        add_wm_row(&state, "kept-wm", "Kept");
        GtkTreeIter first;
        gtk_tree_model_get_iter_first(GTK_TREE_MODEL(state.store.get()), &first);
        mark_default_row(state.store.get(), &first);
    }
    void TearDown() override { destroy_main_window(&state); }

    // Shows the dialog over what was found, lets the test look at it and work
    // in it once it is on screen, then answers it.
    void run(const std::vector<FoundWm> &found, const std::function<void(ResultDialog &)> &act,
             int response) {
        struct Call {
            const std::function<void(ResultDialog &)> *act;
            int response;
            bool done;
        } call{&act, response, false};
        g_timeout_add(
            10,
            [](gpointer data) -> gboolean {
                auto *c = static_cast<Call *>(data);
                GtkWidget *dialog = shown_result_dialog();
                if (dialog == nullptr)
                    return TRUE;
                ResultDialog d;
                d.dialog = dialog;
                d.scrolled = children_of(gtk_dialog_get_content_area(GTK_DIALOG(dialog)))[0];
                d.view = GTK_TREE_VIEW(gtk_bin_get_child(GTK_BIN(d.scrolled)));
                (*c->act)(d);
                c->done = true;
                gtk_dialog_response(GTK_DIALOG(dialog), c->response);
                return FALSE;
            },
            &call);
        show_found_wms(&state, found);
        EXPECT_TRUE(call.done);
        pump_events();
        EXPECT_EQ(shown_result_dialog(), nullptr) << "the dialog lives for one call";
    }

    std::vector<std::string> list() {
        std::vector<std::string> lines;
        for (const ListRow &row : read_list_rows(state.store.get())) {
            EXPECT_TRUE(row.is_default ? row.blue : row.black) << row.description;
            EXPECT_TRUE(row.editable && row.has_icon) << row.description;
            lines.push_back(row.description + "=" + row.command + (row.is_default ? " *" : ""));
        }
        return lines;
    }

    AppState state{};
};

const std::vector<FoundWm> kFound = {
    {"/usr/local/bin/fluxbox", "Fluxbox"},
    {"/usr/bin/X11/fluxbox", "Fluxbox"},
    {"/usr/bin/xterm", "xterm"},
};

// Over the main window; here, where it has not been shown yet, centred where
// it will show.
TEST_F(SearchDialogTest, ShowsEveryResultSelectedInAModalDialogOverTheMainWindow) {
    run(
        kFound,
        [this](ResultDialog &d) {
            GtkWindow *window = GTK_WINDOW(d.dialog);
            EXPECT_TRUE(gtk_window_get_modal(window));
            EXPECT_EQ(gtk_window_get_transient_for(window), GTK_WINDOW(state.window));
            GtkWindowPosition position;
            g_object_get(window, "window-position", &position, nullptr);
            EXPECT_EQ(position, GTK_WIN_POS_CENTER);

            // The buttons as they stand on screen, left to right.
            std::vector<GtkWidget *> buttons =
                children_of(gtk_dialog_get_action_area(GTK_DIALOG(d.dialog)));
            std::sort(buttons.begin(), buttons.end(), [](GtkWidget *a, GtkWidget *b) {
                GtkAllocation left, right;
                gtk_widget_get_allocation(a, &left);
                gtk_widget_get_allocation(b, &right);
                return left.x < right.x;
            });
            std::vector<std::string> seen;
            for (GtkWidget *button : buttons)
                seen.push_back(std::string(gtk_button_get_label(GTK_BUTTON(button))) + " " +
                               std::to_string(gtk_dialog_get_response_for_widget(
                                   GTK_DIALOG(d.dialog), button)));
            EXPECT_EQ(seen, (std::vector<std::string>{std::string(GTK_STOCK_ADD) + " " +
                                                          std::to_string(GTK_RESPONSE_OK),
                                                      std::string(GTK_STOCK_CANCEL) + " " +
                                                          std::to_string(GTK_RESPONSE_CANCEL)}));

            GtkScrolledWindow *scrolled = GTK_SCROLLED_WINDOW(d.scrolled);
            EXPECT_EQ(gtk_scrolled_window_get_shadow_type(scrolled), GTK_SHADOW_ETCHED_IN);
            GtkPolicyType horizontal, vertical;
            gtk_scrolled_window_get_policy(scrolled, &horizontal, &vertical);
            EXPECT_EQ(horizontal, GTK_POLICY_AUTOMATIC);
            EXPECT_EQ(vertical, GTK_POLICY_AUTOMATIC);
            gboolean expand, fill;
            guint padding;
            GtkPackType pack;
            gtk_box_query_child_packing(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(d.dialog))),
                                        d.scrolled, &expand, &fill, &padding, &pack);
            EXPECT_TRUE(expand && fill);
            EXPECT_EQ(padding, 0u);

            gint width, height;
            gtk_widget_get_size_request(GTK_WIDGET(d.view), &width, &height);
            EXPECT_EQ(width, 350);
            EXPECT_EQ(height, 200);
            EXPECT_TRUE(gtk_tree_view_get_rules_hint(d.view));
            EXPECT_TRUE(gtk_tree_view_get_headers_visible(d.view));
            EXPECT_EQ(gtk_tree_selection_get_mode(d.selection()), GTK_SELECTION_MULTIPLE);
            EXPECT_STREQ(gtk_tree_view_column_get_title(gtk_tree_view_get_column(d.view, 0)),
                         "Command");
            EXPECT_STREQ(gtk_tree_view_column_get_title(gtk_tree_view_get_column(d.view, 1)),
                         "Description");
            EXPECT_EQ(gtk_tree_view_get_column(d.view, 2), nullptr);

            EXPECT_EQ(gtk_tree_selection_count_selected_rows(d.selection()), 3);
            std::vector<std::string> rows;
            GtkTreeIter it;
            for (gboolean ok = gtk_tree_model_get_iter_first(d.model(), &it); ok;
                 ok = gtk_tree_model_iter_next(d.model(), &it)) {
                gchar *command = nullptr, *description = nullptr;
                gboolean editable = FALSE;
                gtk_tree_model_get(d.model(), &it, FOUND_COL_COMMAND, &command,
                                   FOUND_COL_DESCRIPTION, &description, FOUND_COL_EDITABLE,
                                   &editable, -1);
                rows.push_back(std::string(command) + "|" + description + (editable ? "|e" : ""));
                g_free(command);
                g_free(description);
            }
            EXPECT_EQ(rows, (std::vector<std::string>{"/usr/local/bin/fluxbox|Fluxbox|e",
                                                      "/usr/bin/X11/fluxbox|Fluxbox|e",
                                                      "/usr/bin/xterm|xterm|e"}));
        },
        GTK_RESPONSE_CANCEL);
}

TEST_F(SearchDialogTest, AddAppendsTheSelectedRowsAsEditedAndNotAsDefault) {
    run(
        kFound,
        [](ResultDialog &d) {
            GtkTreePath *second = gtk_tree_path_new_from_indices(1, -1);
            gtk_tree_selection_unselect_path(d.selection(), second);
            gtk_tree_path_free(second);
            for (int column : {0, 1}) {
                GtkCellRenderer *renderer = d.renderer(column);
                EXPECT_EQ(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(renderer), "column")), column);
            }
            g_signal_emit_by_name(d.renderer(0), "edited", "0", "/opt/fluxbox -rc mine");
            g_signal_emit_by_name(d.renderer(1), "edited", "2", "Terminal 100%s");
        },
        GTK_RESPONSE_OK);
    EXPECT_EQ(list(), (std::vector<std::string>{"Kept=kept-wm *", "Fluxbox=/opt/fluxbox -rc mine",
                                                "Terminal 100%s=/usr/bin/xterm"}));

    // The same search again appends the same rows again.
    run(
        kFound, [](ResultDialog &) {}, GTK_RESPONSE_OK);
    EXPECT_EQ(list().size(), 6u);
    EXPECT_EQ(list()[5], "xterm=/usr/bin/xterm");
}

class SearchDialogAnswerTest : public SearchDialogTest,
                               public ::testing::WithParamInterface<int> {};

TEST_P(SearchDialogAnswerTest, AnythingButAddChangesNothing) {
    run(
        kFound,
        [](ResultDialog &d) { g_signal_emit_by_name(d.renderer(1), "edited", "0", "Changed"); },
        GetParam());
    EXPECT_EQ(list(), std::vector<std::string>{"Kept=kept-wm *"});
}

INSTANTIATE_TEST_SUITE_P(Answers, SearchDialogAnswerTest,
                         ::testing::Values(GTK_RESPONSE_CANCEL, GTK_RESPONSE_DELETE_EVENT));

TEST_F(SearchDialogTest, NothingFoundShowsAnEmptyListAndAddAddsNothing) {
    run(
        {},
        [](ResultDialog &d) { EXPECT_EQ(gtk_tree_model_iter_n_children(d.model(), nullptr), 0); },
        GTK_RESPONSE_OK);
    EXPECT_EQ(list(), std::vector<std::string>{"Kept=kept-wm *"});
}

} // namespace
