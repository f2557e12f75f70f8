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
#include <cstring>
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

// What a file holds, told by its bytes: times and sizes cannot tell a
// same-size edit made within the second. Besides the SHA-256 of the bytes,
// these stand for a file that could not be read, and for the null device,
// which holds nothing whatever is written to it.
constexpr char kUnreadable[] = "unreadable";
constexpr char kNullDevice[] = "null device";

// What reading the file gave besides the rows it added.
struct FileRead {
    // Set for a pipe or a device, which is never read: reading one could
    // wait or go on for ever.
    bool not_a_file = false;
    int count = 0; // rows added
    GCharPtr digest;
};

bool is_null_device(const struct stat &info) {
    struct stat null_device = {};
    return S_ISCHR(info.st_mode) && stat("/dev/null", &null_device) == 0 &&
           S_ISCHR(null_device.st_mode) && info.st_rdev == null_device.st_rdev;
}

// Opens the file to be read: *fd is a regular file's, or -1 for the null
// device, which reads as empty, and for what is not a file (*not_a_file).
// Returns 0 or the errno; EISDIR for a folder.
int open_to_read(const char *path, int *fd, bool *not_a_file) {
    *fd = -1;
    *not_a_file = false;
    struct stat info = {};
    if (stat(path, &info) != 0)
        return errno != 0 ? errno : EIO;
    if (S_ISDIR(info.st_mode))
        return EISDIR;
    if (!S_ISREG(info.st_mode)) {
        *not_a_file = !is_null_device(info);
        return 0;
    }
    // Non-blocking, in case a pipe has taken the file's place since.
    *fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (*fd < 0)
        return errno;
    if (fstat(*fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(*fd);
        *fd = -1;
        *not_a_file = true;
    }
    return 0;
}

// The digest that stands for what a file that was not opened could not give.
GCharPtr unread_digest(int error, bool not_a_file) {
    if (error == ENOENT)
        return nullptr;
    return GCharPtr(g_strdup(error != 0 || not_a_file ? kUnreadable : kNullDevice));
}

// What the file at path holds now.
GCharPtr digest_of_file(const char *path) {
    int fd = -1;
    bool not_a_file = false;
    const int error = open_to_read(path, &fd, &not_a_file);
    if (fd < 0)
        return unread_digest(error, not_a_file);
    const GChecksumPtr checksum(g_checksum_new(G_CHECKSUM_SHA256));
    char buffer[65536];
    ssize_t got = 0;
    while ((got = read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        g_checksum_update(checksum.get(), reinterpret_cast<const guchar *>(buffer), got);
    }
    close(fd);
    return GCharPtr(g_strdup(got < 0 ? kUnreadable : g_checksum_get_string(checksum.get())));
}

// What these bytes of the file hold; null for no file.
GCharPtr digest_of_bytes(const std::string *bytes) {
    if (bytes == nullptr)
        return nullptr;
    return GCharPtr(g_compute_checksum_for_data(
        G_CHECKSUM_SHA256, reinterpret_cast<const guchar *>(bytes->data()), bytes->size()));
}

bool same_digest(const char *one, const char *other) {
    return one == nullptr || other == nullptr ? one == other : strcmp(one, other) == 0;
}

// Reads the file into the list and the settings. Returns 0 when it was read
// in full, ENOENT when there is none, EILSEQ when it is not text that can be
// taken line by line, or the errno that stopped reading; the rows read
// before a read error stay, since losing them would empty the list.
int read_config_file(AppState *state, ConfigSettings *settings, FileRead *read) {
    int fd = -1;
    int error = open_to_read(config_file_path(state), &fd, &read->not_a_file);
    if (fd < 0) {
        read->digest = unread_digest(error, read->not_a_file);
        return error;
    }
    FILE *stream = fdopen(fd, "r");
    if (stream == nullptr) {
        error = errno != 0 ? errno : EIO;
        read->digest.reset(g_strdup(kUnreadable));
        close(fd);
        return error;
    }
    const GChecksumPtr checksum(g_checksum_new(G_CHECKSUM_SHA256));
    error = read_config_stream(
        stream,
        [state, read](const char *description, const char *command) {
            add_wm_row(state, command, description);
            ++read->count;
        },
        settings, checksum.get());
    if (fclose(stream) != 0 && error == 0)
        error = errno != 0 ? errno : EIO;
    // A file read only in part is never written; what it held is unknown.
    const bool whole = error == 0 || error == EILSEQ;
    read->digest.reset(g_strdup(whole ? g_checksum_get_string(checksum.get()) : kUnreadable));
    return error;
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
    const TreePathPtr path(gtk_tree_path_new_from_indices(index, -1));
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(state->tree_view), path.get(), nullptr, FALSE);
}

std::string format_list(AppState *state) {
    ConfigText text(tr(CONFIG_HEADER));
    GtkTreeModel *model = GTK_TREE_MODEL(state->store.get());
    GtkTreeIter row;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &row); more;
         more = gtk_tree_model_iter_next(model, &row)) {
        const WmRow wm = read_wm_row(model, &row);
        text.add_row(wm.description.c_str(), wm.command.c_str(), wm.is_default);
    }
    return text.finish(ConfigSettings{state->delay, state->restart, "", state->goback_btn});
}

} // namespace

