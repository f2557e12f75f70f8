// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/gtk_pump.h"

#include "support/wait.h"

#include <gtk/gtk.h>

#include <thread>

void pump_events() {
    gdk_flush();
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

bool pump_until(const std::function<bool()> &condition, std::chrono::milliseconds limit) {
    const Deadline deadline(limit);
    while (true) {
        pump_events();
        if (condition())
            return true;
        if (deadline.passed())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

gboolean never_fires(gpointer) {
    return TRUE;
}
