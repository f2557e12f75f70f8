// SPDX-License-Identifier: GPL-2.0-or-later
/* Stands in for a window manager in bench/launch: the first thing it does is
 * to note the monotonic clock, into the file that LAUNCH_STAMP names. Linked
 * statically, so that no dynamic loader runs before it. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

int main(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const char *path = getenv("LAUNCH_STAMP");
    if (path == NULL)
        return 1;
    char text[32];
    const int size =
        snprintf(text, sizeof text, "%lld\n", (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return 1;
    const int written = (int)write(fd, text, (size_t)size) == size;
    return close(fd) == 0 && written ? 0 : 1;
}
