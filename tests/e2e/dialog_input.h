// SPDX-License-Identifier: GPL-2.0-or-later
// Input and geometry for end-to-end tests of the program's own dialogs:
// typing whole texts and telling where a window was placed.
#pragma once

#include "support/x_client.h"

#include <string>

// Types the text key by key, holding Shift where the character needs it.
// Only characters on the keyboard's first two levels can be typed.
void type_text(XClient &x, const std::string &text);

// Where the pointer is now, relative to the root window.
void pointer_position(XClient &x, int *px, int *py);
// How far the window lies from where the toolkit puts a window of its size
// when placing it at (px, py): centred there, but kept on the screen.
int distance_from_placement_at(XClient &x, Window window, int px, int py);
// How far the window lies from the centre of the screen.
int distance_from_screen_centre(XClient &x, Window window);
