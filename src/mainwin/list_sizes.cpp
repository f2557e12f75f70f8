// SPDX-License-Identifier: GPL-2.0-or-later
#include "mainwin/list_sizes.h"

#include "app/glib_ptr.h"
#include "app/message.h"
#include "wmlist/wm_list.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace {

const char kSizesKey[] = "quorvane-list-sizes";

// Before the view's own resize and redraw, so that no frame is drawn with
// the sizes of before.
constexpr int kFirstTurnPriority = G_PRIORITY_HIGH_IDLE + 5;
// Long measuring goes on between redraws, as the view's own did.
constexpr int kLaterTurnPriority = G_PRIORITY_HIGH_IDLE + 25;
// How long one turn of exact measuring may hold the main loop up.
constexpr gint64 kTurnMicroseconds = 8000;

// Laying a text out to measure it takes seconds for a hundred thousand rows.
// Adding up the widths of its characters takes almost nothing and, for
// characters of the font's own height from the scripts below, gives the
// text's width to within a pixel or so of kerning. So every description is
// estimated, and those whose estimate comes within kCloseCallPixels of the
// widest are measured exactly, at most kMostExact of them; should more come
// that close, the rest count with their estimate and kEstimateSlackPixels.
constexpr int kCloseCallPixels = 4;
constexpr size_t kMostExact = 64;
constexpr int kEstimateSlackPixels = 1;
// Basic Latin, Latin-1 and Latin Extended-A and B. Any other character
// (combining marks, other scripts, tabs, line breaks), or one drawn from a
// font of another height, sends its text to be measured in place.
constexpr gunichar kSimpleEnd = 0x250;
constexpr int kUnknown = -1;
constexpr int kOtherHeight = -2;
constexpr uint16_t kNotEstimated = UINT16_MAX;

struct CellSize {
    int width = 0; // with the gap between columns
    int height = 0;
};

struct ListSizes {
    GtkTreeView *view = nullptr;
    GtkTreeViewColumn *icon_column = nullptr;
    GtkTreeViewColumn *text_column = nullptr;
    GObjectPtr<GtkTreeModel> watched; // the model whose changes we hear of
    // Per simple character, its width in Pango units, kUnknown or kOtherHeight.
    std::vector<int> advances;
    int line_height = kUnknown; // Pango units, of the view's font
    // The pass under way: rows to measure in place, and what is known so far.
    std::vector<int> to_measure;
    size_t measured = 0;
    int widest_measured = 0;
    int estimated_bound = 0;
    int icon_height = 0;
    int row_height = 0; // of a row of plain text: the one height in fixed-height mode
    bool odd_height = false;
    guint source = 0;
    int source_priority = 0;
    bool stale = true;
};

int style_int(GtkTreeView *view, const char *name) {
    gint value = 0;
    gtk_widget_style_get(GTK_WIDGET(view), name, &value, nullptr);
    return value;
}

// The size the view gives a column for the values its cells hold now: the
// visible cells side by side, each with room for the focus line, and the gap
// between columns. The view's own sum would also remember every width it has
// seen, and so never shrink.
CellSize cells_size(ListSizes *sizes, GtkTreeViewColumn *column) {
    const int focus_line = style_int(sizes->view, "focus-line-width");
    CellSize size;
    size.width = style_int(sizes->view, "horizontal-separator");
    GList *cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column));
    for (GList *cell = cells; cell != nullptr; cell = cell->next) {
        GtkCellRenderer *renderer = GTK_CELL_RENDERER(cell->data);
        if (!gtk_cell_renderer_get_visible(renderer))
            continue;
        gint width = 0;
        gint height = 0;
        gtk_cell_renderer_get_size(renderer, GTK_WIDGET(sizes->view), nullptr, nullptr, nullptr,
                                   &width, &height);
        size.width += width + 2 * focus_line;
        size.height = std::max(size.height, height + 2 * focus_line);
    }
    g_list_free(cells);
    return size;
}

