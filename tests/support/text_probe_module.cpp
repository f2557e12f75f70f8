// SPDX-License-Identifier: GPL-2.0-or-later
// A GTK module that the end-to-end tests load into the real program through
// GTK_MODULES: every tenth of a second it writes the titles of the shown
// windows and the texts of their labels to the file named by
// QUORVANE_TEXT_PROBE, one "TITLE|TEXT" line each (labels with their "_"
// mnemonic marks, line breaks as "\\n"), so that a test can read what the
// program shows.
#include <gtk/gtk.h>

#include <cstdio>
#include <string>

namespace {

std::string probe_path;

void collect(GtkWidget *widget, gpointer lines);

void collect_children(GtkWidget *widget, std::string *lines) {
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), collect, lines);
    // A menu item's submenu is not its child.
    if (GTK_IS_MENU_ITEM(widget)) {
        GtkWidget *submenu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(widget));
        if (submenu != nullptr)
            collect(submenu, lines);
    }
}

std::string *current_title = nullptr;

void collect(GtkWidget *widget, gpointer data) {
    auto *lines = static_cast<std::string *>(data);
    if (GTK_IS_LABEL(widget)) {
        const gchar *text = gtk_label_get_label(GTK_LABEL(widget));
        if (text != nullptr && text[0] != '\0') {
            std::string escaped;
            for (const char *c = text; *c != '\0'; ++c)
                escaped += *c == '\n' ? std::string("\\n") : std::string(1, *c);
            *lines += *current_title + "|" + escaped + "\n";
        }
    }
    collect_children(widget, lines);
}

gboolean on_probe_tick(gpointer) {
    std::string lines;
    GList *windows = gtk_window_list_toplevels();
    for (GList *item = windows; item != nullptr; item = item->next) {
        GtkWidget *window = GTK_WIDGET(item->data);
        if (!gtk_widget_get_visible(window))
            continue;
        const gchar *title = gtk_window_get_title(GTK_WINDOW(window));
        std::string name = title != nullptr ? title : "";
        current_title = &name;
        lines += name + "|\n";
        collect_children(window, &lines);
        current_title = nullptr;
    }
    g_list_free(windows);
    // Written aside and renamed, so a reader never sees half a list.
    const std::string aside = probe_path + ".new";
    if (FILE *out = fopen(aside.c_str(), "w")) {
        fputs(lines.c_str(), out);
        if (fclose(out) == 0)
            rename(aside.c_str(), probe_path.c_str());
    }
    return TRUE;
}

} // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint *, gchar ***) {
    const char *path = g_getenv("QUORVANE_TEXT_PROBE");
    if (path == nullptr || path[0] == '\0')
        return;
    probe_path = path;
    g_timeout_add(100, on_probe_tick, nullptr);
}
