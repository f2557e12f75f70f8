#undef GTK_DISABLE_DEPRECATED
#undef GDK_DISABLE_DEPRECATED
#include "app/legacy_gtk.h"

#include <gtk/gtk.h>

guint add_legacy_timeout(guint32 interval_ms, gint (*callback)(gpointer), gpointer data) {
    return gtk_timeout_add(interval_ms, callback, data);
}

void remove_legacy_timeout(guint id) {
    gtk_timeout_remove(id);
}