CellSize row_size(ListSizes *sizes, GtkTreeViewColumn *column, GtkTreeModel *model,
                  GtkTreeIter *row) {
    gtk_tree_view_column_cell_set_cell_data(column, model, row, FALSE, FALSE);
    return cells_size(sizes, column);
}

// The description column without any text.
CellSize empty_text_size(ListSizes *sizes) {
    GList *cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(sizes->text_column));
    for (GList *cell = cells; cell != nullptr; cell = cell->next)
        if (GTK_IS_CELL_RENDERER_TEXT(cell->data))
            g_object_set(cell->data, "text", "", nullptr);
    g_list_free(cells);
    return cells_size(sizes, sizes->text_column);
}

void set_width(GtkTreeViewColumn *column, int width) {
    width = std::max(width, 1);
    if (gtk_tree_view_column_get_fixed_width(column) != width)
        gtk_tree_view_column_set_fixed_width(column, width);
}

PangoRectangle logical_extents(PangoLayout *layout, const char *text, int length) {
    pango_layout_set_text(layout, text, length);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    return logical;
}

// A character's width in Pango units, or -1 when text with it must be
// measured in place.
int advance_of(ListSizes *sizes, PangoLayout *layout, gunichar c) {
    if (!((c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c < kSimpleEnd && c != 0xad)))
        return -1;
    int &advance = sizes->advances[c];
    if (advance == kUnknown) {
        if (sizes->line_height == kUnknown)
            sizes->line_height = logical_extents(layout, "", 0).height;
        char text[8];
        const PangoRectangle logical = logical_extents(layout, text, g_unichar_to_utf8(c, text));
        advance = logical.height == sizes->line_height ? logical.width : kOtherHeight;
    }
    return advance == kOtherHeight ? -1 : advance;
}

// The text's width in pixels by its characters' widths, or -1; -1 too for
// one the cell shows cut short.
int estimate_width(ListSizes *sizes, PangoLayout *layout, const char *text) {
    long units = 0;
    long characters = 0;
    for (const char *p = text; *p != '\0'; p = g_utf8_next_char(p)) {
        if (++characters > kShownCharacters)
            return -1;
        const int advance = advance_of(sizes, layout, g_utf8_get_char_validated(p, -1));
        if (advance < 0)
            return -1;
        units += advance;
        if (units >= static_cast<long>(kNotEstimated - 1) * PANGO_SCALE)
            return -1;
    }
    return PANGO_PIXELS_CEIL(static_cast<int>(units));
}

// Picks the rows to measure exactly among the estimated ones, nearest to the
// widest first, and bounds the width of the others.
void choose_close_calls(ListSizes *sizes, const std::vector<uint16_t> &estimates, int widest,
                        int empty_width) {
    std::array<size_t, kCloseCallPixels + 1> at_distance{};
    for (const uint16_t estimate : estimates)
        if (estimate != kNotEstimated && widest - estimate <= kCloseCallPixels)
            ++at_distance[widest - estimate];
    int whole_distances = 0;
    size_t chosen = 0;
    while (whole_distances <= kCloseCallPixels &&
           chosen + at_distance[whole_distances] <= kMostExact)
        chosen += at_distance[whole_distances++];
    // Not even the widest fit: some of them are measured, the rest estimated.
    size_t widest_left = whole_distances == 0 ? kMostExact : 0;

    std::vector<int> close_calls;
    int bound = -1;
    for (size_t position = 0; position < estimates.size(); ++position) {
        const uint16_t estimate = estimates[position];
        if (estimate == kNotEstimated)
            continue;
        const int distance = widest - estimate;
        if (distance < whole_distances) {
            close_calls.push_back(static_cast<int>(position));
        } else if (distance == 0 && widest_left > 0) {
            --widest_left;
            close_calls.push_back(static_cast<int>(position));
        } else {
            bound = std::max(bound, static_cast<int>(estimate));
        }
    }
    sizes->to_measure.insert(sizes->to_measure.begin(), close_calls.begin(), close_calls.end());
    if (bound >= 0)
        sizes->estimated_bound = bound + empty_width + kEstimateSlackPixels;
}

