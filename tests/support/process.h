// SPDX-License-Identifier: GPL-2.0-or-later
// A child program started the way a login script would start it: an empty
// signal mask, default signal dispositions and an environment given in full.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

class Process {
  public:
    Process(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env,
            const std::string &stdout_path, const std::string &stderr_path);
    ~Process();
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    pid_t pid() const { return pid_; }
    // The raw wait status once the process has ended within the limit.
    std::optional<int> wait_exit(std::chrono::milliseconds limit = std::chrono::seconds(15));
    bool running();

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// The children of a process that have ended but not been collected.
std::vector<pid_t> zombie_children(pid_t parent);
// The state letter of a process, as /proc tells it ('T' when stopped), or '?'.
char process_state(pid_t pid);
