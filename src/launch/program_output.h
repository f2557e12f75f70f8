// SPDX-License-Identifier: GPL-2.0-or-later
// Running a helper program, found along PATH and started without a shell, for
// what it prints; its child is waited for here, never by the SIGCHLD reaper.
#pragma once

#include <optional>
#include <string>
#include <vector>

// What the program wrote to its standard output, when it could be started and
// exited with status 0; nothing otherwise. It reads an empty standard input,
// and what it writes to standard error is dropped.
std::optional<std::string> read_program_output(const std::vector<std::string> &argv);
