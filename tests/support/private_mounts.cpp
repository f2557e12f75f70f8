// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/private_mounts.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool enter_private_mount_namespace(const std::string &for_what, std::string *why) {
    if (geteuid() != 0) {
        *why = "needs root, to " + for_what + " in a private mount namespace";
        return false;
    }
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        *why = std::string("needs a private mount namespace: ") + strerror(errno);
        return false;
    }
    return true;
}
