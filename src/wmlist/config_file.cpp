// SPDX-License-Identifier: GPL-2.0-or-later
#include "wmlist/config_file.h"

#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "app/message.h"
#include "wmlist/config_format.h"
#include "wmlist/file_replace.h"
#include "wmlist/wm_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char *config_file_path(const AppState *state) {
    return state->config_path ? state->config_path->str : "";
}

void warn_unwritten(const char *reason) {
    // TRANSLATORS: the warning of a save that failed or was refused; %s is
    // the reason, such as a system error or one of the reasons below.
    log_warning("%s", format_message(tr("Unable to write the config file: %s"), reason).get());
}

struct FileRead {
    // 0 when read in full, ENOENT when there is none, EILSEQ when it is not
    // text that can be taken line by line, or the errno that stopped
    // reading; the rows read before a read error stay, since losing them
    // would empty the list.
    int error = 0;
    // Set for a pipe or a device, which is never read: reading one could
    // wait or go on for ever.
    bool not_a_file = false;
    int count = 0; // rows added
};

bool is_null_device(const struct stat &info) {
    struct stat null_device = {};
    return S_ISCHR(info.st_mode) && stat("/dev/null", &null_device) == 0 &&
           S_ISCHR(null_device.st_mode) && info.st_rdev == null_device.st_rdev;
}

// Whether the path names a file that can be read: a folder gives EISDIR, a
// pipe or device (the null device aside, which reads as empty) not_a_file.
bool is_readable_kind(const char *path, FileRead *read) {
    struct stat info = {};
    if (stat(path, &info) != 0) {
        read->error = errno != 0 ? errno : EIO;
        return false;
    }
    if (S_ISREG(info.st_mode))
        return true;
    if (S_ISDIR(info.st_mode))
        read->error = EISDIR;
    else if (!is_null_device(info))
        read->not_a_file = true;
    return false;
}

// Reads the file into the list and the settings.
FileRead read_config_file(AppState *state, ConfigSettings *settings) {
    FileRead read;
    const char *path = config_file_path(state);
    if (!is_readable_kind(path, &read))
        return read;
    // Non-blocking, in case a pipe has taken the file's place since.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat before = {};
    if (fd < 0 || fstat(fd, &before) != 0 || !S_ISREG(before.st_mode)) {
        read.error = fd < 0 ? errno : 0;
        read.not_a_file = read.error == 0;
        if (fd >= 0)
            close(fd);
        return read;
    }
    FILE *stream = fdopen(fd, "r");
    if (stream == nullptr) {
        read.error = errno != 0 ? errno : EIO;
        close(fd);
        return read;
    }
    read.error = read_config_stream(
        stream,
        [state, &read](const char *description, const char *command) {
            add_wm_row(state, command, description);
            ++read.count;
        },
        settings);
    if (fclose(stream) != 0 && read.error == 0)
        read.error = errno != 0 ? errno : EIO;
    return read;
}

void apply_goback_btn(AppState *state) {
    if (state->goback_btn == GOBACK_CHECKED)
        state->restart = 1;
    else if (state->goback_btn == GOBACK_NOT_CHECKED)
        state->restart = 0;
}

// The row that loading marks as the default, or -1 for none.
int default_position(const AppState *state, int count) {
    const int index = parse_number(state->default_wm.get());
    return index >= 0 && index < count ? index : -1;
}

void select_default_row(AppState *state, int index) {
    if (index < 0)
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
    const FileRead read = read_config_file(state, &settings);
    if (read.error != 0 || read.not_a_file)
        log_warning("%s", tr("Unable to read the config file, using the default values"));
    if (read.not_a_file)
        // TRANSLATORS: why the configuration file was not read (a pipe or a
        // device); shown in the brackets of "it could not be read in full".
        state->config_read_error.reset(g_strdup(tr("not a regular file")));
    else
        state->config_read_error.reset(
            read.error != 0 && read.error != ENOENT ? g_strdup(g_strerror(read.error)) : nullptr);

    state->delay = settings.delay;
    state->restart = settings.restart;
    state->default_wm.reset(g_strdup(settings.default_wm.c_str()));
    state->goback_btn = settings.goback_btn;

    apply_goback_btn(state);
    select_default_row(state, default_position(state, read.count));
    return read.count;
}

void save_config(AppState *state) {
    if (state->save_on_exit == 0)
        return;
    if (state->config_read_error) {
        const GCharPtr reason = format_message(tr("it could not be read in full at start-up (%s)"),
                                               state->config_read_error.get());
        warn_unwritten(reason.get());
        return;
    }
    const std::string text = format_list(state);
    if (!replace_file_contents(config_file_path(state), text.data(), text.size()))
        warn_unwritten(g_strerror(errno));
}
