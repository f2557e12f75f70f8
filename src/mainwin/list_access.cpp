// SPDX-License-Identifier: GPL-2.0-or-later
// The toolkit's accessibility module makes the cells of a list's accessible
// table itself, on demand, and drops and re-numbers them as rows come and
// go; none of them is ours to name. So the classes of those cells are asked,
// once, to take the name and description of a cell of the main list from the
// row it shows at the moment it is read; every other cell, in the search's
// list say, answers as the toolkit made it.
#include "mainwin/list_access.h"

#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "app/legacy_gtk.h"
#include "app/message.h"
#include "wmlist/wm_list.h"

namespace {

// On the main list view: its cells are named from their rows.
const char kMainListKey[] = "quorvane-main-list";
// On the main list view: the row that its description names as the default.
const char kNamedDefaultKey[] = "quorvane-named-default";
// On a cell: the texts it last handed out, which must outlive the call.
const char kCellNameKey[] = "quorvane-cell-name";
const char kCellDescriptionKey[] = "quorvane-cell-description";
// On the main list view: what the countdown says after the selected row.
const char kCountdownKey[] = "quorvane-countdown-sentence";
// On the main list view: the labels whose notifications a screen reader says.
const char kAnnouncerKey[] = "quorvane-announcer";
// On the main list view: set once it has had the keyboard.
const char kShownKey[] = "quorvane-shown";
// On the main list view: set when a window has gone since it last had the
// keyboard back.
const char kWindowGoneKey[] = "quorvane-window-gone";

using AccessibleText = const gchar *(*)(AtkObject *);
using AccessibleStates = AtkStateSet *(*)(AtkObject *);

// What a cell class answered before it was asked to name the main list's
// cells, and whether its cells say their row. An icon's, the same on every
// row, says nothing, or a screen reader says each row twice; nor is it
// shown to one, which would say "image".
struct CellTexts {
    AccessibleText name;
    AccessibleText description;
    AccessibleStates ref_state_set;
    bool says_row;
};

GQuark cell_texts_quark() {
    return g_quark_from_static_string("quorvane-cell-texts");
}

const CellTexts *toolkit_cell_texts(AtkObject *cell) {
    for (GType type = G_OBJECT_TYPE(cell); type != 0; type = g_type_parent(type))
        if (const auto *texts =
                static_cast<const CellTexts *>(g_type_get_qdata(type, cell_texts_quark())))
            return texts;
    return nullptr;
}

// The main list's view, when the cell is one of its cells; null otherwise.
GtkWidget *main_list_of(AtkObject *cell) {
    AtkObject *table = atk_object_get_parent(cell);
    if (!GTK_IS_ACCESSIBLE(table))
        return nullptr;
    GtkWidget *view = gtk_accessible_get_widget(GTK_ACCESSIBLE(table));
    if (view == nullptr || g_object_get_data(G_OBJECT(view), kMainListKey) == nullptr)
        return nullptr;
    return view;
}

// The row of the main list that the cell shows now, and its position; false
// for a cell of another list and for one whose row has gone.
bool read_cell_row(AtkObject *cell, WmRow *wm, int *position = nullptr) {
    GtkWidget *view = main_list_of(cell);
    if (view == nullptr)
        return false;
    AtkObject *table = atk_object_get_parent(cell);
    const GObjectPtr<AtkStateSet> states(atk_object_ref_state_set(cell));
    if (states && atk_state_set_contains_state(states.get(), ATK_STATE_DEFUNCT))
        return false;
    const int at = accessible_table_row_at(table, atk_object_get_index_in_parent(cell));
    GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(view));
    GtkTreeIter row;
    if (at < 0 || !gtk_tree_model_iter_nth_child(model, &row, nullptr, at))
        return false;
    *wm = read_wm_row(model, &row);
    if (position != nullptr)
        *position = at;
    return true;
}

bool is_selected_row(GtkTreeView *view, int position) {
    const TreePathPtr path(gtk_tree_path_new_from_indices(position, -1));
    return gtk_tree_selection_path_is_selected(gtk_tree_view_get_selection(view), path.get());
}

