// SPDX-License-Identifier: GPL-2.0-or-later
// A private X server for one test process: Xvfb on a display number of its
// own choosing, never the caller's $DISPLAY. Where ctest has started one for
// all the runs of a test program (tests/support/shared_xvfb.cpp, named by
// QUORVANE_SHARED_X), each run takes that one instead, put back first into
// the state of a server just started.
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
    void start_own();

    pid_t pid_ = -1; // -1 for a shared server, which this process does not end
    std::string display_;
};

// The variable that names the shared server's file: its display on the
// first line, then the root window's properties as the server started.
constexpr const char kSharedXVariable[] = "QUORVANE_SHARED_X";
