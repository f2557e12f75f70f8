// SPDX-License-Identifier: GPL-2.0-or-later
// The warnings that the program logs, as a test reads them; no display needed.
#pragma once

#include <glib.h>

#include <string>
#include <vector>

// Collects the warnings logged without a log domain while it lives.
class WarningCapture {
  public:
    WarningCapture();
    ~WarningCapture();
    WarningCapture(const WarningCapture &) = delete;
    WarningCapture &operator=(const WarningCapture &) = delete;

    const std::vector<std::string> &messages() const { return messages_; }
    void clear() { messages_.clear(); }

  private:
    static void collect(const gchar *, GLogLevelFlags, const gchar *message, gpointer self);

    guint handler_ = 0;
    std::vector<std::string> messages_;
};
