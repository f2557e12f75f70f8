// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up and save with files far larger than any real list: one with a
// description of ten megabytes, one of a million entries, in turns with the
// everyday file of twenty entries. A save is measured as the time from the
// window's close to the program's end (the quit saves), against a bare
// atomic save of the same bytes done right after it.
#include "bench_common.h"

#include "support/x_client.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

struct Options {
    std::string quorvane;
    // Another build of the program, measured in the same turns.
    std::string before;
    int runs = 9;
    int quiet_ms = 300;
};

[[noreturn]] void usage() {
    fprintf(stderr, "usage: bench_big_files --quorvane PATH [--before PATH] [--runs N]\n"
                    "       [--quiet-ms MS]\n");
    exit(2);
}

Options parse(int argc, char **argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--quorvane")
            options.quorvane = value;
        else if (name == "--before")
            options.before = value;
        else if (name == "--runs")
            options.runs = atoi(value.c_str());
        else if (name == "--quiet-ms")
            options.quiet_ms = atoi(value.c_str());
        else
            usage();
    }
    if (argc % 2 == 0 || options.quorvane.empty() || options.runs < 1)
        usage();
    return options;
}

struct FileCase {
    const char *name;
    std::string text;
};

std::vector<FileCase> file_cases() {
    const std::string twenty = config_text(20, "", 0, 3);
    // The long description goes first, so that every entry comes after it.
    const std::string long_line = std::string(10 * 1000 * 1000, 'x') + "=/usr/bin/wm\n";
    return {{"20 entries", twenty},
            {"a 10 MB line and 20 entries", long_line + twenty},
            {"1,000,000 entries", config_text(1000000, "", 0, 3)}};
}

struct Figures {
    std::vector<double> map_ms, idle_ms, cpu_ms, peak_mb, quit_ms, bare_ms;
};

class Bench {
  public:
    explicit Bench(const Options &options) : options_(options) {}

    // Starts the program on the file, lets it settle, and quits it, which saves.
    void measure(const std::string &program, const FileCase &file, Figures *figures) {
        const std::string config = rig_.home() + "/.quorvanerc";
        write_file(config, file.text);
        rig_.watch.forget_events();
        const Clock::time_point started = Clock::now();
        const pid_t pid = spawn({program}, rig_.env, "/dev/null", rig_.log());
        try {
            const StartFigures start =
                rig_.watch.watch_start(pid, started, options_.quiet_ms, std::chrono::seconds(600));
            const long peak = peak_rss_kb(pid);
            const Clock::time_point asked = Clock::now();
            ask_to_close(rig_.watch.display(), start.window);
            if (!wait_for_exit(pid, std::chrono::seconds(600)))
                throw std::runtime_error("it did not end after its window was closed");
            figures->quit_ms.push_back(ms_between(asked, Clock::now()));
            figures->map_ms.push_back(start.map_ms);
            figures->idle_ms.push_back(start.idle_ms);
            figures->cpu_ms.push_back(start.cpu_ms);
            figures->peak_mb.push_back(peak / 1024.0);
        } catch (const std::exception &error) {
            rig_.give_up(pid, program + " with " + file.name, error);
        }
        const std::string saved = read_file(config);
        if (saved.size() + 64 < file.text.size())
            throw std::runtime_error(program + " with " + file.name + " saved " +
                                     std::to_string(saved.size()) + " bytes");
        figures->bare_ms.push_back(bare_save_ms(rig_.home() + "/.bare-save", saved, true));
    }

  private:
    const Options &options_;
    BenchRig rig_;
};

} // namespace

int main(int argc, char **argv) {
    const Options options = parse(argc, argv);
    const std::vector<FileCase> files = file_cases();
    std::vector<std::string> programs = {options.quorvane};
    if (!options.before.empty())
        programs.push_back(options.before);
    // figures[program][file]
    std::vector<std::vector<Figures>> figures(programs.size(), std::vector<Figures>(files.size()));
    try {
        Bench bench(options);
        // The first start in a new HOME fills caches there.
        Figures ignored;
        bench.measure(options.quorvane, files[0], &ignored);
        for (int run = 0; run < options.runs; ++run) {
            for (size_t f = 0; f < files.size(); ++f)
                for (size_t turn = 0; turn < programs.size(); ++turn) {
                    const size_t p = (run + turn) % programs.size();
                    bench.measure(programs[p], files[f], &figures[p][f]);
                }
            fprintf(stderr, "run %d of %d done\n", run + 1, options.runs);
        }
    } catch (const std::exception &error) {
        fprintf(stderr, "bench_big_files: %s\n", error.what());
        return 1;
    }

    printf("Start-up and quit (which saves) with big files, medians of %d runs (%s)\n\n",
           options.runs, machine_line().c_str());
    printf("| program | file | MB | first map ms | idle ms | CPU ms | peak MB | quit ms | bare "
           "save ms | quit / bare save |\n");
    printf("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (size_t p = 0; p < programs.size(); ++p)
        for (size_t f = 0; f < files.size(); ++f) {
            const Figures &x = figures[p][f];
            printf("| %s | %s | %.1f | %.0f | %.0f | %.0f | %.1f | %.0f | %.0f | %.1f× |\n",
                   p == 0 ? "quorvane" : "quorvane before", files[f].name,
                   files[f].text.size() / 1e6, median(x.map_ms), median(x.idle_ms),
                   median(x.cpu_ms), median(x.peak_mb), median(x.quit_ms), median(x.bare_ms),
                   median(x.quit_ms) / median(x.bare_ms));
        }
    return 0;
}
