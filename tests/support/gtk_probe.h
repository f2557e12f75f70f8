// SPDX-License-Identifier: GPL-2.0-or-later
// Looking into GTK from a widget test: the rows of a list, the selected row, the
// message boxes on screen, captured GLib warnings, and main window tear-down.
#pragma once

#include "app/app_state.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

// One row of the window manager list, as the test sees it.
struct ListRow {
    std::string description;
    std::string command;
    bool is_default = false;
    bool blue = false;  // foreground colour set to pure blue
    bool black = false; // foreground colour set to black
    bool editable = false;
    bool has_icon = false;
};

std::vector<ListRow> read_list_rows(GtkListStore *store);
// The children of a container, in their order.
std::vector<GtkWidget *> children_of(GtkWidget *container);
// Index of the selected row of the tree view, -1 for none.
int selected_row_index(GtkWidget *tree_view);

// The message boxes that are shown now.
std::vector<GtkWidget *> visible_message_boxes();
std::string message_box_text(GtkWidget *box);

// Collects the warnings logged without a log domain while it lives.
class WarningCapture {
  public:
    WarningCapture();
    ~WarningCapture();
    WarningCapture(const WarningCapture &) = delete;
    WarningCapture &operator=(const WarningCapture &) = delete;

    const std::vector<std::string> &messages() const { return messages_; }
    void clear() { messages_.clear(); }

  private:
    static void collect(const gchar *, GLogLevelFlags, const gchar *message, gpointer self);

    guint handler_ = 0;
    std::vector<std::string> messages_;
};

// Destroys the window made by create_main_window without running its quit
// handler, then handles the events that follow.
void destroy_main_window(AppState *state);
