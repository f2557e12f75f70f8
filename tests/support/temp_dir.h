// SPDX-License-Identifier: GPL-2.0-or-later
// A private temporary folder, removed with everything in it when it goes.
#pragma once

#include <sys/types.h>

#include <set>
#include <string>

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &bytes);
bool file_exists(const std::string &path);
// The names in the folder, without "." and ".."; none if it cannot be read.
std::set<std::string> list_folder(const std::string &folder);
// The permission bits of the file, or every bit set when it cannot be
// looked at.
mode_t mode_of(const std::string &path);