int load_config(AppState *state) {
    ConfigSettings settings{15.0, 0, "0", GOBACK_REMEMBER};
    FileRead read;
    // The view is given the list once it is full, as GTK advises for many
    // rows: one that hears of every row as it comes takes a fifth longer to
    // show 100,000. Given a model, it looks for its type-ahead column anew.
    GtkTreeView *view = GTK_TREE_VIEW(state->tree_view);
    gtk_tree_view_set_model(view, nullptr);
    gtk_list_store_clear(state->store.get());
    const int error = read_config_file(state, &settings, &read);
    gtk_tree_view_set_model(view, GTK_TREE_MODEL(state->store.get()));
    gtk_tree_view_set_search_column(view, COL_DESCRIPTION);
    if (error != 0 || read.not_a_file)
        log_warning("%s", tr("Unable to read the config file, using the default values"));
    if (read.not_a_file)
        // TRANSLATORS: why the configuration file was not read (a pipe or a
        // device); shown in the brackets of "it could not be read in full".
        state->config_read_error.reset(g_strdup(tr("not a regular file")));
    else
        state->config_read_error.reset(error != 0 && error != ENOENT ? g_strdup(g_strerror(error))
                                                                     : nullptr);
    state->config_digest = std::move(read.digest);

    state->delay = settings.delay;
    state->restart = settings.restart;
    state->default_wm.reset(g_strdup(settings.default_wm.c_str()));
    state->goback_btn = settings.goback_btn;

    apply_goback_btn(state);
    select_default_row(state, default_position(state, read.count));
    return read.count;
}

bool reload_config_if_changed(AppState *state) {
    const GCharPtr now = digest_of_file(config_file_path(state));
    if (same_digest(now.get(), state->config_digest.get()))
        return false;
    // The go-back button keeps the state the person left it in.
    const int restart = state->restart;
    load_config(state);
    state->restart = restart;
    return true;
}

SaveResult save_config(AppState *state) {
    if (state->save_on_exit == 0)
        return SaveResult::Done;
    if (state->config_read_error) {
        const GCharPtr reason = format_message(tr("it could not be read in full at start-up (%s)"),
                                               state->config_read_error.get());
        warn_unwritten(reason.get());
        return SaveResult::Failed;
    }
    const char *path = config_file_path(state);
    // Another program's edit is never written over: the list is read again
    // when it comes back from a window manager, and until then it is kept.
    const GCharPtr now = digest_of_file(path);
    int error = same_digest(now.get(), state->config_digest.get()) ? 0 : kFileChanged;
    // The null device keeps nothing that is written to it.
    if (error == 0 && same_digest(now.get(), kNullDevice))
        return SaveResult::Done;
    std::string text;
    if (error == 0) {
        text = format_list(state);
        // Asked again just before the new text takes the file's place.
        error = replace_file_contents(
            path, text.data(), text.size(), [state](const std::string *bytes) {
                return same_digest(digest_of_bytes(bytes).get(), state->config_digest.get());
            });
    }
    if (error == kFileChanged) {
        // TRANSLATORS: why the configuration file was not written.
        warn_unwritten(
            tr("it has been changed by another program since quorvane read or wrote it"));
        return SaveResult::FileChanged;
    }
    if (error != 0) {
        warn_unwritten(g_strerror(error));
        return SaveResult::Failed;
    }
    state->config_digest = digest_of_bytes(&text);
    return SaveResult::Done;
}
