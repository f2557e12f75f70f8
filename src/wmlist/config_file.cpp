#include "wmlist/config_file.h"

#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "wmlist/config_format.h"
#include "wmlist/file_replace.h"
#include "wmlist/wm_list.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char *config_file_path(const AppState *state) {
    return state->config_path ? state->config_path->str : "";
}

void warn(const char *text) {
    g_log(nullptr, G_LOG_LEVEL_WARNING, "%s", text);
}

// False when the file could not be opened or a read error cut it short.
bool read_config_file(const char *path, std::vector<ConfigEntry> *entries,
                      ConfigSettings *settings) {
    FILE *stream = fopen(path, "r");
    if (stream == nullptr)
        return false;
    const bool complete = read_config_stream(stream, entries, settings);
    return fclose(stream) == 0 && complete;
}

void apply_goback_btn(AppState *state) {
    if (state->goback_btn == GOBACK_CHECKED)
        state->restart = 1;
    else if (state->goback_btn == GOBACK_NOT_CHECKED)
        state->restart = 0;
}

void select_default_row(AppState *state, int count) {
    const int index = atoi(state->default_wm.get());
    if (index < 0 || index >= count)
        return;
    GtkTreeIter row;
    if (!gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(state->store.get()), &row, nullptr, index))
        return;
    mark_default_row(state->store.get(), &row);
    GtkTreePath *path = gtk_tree_path_new_from_indices(index, -1);
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(state->tree_view), path, nullptr, FALSE);
    gtk_tree_path_free(path);
}

std::vector<ConfigRow> list_rows(AppState *state) {
    std::vector<ConfigRow> rows;
    GtkTreeModel *model = GTK_TREE_MODEL(state->store.get());
    GtkTreeIter row;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &row); more;
         more = gtk_tree_model_iter_next(model, &row)) {
        gchar *description = nullptr;
        gchar *command = nullptr;
        gboolean is_default = FALSE;
        gtk_tree_model_get(model, &row, COL_DESCRIPTION, &description, COL_COMMAND, &command,
                           COL_IS_DEFAULT, &is_default, -1);
        GCharPtr owned_description(description);
        GCharPtr owned_command(command);
        rows.push_back(ConfigRow{description != nullptr ? description : "",
                                 command != nullptr ? command : "", is_default != FALSE});
    }
    return rows;
}

} // namespace

int load_config(AppState *state) {
    ConfigSettings settings{15.0, 0, "0", GOBACK_REMEMBER};
    std::vector<ConfigEntry> entries;
    // Rows read before a read error are kept: losing them would empty the
    // list that the next save writes back.
    if (!read_config_file(config_file_path(state), &entries, &settings))
        warn(tr("Unable to read the config file, using the default values"));

    state->delay = settings.delay;
    state->restart = settings.restart;
    state->default_wm.reset(g_strdup(settings.default_wm.c_str()));
    state->goback_btn = settings.goback_btn;
    for (const ConfigEntry &entry : entries)
        add_wm_row(state, entry.command.c_str(), entry.description.c_str());

    apply_goback_btn(state);
    const int count = static_cast<int>(entries.size());
    if (count == 0)
        return 0;
    select_default_row(state, count);
    return count;
}

void save_config(AppState *state) {
    if (state->save_on_exit == 0)
        return;
    const ConfigSettings settings{state->delay, state->restart, "", state->goback_btn};
    const std::string text = format_config(tr(CONFIG_HEADER), list_rows(state), settings);
    if (!replace_file_contents(config_file_path(state), text.data(), text.size()))
        warn(tr("Unable to write the config file"));
}
