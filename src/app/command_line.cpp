// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/command_line.h"

#include "app/i18n.h"
#include "app/message.h"
#include "app/version.h"

#include <getopt.h>

#include <cstdlib>

namespace {

// The banner is not translated: it names the program, not a message to the user.
const char kBannerLine1[] = "quorvane " QUORVANE_VERSION " " QUORVANE_HOME_PAGE "\n";
const char kBannerLine2[] = QUORVANE_COPYRIGHT "\n";

const struct option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {"DontSaveOnExit", no_argument, nullptr, 'd'},
    {"config", required_argument, nullptr, 'c'},
    {nullptr, 0, nullptr, 0},
};

void print_using(const char *path) {
    // TRANSLATORS: printed when -c names the configuration file to use; %s
    // is that file's path.
    g_print("%s", format_message(tr("using %s\n"), path).get());
}

void print_version() {
    g_print("%s", kBannerLine1);
    g_print("%s", kBannerLine2);
}

void print_usage() {
    print_version();
    g_print("\n");
    g_print("%s", tr("usage: quorvane [OPTIONS]\n"));
    // TRANSLATORS: keep the options and the tabs as they are, so that the
    // explanations of all four lines start in the same column.
    g_print("%s", tr("  -h, --help\t\t\tprints this message\n"));
    g_print("%s", tr("  -v, --version\t\t\tprints version information\n"));
    g_print("%s", tr("  -d, --DontSaveOnExit\t\tdon't save the config on exit\n"));
    g_print("%s", tr("  -c, --config <filename>\tselect the config file\n"));
}

} // namespace

void parse_command_line(int argc, char **argv, AppState *state) {
    for (;;) {
        const int code = getopt_long(argc, argv, "hvdc:", kLongOptions, nullptr);
        switch (code) {
        case -1:
            return;
        case 'c':
            print_using(optarg);
            set_config_path(state, optarg);
            break;
        case 'd':
            g_print("%s", tr("don't save the config on exit\n"));
            state->save_on_exit = 0;
            break;
        case 'h':
            print_usage();
            exit(0);
        case 'v':
            print_version();
            exit(0);
        default:
            print_usage();
            exit(1);
        }
    }
}
