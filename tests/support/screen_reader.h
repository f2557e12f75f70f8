// SPDX-License-Identifier: GPL-2.0-or-later
// The Orca screen reader itself, on a test's accessibility bus and X display,
// with what it speaks read from its debug log: no speech synthesiser is
// needed, and the log holds every utterance as Orca sends it to be spoken.
#pragma once

#include "support/at_spi.h"
#include "support/process.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class ScreenReader {
  public:
    // Starts Orca with its settings, data and log in folder, which must not
    // exist yet, and waits until it has said that it is on.
    ScreenReader(const std::string &display, const AccessibilityBus &bus,
                 const std::string &folder);
    ~ScreenReader();
    ScreenReader(const ScreenReader &) = delete;
    ScreenReader &operator=(const ScreenReader &) = delete;

    // Every utterance since it started, in order, one for each time Orca
    // spoke, its line breaks as blanks; its own "Screen reader on." first.
    std::vector<std::string> said() const;
    // The index of the first utterance at or after from that holds part,
    // once Orca has said one within the limit; -1 otherwise.
    int wait_until_said(const std::string &part, size_t from = 0,
                        std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
    // What it said from this index on, one utterance a line, for a failure's message.
    std::string said_since(size_t from) const;

  private:
    std::string log_;
    std::unique_ptr<Process> orca_;
};
