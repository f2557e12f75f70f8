// SPDX-License-Identifier: GPL-2.0-or-later
/* The naive floor: the program's main window built the plain way, with N
 * rows made up in memory and put in the store before the view sees it. It
 * reads no file and runs no logic, so whatever the real program costs above
 * it is the price of its own work. Plain C, as the plain GTK 2 program is. */
#include <gtk/gtk.h>

#include <stdio.h>
#include <stdlib.h>

#include "bench_rows.h"

enum {
    COL_ICON,
    COL_DESCRIPTION,
    COL_COMMAND,
    COL_IS_DEFAULT,
    COL_FOREGROUND,
    COL_EDITABLE,
    N_COLUMNS
};

int main(int argc, char **argv) {
    gtk_init(&argc, &argv);
    if (argc != 2) {
        fprintf(stderr, "usage: naive_floor ROWS\n");
        return 2;
    }
    const long rows = strtol(argv[1], NULL, 10);

    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "naive floor");
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
    gtk_container_set_border_width(GTK_CONTAINER(window), 2);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);

    GtkWidget *vbox = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), vbox);
    GtkWidget *scrolled = gtk_scrolled_window_new(NULL, NULL);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
    gtk_box_pack_start(GTK_BOX(vbox), scrolled, TRUE, TRUE, 0);
    gtk_widget_set_size_request(scrolled, 150, 150);

    /* The store is filled before the view is given it, as GTK advises for
     * many rows: a view that hears of each row as it comes does more. */
    GtkListStore *store =
        gtk_list_store_new(N_COLUMNS, GDK_TYPE_PIXBUF, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_BOOLEAN,
                           GDK_TYPE_COLOR, G_TYPE_BOOLEAN);
    const GdkColor black = {0, 0, 0, 0};
    const GdkColor blue = {0, 0, 0, 0xffff};
    char description[BENCH_ROW_TEXT_MAX];
    char command[BENCH_ROW_TEXT_MAX];
    for (long i = 0; i < rows; ++i) {
        bench_row_texts(i, description, command);
        GdkPixbuf *icon =
            gtk_widget_render_icon(window, GTK_STOCK_EXECUTE, GTK_ICON_SIZE_MENU, NULL);
        GtkTreeIter row;
        gtk_list_store_append(store, &row);
        gtk_list_store_set(store, &row, COL_ICON, icon, COL_DESCRIPTION, description, COL_COMMAND,
                           command, COL_IS_DEFAULT, i == 0, COL_FOREGROUND, i == 0 ? &blue : &black,
                           COL_EDITABLE, TRUE, -1);
        if (icon != NULL)
            g_object_unref(icon);
    }

    GtkWidget *view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    g_object_unref(store);
    gtk_tree_view_set_rules_hint(GTK_TREE_VIEW(view), TRUE);
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(view), FALSE);
    gtk_tree_view_set_reorderable(GTK_TREE_VIEW(view), TRUE);
    gtk_tree_selection_set_mode(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)),
                                GTK_SELECTION_SINGLE);
    gtk_tree_view_append_column(
        GTK_TREE_VIEW(view), gtk_tree_view_column_new_with_attributes(
                                 NULL, gtk_cell_renderer_pixbuf_new(), "pixbuf", COL_ICON, NULL));
    gtk_tree_view_append_column(GTK_TREE_VIEW(view), gtk_tree_view_column_new_with_attributes(
                                                         NULL, gtk_cell_renderer_text_new(), "text",
                                                         COL_DESCRIPTION, "editable", COL_EDITABLE,
                                                         "foreground-gdk", COL_FOREGROUND, NULL));
    gtk_container_add(GTK_CONTAINER(scrolled), view);

    gtk_box_pack_start(GTK_BOX(vbox), gtk_label_new(""), FALSE, FALSE, 0);
    gtk_box_pack_start(
        GTK_BOX(vbox),
        gtk_check_button_new_with_mnemonic("_Go back to quorvane\nwhen the WM exits"), FALSE, FALSE,
        0);
    GtkWidget *buttons = gtk_hbox_new(FALSE, 0);
    gtk_container_set_border_width(GTK_CONTAINER(buttons), 5);
    gtk_box_pack_start(GTK_BOX(vbox), buttons, FALSE, FALSE, 0);
    GtkWidget *quit = gtk_button_new_from_stock(GTK_STOCK_QUIT);
    g_signal_connect(quit, "clicked", G_CALLBACK(gtk_main_quit), NULL);
    gtk_box_pack_start(GTK_BOX(buttons), quit, TRUE, TRUE, 2);
    gtk_box_pack_start(GTK_BOX(buttons), gtk_button_new_from_stock(GTK_STOCK_PREFERENCES), TRUE,
                       TRUE, 2);

    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
