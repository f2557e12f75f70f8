// SPDX-License-Identifier: GPL-2.0-or-later
// What the program prints for -v, -h or a wrong option, and for -d, as the
// command line tests expect it, in process and through the real program.
#pragma once

#include "app/version.h"

#include <string>

const std::string BANNER = "quorvane " QUORVANE_VERSION " https://quorvane.org/\n"
                           "Copyright (C) 2026 The quorvane developers\n";
const std::string USAGE = BANNER + "\n"
                                   "usage: quorvane [OPTIONS]\n"
                                   "  -h, --help\t\t\tprints this message\n"
                                   "  -v, --version\t\t\tprints version information\n"
                                   "  -d, --DontSaveOnExit\t\tdon't save the config on exit\n"
                                   "  -c, --config <filename>\tselect the config file\n";
const std::string NO_SAVE = "don't save the config on exit\n";
