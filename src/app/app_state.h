// SPDX-License-Identifier: GPL-2.0-or-later
// The one application record, owned by main for the whole run and handed by
// address to every handler and timer. It owns the list store, the path, the
// default position text, the read error and the digest of the file; the
// widgets belong to their top-level window.
#pragma once

#include "app/glib_ptr.h"

#include <gtk/gtk.h>

enum GobackButton {
    GOBACK_CHECKED = 1,
    GOBACK_NOT_CHECKED = 2,
    GOBACK_REMEMBER = 3,
};

struct AppState {
    double delay;
    int restart;
    GCharPtr default_wm;
    int goback_btn;
    guint timeout_id; // 0 exactly when no countdown timer is pending
    double countdown;
    GtkWidget *window;
    GtkWidget *tree_view;
    GObjectPtr<GtkListStore> store;
    GtkWidget *countdown_label;
    GStringPtr config_path;
    int save_on_exit;
    // Why the configuration file, which exists, could not be read in full at
    // start-up; null when it was read or did not exist. Saving over a file we
    // never saw whole would lose what we missed.
    GCharPtr config_read_error;
    // What the file held when this run last read or wrote it, told by its
    // bytes (config_file.cpp); null when there was none. A file that holds
    // anything else has been changed by someone else since.
    GCharPtr config_digest;
};

// The file name looked for in the home folder.
#define CONFIG_FILE_NAME ".quorvanerc"

// Points config_path at the configuration file in the home folder.
void set_default_config_path(AppState *state);
// Replaces config_path by the given text.
void set_config_path(AppState *state, const char *path);
