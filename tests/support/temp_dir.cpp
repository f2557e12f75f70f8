// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/temp_dir.h"

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {
// A test may leave a folder without write permission, which only root could
// empty as it is: give it back before its contents are removed. Only a
// folder: chmod follows links, and a test may leave a link to a device such
// as /dev/null.
int open_folder(const char *path, const struct stat *, int type, struct FTW *) {
    if (type == FTW_D || type == FTW_DNR)
        chmod(path, 0700);
    return 0;
}

int remove_entry(const char *path, const struct stat *, int type, struct FTW *) {
    if (type == FTW_DP || type == FTW_DNR)
        chmod(path, 0700);
    return remove(path);
}
} // namespace

TempDir::TempDir() {
    const char *base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/quorvane-test.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}

TempDir::~TempDir() {
    // Every folder is opened up first, parents before their contents, then
    // everything is removed depth-first.
    chmod(path_.c_str(), 0700);
    nftw(path_.c_str(), open_folder, 16, FTW_PHYS);
    nftw(path_.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string &path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::set<std::string> list_folder(const std::string &folder) {
    std::set<std::string> names;
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.insert(name);
    }
    closedir(dir);
    return names;
}

mode_t mode_of(const std::string &path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return static_cast<mode_t>(-1);
    return info.st_mode & 07777;
}
