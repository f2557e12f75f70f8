// SPDX-License-Identifier: GPL-2.0-or-later
// Stands in for a window manager where a shell script cannot: it records the
// signal mask and ignored signals it was started with (a shell resets its
// mask before any line of the script runs), then ends with status 0.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main() {
    const char *log_path = getenv("FAKE_WM_LOG");
    if (log_path == nullptr)
        return 2;
    FILE *status = fopen("/proc/self/status", "r");
    FILE *log = fopen(log_path, "a");
    if (status == nullptr || log == nullptr)
        return 2;
    fprintf(log, "pid=%ld\n", static_cast<long>(getpid()));
    char line[256];
    while (fgets(line, sizeof line, status) != nullptr)
        if (strncmp(line, "SigBlk:", 7) == 0 || strncmp(line, "SigIgn:", 7) == 0)
            fputs(line, log);
    fputs("started\n", log);
    return fclose(log) == 0 && fclose(status) == 0 ? 0 : 2;
}
