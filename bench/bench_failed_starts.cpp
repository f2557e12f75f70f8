// SPDX-License-Identifier: GPL-2.0-or-later
// Launches a window manager that cannot be started many times over, in this
// process, as the program does in go-back mode with its SIGCHLD reaper
// installed, and counts the failed starts that were reported: a child that
// fails at once races the reaper for its status, and each lost race would be
// a start that failed without a word. It also times a failed start, from
// the launch to the message on screen.
//   bench_failed_starts [--runs N] [--launches N]
#include "bench_common.h"

#include "launch/launcher.h"
#include "mainwin/main_window.h"
#include "support/gtk_probe.h"
#include "support/gtk_pump.h"
#include "wmlist/wm_list.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Run {
    int reported = 0;
    double ms_per_launch = 0;
};

Run run_launches(AppState *state, WarningCapture *warnings, int launches) {
    Run run;
    const Clock::time_point begun = Clock::now();
    for (int launch = 0; launch < launches; ++launch) {
        warnings->clear();
        launch_selected_wm(state);
        run.reported += warnings->messages().size() == 1 ? 1 : 0;
        for (GtkWidget *box : visible_message_boxes())
            gtk_widget_destroy(box);
        pump_events();
    }
    run.ms_per_launch = ms_between(begun, Clock::now()) / launches;
    return run;
}

} // namespace

int main(int argc, char **argv) {
    int runs = 9;
    int launches = 300;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--runs") == 0)
            runs = atoi(argv[i + 1]);
        else if (strcmp(argv[i], "--launches") == 0)
            launches = atoi(argv[i + 1]);
    }
    if (runs < 1 || launches < 1 || argc % 2 == 0) {
        fprintf(stderr, "usage: bench_failed_starts [--runs N] [--launches N]\n");
        return 2;
    }

    TempDir home;
    Xvfb xvfb;
    setenv("DISPLAY", xvfb.display().c_str(), 1);
    setenv("HOME", home.path().c_str(), 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    gtk_init(&argc, &argv);

    install_child_reaper();
    AppState state{};
    create_main_window(&state);
    state.save_on_exit = 0;
    state.restart = 1;
    gtk_widget_show(state.window);
    pump_until([&] { return gtk_widget_get_mapped(state.window); });
    add_wm_row(&state, home.file("no-such-wm").c_str(), "WM");
    select_list_row(state.tree_view, 0);

    WarningCapture warnings;
    printf("%5s %9s %10s %16s\n", "run", "launches", "reported", "ms per launch");
    std::vector<double> times;
    int reported = 0;
    for (int run = 1; run <= runs; ++run) {
        const Run figures = run_launches(&state, &warnings, launches);
        printf("%5d %9d %10d %16.2f\n", run, launches, figures.reported, figures.ms_per_launch);
        fflush(stdout);
        times.push_back(figures.ms_per_launch);
        reported += figures.reported;
    }
    printf("reported %d of %d failed starts; median %.2f ms per failed start\n", reported,
           runs * launches, median(times));
    destroy_main_window(&state);
    return reported == runs * launches ? 0 : 1;
}
