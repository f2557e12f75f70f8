// SPDX-License-Identifier: GPL-2.0-or-later
// The search for window managers, timed in this process, which runs it as the
// program does before its dialog shows. In turns within each run:
//   - the table alone over the three fixed folders (what the search did
//     before it read sessions and alternatives): the reference;
//   - the whole search on this machine as it is;
//   - the whole search with a hundred session files in a private data folder,
//     each naming a program found along a private PATH (before the machine's
//     own folders, so that Debian's update-alternatives still answers);
//   - update-alternatives alone, which the whole search runs once.
//   bench_search [--runs N] [--sessions N]
#include "bench_common.h"

#include "dialogs/installed_wms.h"
#include "dialogs/search.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// As large as a real session file with its translations (3.6 kB; twm's is 2.8 kB).
std::string session_text(int number) {
    std::string text =
        "[Desktop Entry]\nType=XSession\nName=Window manager " + std::to_string(number) + "\n";
    const char *const languages[] = {
        "af", "ar", "be", "bn", "ca", "cs", "da", "de", "el", "eo", "es",    "et",
        "eu", "fa", "fi", "fr", "gl", "hi", "hr", "hu", "is", "it", "ja",    "kk",
        "km", "lt", "lv", "mk", "ms", "nb", "nl", "nn", "pa", "pl", "pt",    "ro",
        "ru", "sk", "sl", "sv", "ta", "te", "th", "tr", "uk", "vi", "zh_CN", "zh_TW"};
    for (const char *language : languages) {
        text +=
            std::string("Name[") + language + "]=Fenstermanager " + std::to_string(number) + "\n";
        text += std::string("Comment[") + language + "]=A window manager for X, number " +
                std::to_string(number) + "\n";
    }
    text += "Exec=wm" + std::to_string(number) + "\nTryExec=wm" + std::to_string(number) + "\n";
    return text;
}

// A private data folder with this many sessions, and three program folders
// with each session's program in the last.
std::string make_sessions(const TempDir &tmp, int count) {
    for (const char *folder : {"share", "share/xsessions", "bin1", "bin2", "bin3"})
        mkdir(tmp.file(folder).c_str(), 0755);
    for (int i = 0; i < count; ++i) {
        write_file(tmp.file("share/xsessions/wm" + std::to_string(i) + ".desktop"),
                   session_text(i));
        const std::string program = tmp.file("bin3/wm" + std::to_string(i));
        write_file(program, "#!/bin/sh\nexit 0\n");
        chmod(program.c_str(), 0755);
    }
    return tmp.file("bin1") + ":" + tmp.file("bin2") + ":" + tmp.file("bin3");
}

struct Setup {
    std::string name;
    std::function<size_t()> run; // gives the number of rows found
};

} // namespace

int main(int argc, char **argv) {
    int runs = 15;
    int sessions = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--runs") == 0)
            runs = atoi(argv[i + 1]);
        else if (strcmp(argv[i], "--sessions") == 0)
            sessions = atoi(argv[i + 1]);
    }
    const char *machine_path = getenv("PATH");
    const std::string system_path =
        machine_path != nullptr ? machine_path : "/usr/local/bin:/usr/bin:/bin";
    const char *machine_dirs = getenv("XDG_DATA_DIRS");
    const std::string system_dirs = machine_dirs != nullptr ? machine_dirs : "";
    TempDir tmp;
    const std::string private_path = make_sessions(tmp, sessions) + ":" + system_path;
    setenv("LC_ALL", "de_DE.UTF-8", 1);

    auto on_machine = [&] {
        setenv("PATH", system_path.c_str(), 1);
        setenv("XDG_DATA_DIRS", system_dirs.c_str(), 1);
    };
    std::vector<Setup> setups = {
        {"table alone (reference)",
         [&] {
             on_machine();
             return find_known_wms(known_wms, search_dirs).size();
         }},
        {"whole search, this machine",
         [&] {
             on_machine();
             return find_installed_wms(known_wms, search_dirs).size();
         }},
        {"whole search, " + std::to_string(sessions) + " sessions",
         [&] {
             setenv("PATH", private_path.c_str(), 1);
             setenv("XDG_DATA_DIRS", tmp.file("share").c_str(), 1);
             return find_installed_wms(known_wms, search_dirs).size();
         }},
        {"update-alternatives alone",
         [&] {
             on_machine();
             return find_alternative_wms().size();
         }},
    };
    // The first turn fills the caches and is not counted; each later run
    // starts with another setup, so that none always goes first.
    std::vector<std::vector<double>> times(setups.size());
    std::vector<size_t> rows(setups.size());
    for (int run = 0; run <= runs; ++run)
        for (size_t turn = 0; turn < setups.size(); ++turn) {
            const size_t which = (turn + run) % setups.size();
            const Clock::time_point start = Clock::now();
            rows[which] = setups[which].run();
            const double ms = ms_between(start, Clock::now());
            if (run > 0)
                times[which].push_back(ms);
        }

    printf("%s\n", machine_line().c_str());
    printf("The search before its dialog shows, medians of %d runs (%d session files)\n\n", runs,
           sessions);
    printf("| what | rows found | median ms | fastest ms | ratio to the table alone |\n");
    printf("|---|---:|---:|---:|---:|\n");
    const double reference = median(times[0]);
    for (size_t i = 0; i < setups.size(); ++i)
        printf("| %s | %zu | %.2f | %.2f | %.1f× |\n", setups[i].name.c_str(), rows[i],
               median(times[i]), *std::min_element(times[i].begin(), times[i].end()),
               median(times[i]) / reference);
    return 0;
}
