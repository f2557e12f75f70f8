// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/wait.h"

#include <thread>

bool wait_for(const std::function<bool()> &condition, std::chrono::milliseconds limit) {
    const Deadline deadline(limit);
    while (!condition()) {
        if (deadline.passed())
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
