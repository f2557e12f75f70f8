// SPDX-License-Identifier: GPL-2.0-or-later
// What a test gives the real program to load the fault injector
// (tests/fault/fault_inject.c) and where the injector reports.
#pragma once

#include "support/process.h"
#include "support/temp_dir.h"

#include <fstream>
#include <map>
#include <string>

struct Fault {
    const char *call = ""; // empty: nothing fails, the calls are only counted
    long nth = 1;
    const char *error = "EIO";
    const char *action = "fail"; // or stop-before, stop-after
};

inline std::map<std::string, std::string> fault_env(const Fault &fault, const std::string &folder,
                                                    const std::string &log, size_t write_max = 0) {
    return {
        {"LD_PRELOAD", FAULT_PRELOAD},
        {"FAULT_FOLDER", folder},
        {"FAULT_CALL", fault.call},
        {"FAULT_NTH", std::to_string(fault.nth)},
        {"FAULT_ERRNO", fault.error},
        {"FAULT_ACTION", fault.action},
        {"FAULT_LOG", log},
        {"FAULT_WRITE_MAX", std::to_string(write_max)},
    };
}

// The lines of the injector's log that name this call ("write 3").
inline size_t calls_logged(const std::string &log_path, const std::string &call) {
    if (!file_exists(log_path))
        return 0;
    const std::string log = read_file(log_path);
    size_t count = 0;
    for (size_t at = 0; (at = log.find(call + " ", at)) != std::string::npos; at += call.size()) {
        if (at == 0 || log[at - 1] == '\n')
            ++count;
    }
    return count;
}
