// SPDX-License-Identifier: GPL-2.0-or-later
// Owning handles for what GLib, GObject and GTK hand over: whatever of theirs
// the program holds (a string or a vector of them, an object reference, a
// list, a tree path or row reference, an event, a checksum, a key file, a
// folder) goes through one of these.
#pragma once

#include <glib-object.h>
#include <glib.h>
#include <gtk/gtk.h>

#include <memory>

struct GFreeDeleter {
    void operator()(gpointer p) const { g_free(p); }
};
struct GObjectDeleter {
    void operator()(gpointer p) const {
        if (p != nullptr)
            g_object_unref(p);
    }
};
struct GStrvDeleter {
    void operator()(gchar **v) const { g_strfreev(v); }
};
struct GStringDeleter {
    void operator()(GString *s) const {
        if (s != nullptr)
            g_string_free(s, TRUE);
    }
};
struct GKeyFileDeleter {
    void operator()(GKeyFile *k) const {
        if (k != nullptr)
            g_key_file_unref(k);
    }
};
struct GDirDeleter {
    void operator()(GDir *d) const {
        if (d != nullptr)
            g_dir_close(d);
    }
};
struct TreePathDeleter {
    void operator()(GtkTreePath *p) const { gtk_tree_path_free(p); }
};
struct TreeRowReferenceDeleter {
    void operator()(GtkTreeRowReference *r) const { gtk_tree_row_reference_free(r); }
};
// The list itself, not what its items point to.
struct GListDeleter {
    void operator()(GList *l) const { g_list_free(l); }
};
struct GChecksumDeleter {
    void operator()(GChecksum *c) const { g_checksum_free(c); }
};
struct GdkEventDeleter {
    void operator()(GdkEvent *e) const { gdk_event_free(e); }
};

using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;
using GStrvPtr = std::unique_ptr<gchar *, GStrvDeleter>;
using GStringPtr = std::unique_ptr<GString, GStringDeleter>;
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;
using GKeyFilePtr = std::unique_ptr<GKeyFile, GKeyFileDeleter>;
using GDirPtr = std::unique_ptr<GDir, GDirDeleter>;
using TreePathPtr = std::unique_ptr<GtkTreePath, TreePathDeleter>;
using TreeRowReferencePtr = std::unique_ptr<GtkTreeRowReference, TreeRowReferenceDeleter>;
using GListPtr = std::unique_ptr<GList, GListDeleter>;
using GChecksumPtr = std::unique_ptr<GChecksum, GChecksumDeleter>;
using GdkEventPtr = std::unique_ptr<GdkEvent, GdkEventDeleter>;