const gchar *keep_cell_text(AtkObject *cell, const char *key, GCharPtr text) {
    gchar *kept = text.release();
    g_object_set_data_full(G_OBJECT(cell), key, kept, g_free);
    return kept;
}

const gchar *on_cell_get_name(AtkObject *cell) {
    const CellTexts *toolkit = toolkit_cell_texts(cell);
    WmRow wm;
    if (!read_cell_row(cell, &wm))
        return toolkit->name(cell);
    return keep_cell_text(cell, kCellNameKey,
                          toolkit->says_row ? display_text(wm.description.c_str())
                                            : GCharPtr(g_strdup("")));
}

const gchar *on_cell_get_description(AtkObject *cell) {
    const CellTexts *toolkit = toolkit_cell_texts(cell);
    WmRow wm;
    int position = -1;
    if (!read_cell_row(cell, &wm, &position))
        return toolkit->description(cell);
    if (!toolkit->says_row)
        return keep_cell_text(cell, kCellDescriptionKey, GCharPtr(g_strdup("")));
    GCharPtr command = display_text(wm.command.c_str());
    if (wm.is_default)
        // TRANSLATORS: what a screen reader says of the default entry after
        // its description; %s is the entry's command.
        command = format_message(tr("Default: %s"), command.get());
    GtkTreeView *view = GTK_TREE_VIEW(main_list_of(cell));
    const auto *countdown =
        static_cast<const char *>(g_object_get_data(G_OBJECT(view), kCountdownKey));
    if (countdown != nullptr && is_selected_row(view, position))
        command = format_message("%s. %s", command.get(), countdown);
    return keep_cell_text(cell, kCellDescriptionKey, std::move(command));
}

AtkStateSet *on_cell_ref_state_set(AtkObject *cell) {
    const CellTexts *toolkit = toolkit_cell_texts(cell);
    AtkStateSet *states = toolkit->ref_state_set(cell);
    if (!toolkit->says_row && main_list_of(cell) != nullptr) {
        atk_state_set_remove_state(states, ATK_STATE_SHOWING);
        atk_state_set_remove_state(states, ATK_STATE_VISIBLE);
    }
    return states;
}

// Without the toolkit's accessibility module loaded, cells are never made.
void name_cells_of_renderer(GType renderer_type, bool says_row) {
    AtkObjectFactory *factory = atk_registry_get_factory(atk_get_default_registry(), renderer_type);
    const GType cell_type = factory ? atk_object_factory_get_accessible_type(factory) : 0;
    if (!g_type_is_a(cell_type, ATK_TYPE_OBJECT) || cell_type == ATK_TYPE_NO_OP_OBJECT ||
        g_type_get_qdata(cell_type, cell_texts_quark()) != nullptr)
        return;
    // Held for the run, like the class itself.
    auto *cell_class = static_cast<AtkObjectClass *>(g_type_class_ref(cell_type));
    g_type_set_qdata(cell_type, cell_texts_quark(),
                     new CellTexts{cell_class->get_name, cell_class->get_description,
                                   cell_class->ref_state_set, says_row});
    cell_class->get_name = on_cell_get_name;
    cell_class->get_description = on_cell_get_description;
    cell_class->ref_state_set = on_cell_ref_state_set;
}

void describe_default(GtkTreeView *view, GtkTreeModel *model, GtkTreeIter *row) {
    GtkTreeRowReference *named = nullptr;
    GCharPtr text(g_strdup(""));
    if (row != nullptr) {
        const TreePathPtr path(gtk_tree_model_get_path(model, row));
        named = gtk_tree_row_reference_new(model, path.get());
        // TRANSLATORS: the main list's description for a screen reader; %s
        // is the description of the default entry.
        text = format_message(tr("The default is %s"),
                              display_text(read_wm_row(model, row).description.c_str()).get());
    }
    g_object_set_data_full(G_OBJECT(view), kNamedDefaultKey, named,
                           reinterpret_cast<GDestroyNotify>(gtk_tree_row_reference_free));
    atk_object_set_description(gtk_widget_get_accessible(GTK_WIDGET(view)), text.get());
}

