// SPDX-License-Identifier: GPL-2.0-or-later
// Giving a file new contents so that a failure at any step leaves the old
// contents as they were, and another program's edit made meanwhile stays: a
// new file beside it, synced, then put in its place, or, where that would
// change what the file is, the file rewritten in place with its old bytes
// kept to put back.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// How long a save in place waits for another holder of the file's lock.
constexpr int kSaveLockWaitMs = 5000;

// Whether the file's bytes, or no file (null), are what the caller last read
// or wrote there.
using FileCheck = std::function<bool(const std::string *bytes)>;
// What replace_file_contents gives back, instead of an errno, when another
// program replaced, removed or made the file meanwhile, or changed it as far
// as the check tells. The file is left as that program made it.
constexpr int kFileChanged = -2;

// Replaces the contents of the file at path, following symbolic links to the
// file they name (not one planted by another user in a sticky, world-writable
// folder: EACCES) and keeping its owner, group, permission bits, extended
// attributes and inode flags (a new file gets 0666 less the umask). Where no
// new file can go beside it or take its place with all of those, the folder
// may be append-only, or the file has other hard links, it is rewritten in
// place, under an flock waited for lock_wait_ms at most (then EWOULDBLOCK).
// Nothing is ever left beside it. The check, when given, is asked just
// before the new contents take the file's place, and again of the bytes that
// come out of it where the file system can tell them. Returns 0, kFileChanged
// or the errno of the failure; EINVAL when what the links lead to is
// something other than a regular file or a folder (a pipe or a device, never
// written).
int replace_file_contents(const char *path, const char *data, size_t size,
                          const FileCheck &unchanged = nullptr, int lock_wait_ms = kSaveLockWaitMs);