void start_pass(ListSizes *sizes) {
    sizes->to_measure.clear();
    sizes->measured = 0;
    sizes->widest_measured = 0;
    sizes->estimated_bound = 0;
    sizes->odd_height = false;
    GtkTreeModel *model = gtk_tree_view_get_model(sizes->view);
    GtkTreeIter row;
    // An empty list keeps its sizes: there is nothing to draw.
    if (model == nullptr || !gtk_tree_model_get_iter_first(model, &row))
        return;
    // Every row shows the same icon.
    const CellSize icon = row_size(sizes, sizes->icon_column, model, &row);
    set_width(sizes->icon_column, icon.width);
    sizes->icon_height = icon.height;
    const CellSize empty_text = empty_text_size(sizes);
    sizes->row_height = std::max(icon.height, empty_text.height);

    GObjectPtr<PangoLayout> layout(
        gtk_widget_create_pango_layout(GTK_WIDGET(sizes->view), nullptr));
    std::vector<uint16_t> estimates;
    estimates.reserve(static_cast<size_t>(gtk_tree_model_iter_n_children(model, nullptr)));
    int widest = -1;
    do {
        const int estimate =
            estimate_width(sizes, layout.get(), read_wm_row(model, &row).description.c_str());
        if (estimate < 0)
            sizes->to_measure.push_back(static_cast<int>(estimates.size()));
        widest = std::max(widest, estimate);
        estimates.push_back(estimate < 0 ? kNotEstimated : static_cast<uint16_t>(estimate));
    } while (gtk_tree_model_iter_next(model, &row));
    if (widest >= 0)
        choose_close_calls(sizes, estimates, widest, empty_text.width);
}

// All rows of one height can share it; a row of another (a line break, a
// taller font) needs the view to measure every row again, as it used to.
void settle_height_mode(ListSizes *sizes) {
    const gboolean fixed = sizes->odd_height ? FALSE : TRUE;
    if (gtk_tree_view_get_fixed_height_mode(sizes->view) == fixed)
        return;
    gtk_tree_view_set_fixed_height_mode(sizes->view, fixed);
    // Rows that got the shared height are taken as measured until told.
    if (!fixed)
        gtk_tree_view_column_queue_resize(sizes->text_column);
}

// One turn of exact measuring; then the column takes the widest width known.
void measure_some(ListSizes *sizes) {
    GtkTreeModel *model = gtk_tree_view_get_model(sizes->view);
    const gint64 until = g_get_monotonic_time() + kTurnMicroseconds;
    while (model != nullptr && sizes->measured < sizes->to_measure.size()) {
        GtkTreeIter row;
        // A row that has gone since is left to the next pass, which is due.
        if (gtk_tree_model_iter_nth_child(model, &row, nullptr,
                                          sizes->to_measure[sizes->measured])) {
            const CellSize text = row_size(sizes, sizes->text_column, model, &row);
            sizes->widest_measured = std::max(sizes->widest_measured, text.width);
            if (std::max(text.height, sizes->icon_height) != sizes->row_height)
                sizes->odd_height = true;
        }
        ++sizes->measured;
        if (sizes->measured % 16 == 0 && g_get_monotonic_time() >= until)
            break;
    }
    if (sizes->widest_measured > 0 || sizes->estimated_bound > 0)
        set_width(sizes->text_column, std::max(sizes->widest_measured, sizes->estimated_bound));
    if (sizes->measured >= sizes->to_measure.size()) {
        std::vector<int>().swap(sizes->to_measure);
        sizes->measured = 0;
        if (model != nullptr && gtk_tree_model_iter_n_children(model, nullptr) > 0)
            settle_height_mode(sizes);
    }
}

gboolean on_sizes_turn(gpointer data);

void add_turn(ListSizes *sizes, int priority) {
    sizes->source = g_idle_add_full(priority, on_sizes_turn, sizes, nullptr);
    sizes->source_priority = priority;
}

void remove_turn(ListSizes *sizes) {
    if (sizes->source != 0)
        g_source_remove(sizes->source);
    sizes->source = 0;
}

