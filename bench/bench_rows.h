// SPDX-License-Identifier: GPL-2.0-or-later
/* The rows every benchmarked program shows, made up the same way by the naive
 * floor (in memory) and by the benchmarks (as a configuration file and as
 * zenity's input). */
#ifndef BENCH_ROWS_H
#define BENCH_ROWS_H

#include <stdio.h>

#define BENCH_ROW_TEXT_MAX 64

static inline void bench_row_texts(long index, char *description, char *command) {
    snprintf(description, BENCH_ROW_TEXT_MAX, "Window manager %ld", index);
    snprintf(command, BENCH_ROW_TEXT_MAX, "/usr/bin/wm%ld", index);
}

#endif
