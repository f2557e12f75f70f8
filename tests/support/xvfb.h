// SPDX-License-Identifier: GPL-2.0-or-later
// A private X server for one test process: Xvfb on a display number of its
// own choosing, never the caller's $DISPLAY.
#pragma once

#include <sys/types.h>

#include <string>

class Xvfb {
  public:
    Xvfb();
    ~Xvfb();
    Xvfb(const Xvfb &) = delete;
    Xvfb &operator=(const Xvfb &) = delete;

    const std::string &display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};
