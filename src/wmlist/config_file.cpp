#include "wmlist/config_file.h"

#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "wmlist/config_format.h"
#include "wmlist/file_replace.h"
#include "wmlist/wm_list.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char *config_file_path(const AppState *state) {
    return state->config_path ? state->config_path->str : "";
}

void warn(const char *text) {
    g_log(nullptr, G_LOG_LEVEL_WARNING, "%s", text);
}

void warn_unwritten(const char *reason) {
    g_log(nullptr, G_LOG_LEVEL_WARNING, "%s: %s", tr("Unable to write the config file"), reason);
}

// Reads the file into the list and the settings, counting the rows added.
// Returns 0 when it was read in full, ENOENT when there is none, or the errno
// that stopped reading; the rows read before a read error stay, since losing
// them would empty the list.
int read_config_file(AppState *state, ConfigSettings *settings, int *count) {
    FILE *stream = fopen(config_file_path(state), "r");
    if (stream == nullptr)
        return errno != 0 ? errno : EIO;
    int error = read_config_stream(
        stream,
        [state, count](const char *description, const char *command) {
            add_wm_row(state, command, description);
            ++*count;
        },
        settings);
    if (fclose(stream) != 0 && error == 0)
        error = errno != 0 ? errno : EIO;
    return error;
}

void apply_goback_btn(AppState *state) {
    if (state->goback_btn == GOBACK_CHECKED)
        state->restart = 1;
    else if (state->goback_btn == GOBACK_NOT_CHECKED)
        state->restart = 0;
}

void select_default_row(AppState *state, int count) {
    const int index = parse_number(state->default_wm.get());
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

std::string format_list(AppState *state) {
    ConfigText text(tr(CONFIG_HEADER));
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
        text.add_row(description != nullptr ? description : "", command != nullptr ? command : "",
                     is_default != FALSE);
    }
    return text.finish(ConfigSettings{state->delay, state->restart, "", state->goback_btn});
}

} // namespace

int load_config(AppState *state) {
    ConfigSettings settings{15.0, 0, "0", GOBACK_REMEMBER};
    int count = 0;
    const int error = read_config_file(state, &settings, &count);
    if (error != 0)
        warn(tr("Unable to read the config file, using the default values"));
    state->config_read_error.reset(error != 0 && error != ENOENT ? g_strdup(g_strerror(error))
                                                                 : nullptr);

    state->delay = settings.delay;
    state->restart = settings.restart;
    state->default_wm.reset(g_strdup(settings.default_wm.c_str()));
    state->goback_btn = settings.goback_btn;

    apply_goback_btn(state);
    if (count == 0)
        return 0;
    select_default_row(state, count);
    return count;
}

void save_config(AppState *state) {
    if (state->save_on_exit == 0)
        return;
    if (state->config_read_error) {
        GCharPtr reason(g_strdup_printf(tr("it could not be read in full at start-up (%s)"),
                                        state->config_read_error.get()));
        warn_unwritten(reason.get());
        return;
    }
    const std::string text = format_list(state);
    if (!replace_file_contents(config_file_path(state), text.data(), text.size()))
        warn_unwritten(g_strerror(errno));
}
