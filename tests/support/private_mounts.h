// SPDX-License-Identifier: GPL-2.0-or-later
// A mount namespace of the test process's own, where a test lays a file
// system over a folder that only it and the programs it starts then see.
#pragma once

#include <string>

// Takes the process into a mount namespace of its own, every mount in it
// private; false, with the reason, when that cannot be done. for_what says
// what the test mounts there, in the reason given to a user other than root:
// "needs root, to FOR_WHAT in a private mount namespace".
bool enter_private_mount_namespace(const std::string &for_what, std::string *why);
