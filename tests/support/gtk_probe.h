// SPDX-License-Identifier: GPL-2.0-or-later
// Looking into GTK from a widget test: the rows of a list, the selected row, the
// message boxes and menus on screen, captured GLib warnings, main window
// tear-down, and the accessible objects that a screen reader would read.
#pragma once

#include "app/app_state.h"
#include "support/warning_capture.h"

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

// The entries of the list's context menu, by their place in it.
enum ListMenuEntry {
    MENU_TEAROFF,
    MENU_SEARCH,
    MENU_ADD,
    MENU_SEPARATOR,
    MENU_EXECUTE,
    MENU_EDIT,
    MENU_SET_DEFAULT,
    MENU_DELETE
};

// The menus on screen now, popped up or torn off.
std::vector<GtkWidget *> shown_menus();
// Opens the list's context menu as a right press does, and gives it back;
// null unless exactly one new menu came up.
GtkWidget *pop_up_list_menu(AppState *state);
// Chooses an entry of an open menu as a click on it does, and handles what
// follows.
void choose_menu_entry(GtkWidget *menu, int position);

// Puts the list's cursor on the row, which selects it, as loading the file
// does for the default row.
void select_list_row(GtkWidget *view, int index);

// Drags the list's row from down to the lower edge of row onto, with a real
// press, pointer moves and release through the X server; the view must be
// shown. The drop lands once the events have been handled.
void drag_list_row(GtkWidget *view, int from, int onto);

// Loads the toolkit's accessibility module into the test process, as a
// screen reader's session does; true once widgets made from now on get its
// accessible objects. Widgets whose accessible was asked for before keep theirs.
bool load_accessibility_module();
// The accessible object's name and description, empty for none.
std::string accessible_name(AtkObject *accessible);
std::string accessible_description(AtkObject *accessible);
// The objects that the accessible object has this relation with.
std::vector<AtkObject *> related(AtkObject *accessible, AtkRelationType type);
bool has_state(AtkObject *accessible, AtkStateType state);

// Collects, while it lives, the notifications that appear to a screen
// reader: the name of each object in the role of a notification that says it
// is now showing, as Orca 43 hears them.
class NotificationCapture {
  public:
    NotificationCapture();
    ~NotificationCapture();
    NotificationCapture(const NotificationCapture &) = delete;
    NotificationCapture &operator=(const NotificationCapture &) = delete;

    const std::vector<std::string> &said() const { return said_; }

  private:
    static gboolean collect(GSignalInvocationHint *, guint count, const GValue *values,
                            gpointer self);

    guint signal_ = 0;
    gulong hook_ = 0;
    std::vector<std::string> said_;
};

// Destroys the window made by create_main_window without running its quit
// handler, then handles the events that follow.
void destroy_main_window(AppState *state);
