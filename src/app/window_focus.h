// SPDX-License-Identifier: GPL-2.0-or-later
// Which of the program's windows has the keyboard: each takes it when it
// appears and gives it back, when it goes, to the window it came from; and
// that a window shown gets onto the screen. Only this module asks for a
// window to have the keyboard; which widget has it inside a window is that
// window's own affair.
#pragma once

#include <gtk/gtk.h>

// Shows the window (its contents as they are) and gives it the keyboard as
// soon as it is on screen. The focus widget, when given, takes the keys each
// time the window gets the keyboard from here; without one the window keeps
// its own. When the window is hidden or destroyed while it is the newest one
// shown from here, the one shown before it that is still there takes the
// keyboard back.
void show_with_focus(GtkWidget *window, GtkWidget *focus);

// Shows the window without giving it the keyboard. Either way a window shown
// from here reaches the screen even when a window manager on its way out
// takes its map request and never answers: it is mapped again once that
// window manager has gone.
void show_on_screen(GtkWidget *window);
