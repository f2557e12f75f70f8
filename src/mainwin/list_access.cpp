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

using AccessibleText = const gchar *(*)(AtkObject *);

// What a cell class answered before it was asked to name the main list's cells.
struct CellTexts {
    AccessibleText name;
    AccessibleText description;
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

// The row of the main list that the cell shows now; false for a cell of
// another list and for one whose row has gone.
bool read_cell_row(AtkObject *cell, WmRow *wm) {
    AtkObject *table = atk_object_get_parent(cell);
    if (!GTK_IS_ACCESSIBLE(table))
        return false;
    GtkWidget *view = gtk_accessible_get_widget(GTK_ACCESSIBLE(table));
    if (view == nullptr || g_object_get_data(G_OBJECT(view), kMainListKey) == nullptr)
        return false;
    const GObjectPtr<AtkStateSet> states(atk_object_ref_state_set(cell));
    if (states && atk_state_set_contains_state(states.get(), ATK_STATE_DEFUNCT))
        return false;
    const int position = accessible_table_row_at(table, atk_object_get_index_in_parent(cell));
    GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(view));
    GtkTreeIter row;
    if (position < 0 || !gtk_tree_model_iter_nth_child(model, &row, nullptr, position))
        return false;
    *wm = read_wm_row(model, &row);
    return true;
}

const gchar *keep_cell_text(AtkObject *cell, const char *key, GCharPtr text) {
    gchar *kept = text.release();
    g_object_set_data_full(G_OBJECT(cell), key, kept, g_free);
    return kept;
}

const gchar *on_cell_get_name(AtkObject *cell) {
    WmRow wm;
    if (!read_cell_row(cell, &wm))
        return toolkit_cell_texts(cell)->name(cell);
    return keep_cell_text(cell, kCellNameKey, display_text(wm.description.c_str()));
}

const gchar *on_cell_get_description(AtkObject *cell) {
    WmRow wm;
    if (!read_cell_row(cell, &wm))
        return toolkit_cell_texts(cell)->description(cell);
    GCharPtr command = display_text(wm.command.c_str());
    if (wm.is_default)
        // TRANSLATORS: what a screen reader says of the default entry after
        // its description; %s is the entry's command.
        command = format_message(tr("Default: %s"), command.get());
    return keep_cell_text(cell, kCellDescriptionKey, std::move(command));
}

// Without the toolkit's accessibility module loaded, cells are never made.
void name_cells_of_renderer(GType renderer_type) {
    AtkObjectFactory *factory = atk_registry_get_factory(atk_get_default_registry(), renderer_type);
    const GType cell_type = factory ? atk_object_factory_get_accessible_type(factory) : 0;
    if (!g_type_is_a(cell_type, ATK_TYPE_OBJECT) || cell_type == ATK_TYPE_NO_OP_OBJECT ||
        g_type_get_qdata(cell_type, cell_texts_quark()) != nullptr)
        return;
    // Held for the run, like the class itself.
    auto *cell_class = static_cast<AtkObjectClass *>(g_type_class_ref(cell_type));
    g_type_set_qdata(cell_type, cell_texts_quark(),
                     new CellTexts{cell_class->get_name, cell_class->get_description});
    cell_class->get_name = on_cell_get_name;
    cell_class->get_description = on_cell_get_description;
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

} // namespace

void make_list_accessible(GtkTreeView *view) {
    g_object_set_data(G_OBJECT(view), kMainListKey, GINT_TO_POINTER(1));
    atk_object_set_name(gtk_widget_get_accessible(GTK_WIDGET(view)), tr("Window managers"));
    name_cells_of_renderer(GTK_TYPE_CELL_RENDERER_PIXBUF);
    name_cells_of_renderer(GTK_TYPE_CELL_RENDERER_TEXT);

    GtkTreeModel *model = gtk_tree_view_get_model(view);
    describe_marked_default(view, model);
    g_signal_connect_object(model, "row-changed", G_CALLBACK(on_store_row_changed), view,
                            GConnectFlags(0));
    g_signal_connect_object(model, "row-deleted", G_CALLBACK(on_store_row_deleted), view,
                            GConnectFlags(0));
}