// The walk happens only when the named default loses its mark or goes.
void describe_marked_default(GtkTreeView *view, GtkTreeModel *model) {
    GtkTreeIter row;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &row); more;
         more = gtk_tree_model_iter_next(model, &row))
        if (read_wm_row(model, &row).is_default) {
            describe_default(view, model, &row);
            return;
        }
    describe_default(view, model, nullptr);
}

bool names_as_default(GtkTreeView *view, GtkTreePath *path) {
    auto *named =
        static_cast<GtkTreeRowReference *>(g_object_get_data(G_OBJECT(view), kNamedDefaultKey));
    const TreePathPtr named_path(named ? gtk_tree_row_reference_get_path(named) : nullptr);
    return named_path && gtk_tree_path_compare(named_path.get(), path) == 0;
}

void on_store_row_changed(GtkTreeModel *model, GtkTreePath *path, GtkTreeIter *row, gpointer view) {
    if (read_wm_row(model, row).is_default)
        describe_default(GTK_TREE_VIEW(view), model, row);
    else if (names_as_default(GTK_TREE_VIEW(view), path))
        describe_marked_default(GTK_TREE_VIEW(view), model);
}

// The model has let go of the deleted row's references before this runs.
void on_store_row_deleted(GtkTreeModel *model, GtkTreePath *, gpointer view) {
    auto *named =
        static_cast<GtkTreeRowReference *>(g_object_get_data(G_OBJECT(view), kNamedDefaultKey));
    if (named != nullptr && !gtk_tree_row_reference_valid(named))
        describe_marked_default(GTK_TREE_VIEW(view), model);
}

// The accessible cell with the focus, on the cursor's row, while the list has
// the keyboard; null otherwise. The caller owns the reference.
AtkObject *focused_cell(GtkTreeView *view) {
    GtkTreePath *cursor_path = nullptr;
    gtk_tree_view_get_cursor(view, &cursor_path, nullptr);
    const TreePathPtr cursor(cursor_path);
    AtkObject *table = gtk_widget_get_accessible(GTK_WIDGET(view));
    if (!cursor || !gtk_widget_has_focus(GTK_WIDGET(view)) || !ATK_IS_TABLE(table))
        return nullptr;
    const int row = gtk_tree_path_get_indices(cursor.get())[0];
    for (int column = 0; column < atk_table_get_n_columns(ATK_TABLE(table)); ++column) {
        GObjectPtr<AtkObject> cell(atk_table_ref_at(ATK_TABLE(table), row, column));
        const GObjectPtr<AtkStateSet> states(cell ? atk_object_ref_state_set(cell.get()) : nullptr);
        if (states && atk_state_set_contains_state(states.get(), ATK_STATE_FOCUSED))
            return cell.release();
    }
    return nullptr;
}

// The toolkit tells of the list's focus before the window's, and a screen
// reader that hears the window last stays with the window and the list as a
// whole: it is told again of the cell with the focus, which it then says.
gboolean say_cursor_row(gpointer data) {
    const GObjectPtr<AtkObject> cell(focused_cell(GTK_TREE_VIEW(data)));
    if (cell)
        atk_object_notify_state_change(cell.get(), ATK_STATE_FOCUSED, TRUE);
    return FALSE;
}

// Has a screen reader say the row with the cursor, as it does when the person
// arrows to it, once what happens now (a window coming back, a menu closing)
// has been told.
void say_cursor_row_later(GtkTreeView *view) {
    // After the toolkit's own idle work, which tells of the focus.
    g_idle_add_full(G_PRIORITY_LOW, say_cursor_row, g_object_ref(view), g_object_unref);
}

GtkTreeViewColumn *description_column(GtkTreeView *view) {
    const GListPtr columns(gtk_tree_view_get_columns(view));
    for (GList *column = columns.get(); column != nullptr; column = column->next) {
        const GListPtr cells(gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column->data)));
        if (cells && GTK_IS_CELL_RENDERER_TEXT(cells->data))
            return GTK_TREE_VIEW_COLUMN(column->data);
    }
    return nullptr;
}

