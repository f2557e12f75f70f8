// SPDX-License-Identifier: GPL-2.0-or-later
// Running the GTK main loop from a test until something has happened.
#pragma once

#include <glib.h>

#include <chrono>
#include <functional>

// Handles every event and idle source that is ready now.
void pump_events();
// Runs the main loop until the condition holds or the limit has passed.
bool pump_until(const std::function<bool()> &condition,
                std::chrono::milliseconds limit = std::chrono::seconds(10));

// A timeout handler for a source that must stay in place and never run its
// course within a test: it keeps its source.
gboolean never_fires(gpointer);
