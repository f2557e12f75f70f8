// SPDX-License-Identifier: GPL-2.0-or-later
// Naming a field after the label beside it, for a screen reader.
#pragma once

#include "app/glib_ptr.h"

#include <gtk/gtk.h>

// The label names the field: the toolkit relates the two both ways, and the
// field's accessible name is the label's text without the blanks around it.
inline void label_field(GtkWidget *label, GtkWidget *field) {
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), field);
    const GCharPtr name(g_strstrip(g_strdup(gtk_label_get_text(GTK_LABEL(label)))));
    atk_object_set_name(gtk_widget_get_accessible(field), name.get());
}
