// SPDX-License-Identifier: GPL-2.0-or-later
// Replays the fuzz target's seed corpus as an ordinary test, so the inputs
// that once found something keep being checked without libFuzzer.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

TEST(ConfigCorpusReplay, EveryInputPasses) {
    DIR *dir = opendir(CONFIG_CORPUS);
    ASSERT_NE(dir, nullptr) << CONFIG_CORPUS;
    std::vector<std::string> names;
    while (const dirent *entry = readdir(dir))
        if (entry->d_name[0] != '.')
            names.push_back(entry->d_name);
    closedir(dir);
    ASSERT_FALSE(names.empty());
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        std::ifstream in(std::string(CONFIG_CORPUS) + "/" + name, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
        EXPECT_EQ(
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()),
            0);
    }
}

} // namespace
