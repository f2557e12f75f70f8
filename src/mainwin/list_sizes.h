// SPDX-License-Identifier: GPL-2.0-or-later
// The sizes of the main list's rows and columns. The list view runs in
// fixed-height mode with fixed-width columns so that it never lays out every
// row; this module alone sets those sizes, to what the view would have
// measured row by row, and lets the view measure rows itself only when they
// are not all of one height.
#pragma once

#include <gtk/gtk.h>

// Takes charge of the view's two columns (the icon and the description of
// the window-manager list, its only ones) and keeps their widths and the
// rows' height right from the next main-loop iteration on, as rows come,
// change and go.
void keep_list_sizes(GtkTreeView *view, GtkTreeViewColumn *icon_column,
                     GtkTreeViewColumn *text_column);
