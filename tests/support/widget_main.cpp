// SPDX-License-Identifier: GPL-2.0-or-later
// Entry point of the in-process GTK tests: each test process gets a private
// Xvfb and a private HOME before the toolkit starts.
#include "support/temp_dir.h"
#include "support/xvfb.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <memory>

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    TempDir home;
    Xvfb xvfb;
    setenv("DISPLAY", xvfb.display().c_str(), 1);
    setenv("HOME", home.path().c_str(), 1);
    setenv("XAUTHORITY", home.file(".Xauthority").c_str(), 1);
    gtk_init(&argc, &argv);
    return RUN_ALL_TESTS();
}
