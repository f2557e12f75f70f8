// SPDX-License-Identifier: GPL-2.0-or-later
// Running a helper program for what it prints: by its full path, without a
// shell, for a limited time and a limited amount of output. Its child is
// waited for here, never by the SIGCHLD reaper, and ends with all it started.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What the program, named by its absolute path, wrote to its standard output
// when it exited with status 0 within the time limit, having written no more
// than max_bytes; nothing otherwise. It reads an empty standard input, and
// what it writes to standard error is dropped. It runs in a process group of
// its own, which is killed when it ends or is given up on, so that nothing it
// started keeps its output open; a warning says which limit it passed.
std::optional<std::string> read_program_output(const std::vector<std::string> &argv,
                                               std::chrono::milliseconds time_limit,
                                               size_t max_bytes);
