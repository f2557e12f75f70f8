// SPDX-License-Identifier: GPL-2.0-or-later
// The configuration that the killed-save test and bench/killed-save save over
// and over: each entry's command holds a ":", which the save writes as a
// blank, so the new text differs from the old on every line and has the same
// length.
#pragma once

#include "wmlist/config_texts.h"

#include <cstdio>
#include <string>

inline std::string killed_save_text(int entries, bool saved) {
    std::string text = HEADER;
    char line[64];
    for (int i = 0; i < entries; ++i) {
        snprintf(line, sizeof line, "Window manager %05d=wm-%05d%c%d\n", i, i, saved ? ' ' : ':',
                 i % 10);
        text += line;
    }
    return text + "delay:0.000000\nrestart_quorvane:0\ndefault_wm:0\ngoback_btn:3\n";
}
