// The few deprecated GTK 2 calls the program must make live behind these
// functions; the rest of the tree builds with the deprecated API switched off.
#pragma once

#include <glib.h>

// A repeating timer on the GTK main loop; the callback returns FALSE to end it.
guint add_legacy_timeout(guint32 interval_ms, gint (*callback)(gpointer), gpointer data);
void remove_legacy_timeout(guint id);