// The cell the cursor is on, which a screen reader is on too, is the
// description's: the toolkit puts it on the first column, the icon, until
// told otherwise, and a click on an icon puts it there again. Not from
// within the change, which a press may still be making; and only on a
// selected row, which putting the cursor there leaves as it is.
gboolean put_cursor_on_description(gpointer data) {
    GtkTreeView *view = GTK_TREE_VIEW(data);
    GtkTreePath *cursor_path = nullptr;
    GtkTreeViewColumn *column = nullptr;
    gtk_tree_view_get_cursor(view, &cursor_path, &column);
    const TreePathPtr cursor(cursor_path);
    GtkTreeViewColumn *description = description_column(view);
    if (cursor && description != nullptr && column != description &&
        gtk_tree_selection_path_is_selected(gtk_tree_view_get_selection(view), cursor.get()))
        gtk_tree_view_set_cursor(view, cursor.get(), description, FALSE);
    return FALSE;
}

void on_cursor_changed(GtkTreeView *view, gpointer) {
    GtkTreeViewColumn *column = nullptr;
    gtk_tree_view_get_cursor(view, nullptr, &column);
    if (column != description_column(view))
        g_idle_add_full(G_PRIORITY_HIGH_IDLE, put_cursor_on_description, g_object_ref(view),
                        g_object_unref);
}

// When one of the program's windows goes (a menu, a dialog, this window in
// go-back mode), Orca 43 forgets where it stood. Back in this window, it may
// then be told of the row by the toolkit before it knows which window it
// speaks for, which happens when the key that closed a menu is let go at
// that moment: it takes the row without a word, and never says a row it is
// on. Told of the row again as the toolkit tells it, by the list, it reads
// only that last word, by then knowing its window. The cell's focus, told
// again as the list gets the keyboard (on_list_focus_in), is needed beside
// it: without that, Orca 43 says the row's name twice. Not while a dialog that
// has just opened over the window holds the keys: the window may have the
// focus for a moment as the dialog comes.
gboolean say_cursor_row_anew(gpointer data) {
    GtkWidget *held_by = gtk_grab_get_current();
    if (held_by != nullptr &&
        gtk_widget_get_toplevel(held_by) != gtk_widget_get_toplevel(GTK_WIDGET(data)))
        return FALSE;
    const GObjectPtr<AtkObject> cell(focused_cell(GTK_TREE_VIEW(data)));
    if (cell)
        g_signal_emit_by_name(atk_object_get_parent(cell.get()), "active-descendant-changed",
                              cell.get());
    return FALSE;
}

void on_window_gone(AtkObject *, guint, gpointer, gpointer view) {
    g_object_set_data(G_OBJECT(view), kWindowGoneKey, GINT_TO_POINTER(1));
}

// Once for each window gone: the focus may come and go more than once as the
// window comes back.
gboolean on_window_focus_in(GtkWidget *, GdkEventFocus *, gpointer view) {
    if (g_object_get_data(G_OBJECT(view), kWindowGoneKey) != nullptr) {
        g_object_set_data(G_OBJECT(view), kWindowGoneKey, nullptr);
        // After the toolkit's own idle work, which tells of the focus.
        g_idle_add_full(G_PRIORITY_LOW, say_cursor_row_anew, g_object_ref(view), g_object_unref);
    }
    return FALSE;
}

// The toolkit's bridge to a screen reader drops what it is told before it
// has made itself known, which it does as the program starts, at about the
// time the window first opens: the row is said once more a moment later,
// which a screen reader that heard it the first time lets pass.
constexpr guint kFirstShowRetryMs = 1000;

gboolean on_list_focus_in(GtkWidget *view, GdkEventFocus *, gpointer) {
    if (g_object_get_data(G_OBJECT(view), kShownKey) == nullptr) {
        g_object_set_data(G_OBJECT(view), kShownKey, GINT_TO_POINTER(1));
        // From within the window's first focus, which these miss.
        if (AtkObject *windows = atk_get_root())
            g_signal_connect_object(windows, "children-changed::remove", G_CALLBACK(on_window_gone),
                                    view, GConnectFlags(0));
        g_signal_connect_object(gtk_widget_get_toplevel(view), "focus-in-event",
                                G_CALLBACK(on_window_focus_in), view, GConnectFlags(0));
        g_timeout_add_full(G_PRIORITY_LOW, kFirstShowRetryMs, say_cursor_row, g_object_ref(view),
                           g_object_unref);
    }
    say_cursor_row_later(GTK_TREE_VIEW(view));
    return FALSE;
}

