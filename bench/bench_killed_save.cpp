// SPDX-License-Identifier: GPL-2.0-or-later
// Kills the real program with SIGKILL at moments spread over a save that
// rewrites a long list in place (the file has a second name), and reports how
// the file was found each time: rewriting in place cannot survive a kill
// part-way, so this only measures. The fault injector stops the program at
// the chosen write, so the kill lands exactly there.
#include "bench_common.h"
#include "fault/killed_save_text.h"
#include "support/process.h"
#include "support/x_client.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 20000;
constexpr size_t kWriteMax = 4096;

struct Options {
    std::string quorvane, inject;
    int kills = 40;
};

[[noreturn]] void usage() {
    fprintf(stderr, "usage: bench_killed_save --quorvane PATH --inject PATH [--kills N]\n");
    exit(2);
}

Options parse(int argc, char **argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--quorvane")
            options.quorvane = argv[i + 1];
        else if (name == "--inject")
            options.inject = argv[i + 1];
        else if (name == "--kills")
            options.kills = atoi(argv[i + 1]);
        else
            usage();
    }
    if (argc % 2 != 1 || options.quorvane.empty() || options.inject.empty() || options.kills < 1)
        usage();
    return options;
}

const char *what_text(const std::string &text, const std::string &old_text,
                      const std::string &new_text) {
    if (text == old_text)
        return "old";
    if (text == new_text)
        return "new";
    return "torn";
}

// Quits the program, which saves; the injector stops it after the nth write,
// and the kill comes while it is stopped there. Returns how the file was
// found and what was left beside it.
std::string kill_at(const Options &options, long nth, const std::string &old_text,
                    const std::string &new_text) {
    BenchRig rig;
    const std::string conf = rig.folder.file("conf");
    const std::string file = conf + "/rc";
    mkdir(conf.c_str(), 0700);
    write_file(file, old_text);
    if (link(file.c_str(), (conf + "/second-name").c_str()) != 0)
        throw std::runtime_error("cannot give the file a second name");

    Environment &env = rig.env;
    env["LD_PRELOAD"] = options.inject;
    env["FAULT_FOLDER"] = conf;
    env["FAULT_CALL"] = "write";
    env["FAULT_NTH"] = std::to_string(nth);
    env["FAULT_ERRNO"] = "EIO";
    env["FAULT_ACTION"] = "stop-after";
    env["FAULT_LOG"] = rig.folder.file("fault.log");
    env["FAULT_WRITE_MAX"] = std::to_string(kWriteMax);
    const pid_t pid = spawn({options.quorvane, "-c", file}, env, "/dev/null", rig.log());
    try {
        const StartFigures figures =
            rig.watch.watch_start(pid, Clock::now(), 100, std::chrono::seconds(60));
        ask_to_close(rig.watch.display(), figures.window);
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
        while (process_state(pid) != 'T') {
            if (Clock::now() > deadline)
                throw std::runtime_error("never stopped at write " + std::to_string(nth));
            usleep(2000);
        }
    } catch (...) {
        end_process(pid);
        throw;
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);

    std::set<std::string> items;
    for (const std::string &name : list_folder(conf)) {
        if (name == "rc" || name == "second-name")
            continue;
        const std::string text = read_file(conf + "/" + name);
        const char *kind = new_text.compare(0, text.size(), text) == 0 ? "temporary" : "unknown";
        items.insert(std::string(kind) + " (" + std::to_string(text.size()) + " bytes)");
    }
    std::string left;
    for (const std::string &item : items)
        left += (left.empty() ? "" : ", ") + item;
    return std::string("file=") + what_text(read_file(file), old_text, new_text) +
           " left=" + (left.empty() ? "nothing" : left);
}

} // namespace

int main(int argc, char **argv) {
    const Options options = parse(argc, argv);
    const std::string old_text = killed_save_text(kEntries, false);
    const std::string new_text = killed_save_text(kEntries, true);
    const long writes = static_cast<long>((new_text.size() + kWriteMax - 1) / kWriteMax);
    try {
        for (int i = 0; i < options.kills; ++i) {
            const long nth = 1 + i * (writes - 1) / std::max(1, options.kills - 1);
            // One line per kill, in the form bench/killed-save counts up.
            printf("KILLED in-place stop_after_write_%ld %s\n", nth,
                   kill_at(options, nth, old_text, new_text).c_str());
            fflush(stdout);
        }
    } catch (const std::exception &error) {
        fprintf(stderr, "bench_killed_save: %s\n", error.what());
        return 1;
    }
    return 0;
}
