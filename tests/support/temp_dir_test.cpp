// SPDX-License-Identifier: GPL-2.0-or-later
// The rig's promise that a test touches nothing outside its own folder.
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace {

// Removing a folder gives its sub-folders their write bit back, but never
// changes what a link in it points to: a test may leave a link to
// /dev/null or to a file of another test.
TEST(TempDirTest, RemovesItsTreeAndLeavesLinkTargetsAlone) {
    TempDir outside;
    write_file(outside.file("file"), "kept");
    ASSERT_EQ(chmod(outside.file("file").c_str(), 0640), 0);
    ASSERT_EQ(chmod(outside.path().c_str(), 0750), 0);

    std::optional<TempDir> dir(std::in_place);
    const std::string path = dir->path();
    ASSERT_EQ(symlink(outside.file("file").c_str(), dir->file("to-file").c_str()), 0);
    ASSERT_EQ(symlink(outside.path().c_str(), dir->file("to-folder").c_str()), 0);
    ASSERT_EQ(mkdir(dir->file("shut").c_str(), 0700), 0);
    write_file(dir->file("shut/inside"), "x");
    ASSERT_EQ(chmod(dir->file("shut").c_str(), 0500), 0);
    dir.reset();

    EXPECT_FALSE(file_exists(path));
    EXPECT_EQ(mode_of(outside.file("file")), 0640u);
    EXPECT_EQ(mode_of(outside.path()), 0750u);
    EXPECT_EQ(read_file(outside.file("file")), "kept");
}

} // namespace