// Any change may move the widest row or bring a taller one: everything is
// looked at again, before the next frame.
void recompute_soon(ListSizes *sizes) {
    sizes->stale = true;
    if (sizes->source != 0 && sizes->source_priority == kFirstTurnPriority)
        return;
    remove_turn(sizes);
    add_turn(sizes, kFirstTurnPriority);
}

void on_row_inserted_or_changed(GtkTreeModel *, GtkTreePath *, GtkTreeIter *, gpointer sizes) {
    recompute_soon(static_cast<ListSizes *>(sizes));
}

void on_row_deleted(GtkTreeModel *, GtkTreePath *, gpointer sizes) {
    recompute_soon(static_cast<ListSizes *>(sizes));
}

void stop_watching(ListSizes *sizes) {
    if (sizes->watched)
        g_signal_handlers_disconnect_by_data(sizes->watched.get(), sizes);
    sizes->watched.reset();
}

// Changes are heard only once the first pass is done: rows that arrive
// before it, as the whole file does at start-up, cost nothing extra.
void watch_model(ListSizes *sizes) {
    GtkTreeModel *model = gtk_tree_view_get_model(sizes->view);
    if (model == sizes->watched.get())
        return;
    stop_watching(sizes);
    if (model == nullptr)
        return;
    sizes->watched.reset(GTK_TREE_MODEL(g_object_ref(model)));
    g_signal_connect(model, "row-inserted", G_CALLBACK(on_row_inserted_or_changed), sizes);
    g_signal_connect(model, "row-changed", G_CALLBACK(on_row_inserted_or_changed), sizes);
    g_signal_connect(model, "row-deleted", G_CALLBACK(on_row_deleted), sizes);
}

gboolean on_sizes_turn(gpointer data) {
    auto *sizes = static_cast<ListSizes *>(data);
    sizes->source = 0;
    if (sizes->stale) {
        sizes->stale = false;
        start_pass(sizes);
    }
    measure_some(sizes);
    watch_model(sizes);
    if (!sizes->to_measure.empty())
        add_turn(sizes, kLaterTurnPriority);
    return FALSE;
}

// Another font changes every width.
void on_view_style_set(GtkWidget *, GtkStyle *, gpointer data) {
    auto *sizes = static_cast<ListSizes *>(data);
    sizes->advances.assign(kSimpleEnd, kUnknown);
    sizes->line_height = kUnknown;
    recompute_soon(sizes);
}

void on_view_model_changed(GObject *, GParamSpec *, gpointer sizes) {
    recompute_soon(static_cast<ListSizes *>(sizes));
}

void on_view_destroy(GtkWidget *, gpointer data) {
    auto *sizes = static_cast<ListSizes *>(data);
    remove_turn(sizes);
    stop_watching(sizes);
}

// The record belongs to the view, which frees it through this.
void free_sizes(gpointer data) {
    auto *sizes = static_cast<ListSizes *>(data);
    remove_turn(sizes);
    stop_watching(sizes);
    delete sizes;
}

} // namespace

void keep_list_sizes(GtkTreeView *view, GtkTreeViewColumn *icon_column,
                     GtkTreeViewColumn *text_column) {
    gtk_tree_view_column_set_sizing(icon_column, GTK_TREE_VIEW_COLUMN_FIXED);
    gtk_tree_view_column_set_sizing(text_column, GTK_TREE_VIEW_COLUMN_FIXED);
    gtk_tree_view_set_fixed_height_mode(view, TRUE);
    auto *sizes = new ListSizes;
    sizes->view = view;
    sizes->icon_column = icon_column;
    sizes->text_column = text_column;
    sizes->advances.assign(kSimpleEnd, kUnknown);
    g_object_set_data_full(G_OBJECT(view), kSizesKey, sizes, free_sizes);
    g_signal_connect(view, "style-set", G_CALLBACK(on_view_style_set), sizes);
    g_signal_connect(view, "notify::model", G_CALLBACK(on_view_model_changed), sizes);
    g_signal_connect(view, "destroy", G_CALLBACK(on_view_destroy), sizes);
    recompute_soon(sizes);
}
