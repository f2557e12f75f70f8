// SPDX-License-Identifier: GPL-2.0-or-later
// Configuration texts that several tests compare against: the header the
// program writes, a complete example file, and its file warnings.
#pragma once

inline constexpr char HEADER[] = "# Automatically generated file.\n# Do not edit (or make a "
                                 "backup copy before doing so)\n";

inline constexpr char EXAMPLE[] = "# Automatically generated file.\n"
                                  "# Do not edit (or make a backup copy before doing so)\n"
                                  "Window Maker=/usr/local/bin/wmaker\n"
                                  "Fluxbox=/usr/local/bin/fluxbox\n"
                                  "twm=twm\n"
                                  "delay:15.000000\n"
                                  "restart_quorvane:0\n"
                                  "default_wm:1\n"
                                  "goback_btn:3\n";

inline constexpr char READ_WARNING[] = "Unable to read the config file, using the default values";
inline constexpr char WRITE_WARNING[] = "Unable to write the config file";
// The write warning of a save refused for another program's edit.
inline constexpr char CHANGED_WARNING[] =
    "Unable to write the config file: it has been changed by another program since quorvane read "
    "or wrote it";
