// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/app_state.h"

#include "app/message.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// A session started without HOME (some display managers, su -) still has a
// home folder in the password database; the current folder is the last
// resort. An empty HOME names no folder: it would put the file in "/".
const char *find_home_folder() {
    const char *home = getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return home;
    const struct passwd *entry = getpwuid(getuid());
    if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] != '\0')
        return entry->pw_dir;
    return nullptr;
}

} // namespace

void set_default_config_path(AppState *state) {
    const char *home = find_home_folder();
    const GCharPtr path = home != nullptr ? format_message("%s/" CONFIG_FILE_NAME, home)
                                          : GCharPtr(g_strdup(CONFIG_FILE_NAME));
    set_config_path(state, path.get());
}

void set_config_path(AppState *state, const char *path) {
    if (!state->config_path)
        state->config_path.reset(g_string_new(nullptr));
    g_string_assign(state->config_path.get(), path);
}
