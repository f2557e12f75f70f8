// SPDX-License-Identifier: GPL-2.0-or-later
// The program's version, home page and copyright line, shared by the version
// banner, the usage text and the About page; the author line is the About page's.
#pragma once

#define QUORVANE_VERSION "0.4.1"
#define QUORVANE_HOME_PAGE "https://quorvane.org/"
#define QUORVANE_COPYRIGHT "Copyright (C) 2026 The quorvane developers"
#define QUORVANE_AUTHOR "The quorvane developers <developers@quorvane.org>"
