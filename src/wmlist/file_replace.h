// SPDX-License-Identifier: GPL-2.0-or-later
// Giving a file new contents so that a failure at any step leaves the old
// contents as they were: a new file beside it, synced, then renamed over it,
// or, where that would change what the file is, the file rewritten in place
// with its old bytes kept to put back.
#pragma once

#include <cstddef>

// How long a save in place waits for another holder of the file's lock.
constexpr int kSaveLockWaitMs = 5000;

// Replaces the contents of the file at path, following symbolic links to the
// file they name (not one planted by another user in a sticky, world-writable
// folder: EACCES) and keeping its owner, group, permission bits, extended
// attributes and inode flags (a new file gets 0666 less the umask). Where no
// new file can go beside it or take its place with all of those, the folder
// may be append-only, or the file has other hard links, it is rewritten in
// place, under an flock waited for lock_wait_ms at most (then EWOULDBLOCK).
// Nothing is ever left beside it. Returns 0, or the errno of the failure;
// EINVAL when what the links lead to is something other than a regular file
// or a folder (a pipe or a device, never written).
int replace_file_contents(const char *path, const char *data, size_t size,
                          int lock_wait_ms = kSaveLockWaitMs);
