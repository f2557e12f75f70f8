// SPDX-License-Identifier: GPL-2.0-or-later
// Waiting on a condition with a deadline; tests never sleep blindly.
#pragma once

#include <chrono>
#include <functional>

class Deadline {
  public:
    explicit Deadline(std::chrono::milliseconds limit)
        : end_(std::chrono::steady_clock::now() + limit) {}
    bool passed() const { return std::chrono::steady_clock::now() >= end_; }

  private:
    std::chrono::steady_clock::time_point end_;
};

// Polls the condition every few milliseconds until it holds or time runs out.
bool wait_for(const std::function<bool()> &condition,
              std::chrono::milliseconds limit = std::chrono::seconds(10));