// Labels that are never shown, each in the role of a notification, used in
// turn: a screen reader reads a notification's text when it comes to it,
// which may be after the next one has been told.
struct Announcers {
    GtkWidget *labels[4] = {};
    size_t next = 0;
};

void free_announcers(gpointer data) {
    auto *announcers = static_cast<Announcers *>(data);
    for (GtkWidget *label : announcers->labels)
        if (label != nullptr) {
            gtk_widget_destroy(label);
            g_object_unref(label);
        }
    delete announcers;
}

GtkWidget *next_announcer(GtkTreeView *view) {
    auto *announcers = static_cast<Announcers *>(g_object_get_data(G_OBJECT(view), kAnnouncerKey));
    if (announcers == nullptr) {
        announcers = new Announcers{};
        g_object_set_data_full(G_OBJECT(view), kAnnouncerKey, announcers, free_announcers);
    }
    GtkWidget *&label = announcers->labels[announcers->next];
    announcers->next = (announcers->next + 1) % G_N_ELEMENTS(announcers->labels);
    if (label == nullptr) {
        label = GTK_WIDGET(g_object_ref_sink(gtk_label_new("")));
        AtkObject *accessible = gtk_widget_get_accessible(label);
        atk_object_set_role(accessible, ATK_ROLE_NOTIFICATION);
        atk_object_set_parent(accessible,
                              gtk_widget_get_accessible(gtk_widget_get_toplevel(GTK_WIDGET(view))));
    }
    return label;
}

} // namespace

// Orca 43 says a notification as it appears, whatever has the focus.
void tell_screen_reader(GtkTreeView *view, const char *sentence) {
    GtkWidget *label = next_announcer(view);
    gtk_label_set_text(GTK_LABEL(label), sentence);
    atk_object_notify_state_change(gtk_widget_get_accessible(label), ATK_STATE_SHOWING, TRUE);
}

void tell_row_deleted(GtkTreeView *view, GtkTreeIter *row) {
    const GCharPtr description =
        display_text(read_wm_row(gtk_tree_view_get_model(view), row).description.c_str());
    // TRANSLATORS: what a screen reader says when "delete item" has removed
    // an entry; %s is its description.
    const GCharPtr deleted = format_message(tr("%s deleted"), description.get());
    tell_screen_reader(view, deleted.get());
    say_cursor_row_later(view);
}

void set_countdown_sentence(GtkTreeView *view, const char *sentence) {
    g_object_set_data_full(G_OBJECT(view), kCountdownKey, g_strdup(sentence), g_free);
}

void make_list_accessible(GtkTreeView *view) {
    g_object_set_data(G_OBJECT(view), kMainListKey, GINT_TO_POINTER(1));
    atk_object_set_name(gtk_widget_get_accessible(GTK_WIDGET(view)), tr("Window managers"));
    name_cells_of_renderer(GTK_TYPE_CELL_RENDERER_PIXBUF, false);
    name_cells_of_renderer(GTK_TYPE_CELL_RENDERER_TEXT, true);
    g_signal_connect_after(view, "focus-in-event", G_CALLBACK(on_list_focus_in), nullptr);
    g_signal_connect(view, "cursor-changed", G_CALLBACK(on_cursor_changed), nullptr);

    GtkTreeModel *model = gtk_tree_view_get_model(view);
    describe_marked_default(view, model);
    g_signal_connect_object(model, "row-changed", G_CALLBACK(on_store_row_changed), view,
                            GConnectFlags(0));
    g_signal_connect_object(model, "row-deleted", G_CALLBACK(on_store_row_deleted), view,
                            GConnectFlags(0));
}
