// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up figures of the program against its two references, the naive floor
// and a zenity chooser, with the same rows, measured in turns under one
// private Xvfb. Prints the medians and ratios, and writes them for the plot.
#include "bench_common.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace {

struct Options {
    std::string quorvane, floor, zenity = "zenity", data;
    // Another build of the program, measured in the same turns: the figures
    // from before a change.
    std::string before;
    // Another program that takes the row count, measured in quorvane's place.
    std::string compare;
    std::vector<long> sizes = {20, 1000, 10000, 100000};
    int runs = 9;
    int quiet_ms = 300;
};

[[noreturn]] void usage() {
    fprintf(stderr, "usage: bench_startup --quorvane PATH --floor PATH [--zenity PATH|none]\n"
                    "       [--before PATH] [--sizes 20,1000,...] [--runs N] [--quiet-ms MS]\n"
                    "       [--data FILE] [--compare PATH]\n");
    exit(2);
}

Options parse(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc)
            usage();
        const std::string value = argv[++i];
        if (name == "--quorvane")
            options.quorvane = value;
        else if (name == "--floor")
            options.floor = value;
        else if (name == "--zenity")
            options.zenity = value;
        else if (name == "--sizes")
            options.sizes = parse_sizes(value);
        else if (name == "--runs")
            options.runs = atoi(value.c_str());
        else if (name == "--quiet-ms")
            options.quiet_ms = atoi(value.c_str());
        else if (name == "--before")
            options.before = value;
        else if (name == "--compare")
            options.compare = value;
        else if (name == "--data")
            options.data = value;
        else
            usage();
    }
    if ((options.quorvane.empty() && options.compare.empty()) || options.floor.empty() ||
        options.sizes.empty() || options.runs < 1)
        usage();
    return options;
}

enum Subject { QUORVANE, BEFORE, FLOOR, ZENITY, SUBJECTS };
const char *const kNames[SUBJECTS] = {"quorvane", "quorvane before", "naive floor",
                                      "zenity --list"};

struct Samples {
    std::vector<double> map_ms, idle_ms, cpu_ms, peak_mb, private_mb;
};

struct Medians {
    double map_ms = NAN, idle_ms = NAN, cpu_ms = NAN, peak_mb = NAN, private_mb = NAN;
};

Medians medians_of(const Samples &samples) {
    Medians m;
    if (!samples.map_ms.empty()) {
        m.map_ms = median(samples.map_ms);
        m.idle_ms = median(samples.idle_ms);
        m.cpu_ms = median(samples.cpu_ms);
        m.peak_mb = median(samples.peak_mb);
        m.private_mb = median(samples.private_mb);
    }
    return m;
}

class Bench {
  public:
    explicit Bench(const Options &options) : options_(options) {}

    void prepare(long rows) {
        write_file(rig_.home() + "/.quorvanerc", config_text(rows, "", 0, 3));
        zenity_cells_ = zenity_cells(rows);
    }

    void measure(Subject subject, long rows, Samples *samples) {
        std::vector<std::string> argv;
        switch (subject) {
        case QUORVANE:
            // -d: never write the file, though nothing here quits normally.
            argv = {options_.quorvane, "-d"};
            if (!options_.compare.empty())
                argv = {options_.compare, std::to_string(rows)};
            break;
        case BEFORE:
            argv = {options_.before, "-d"};
            break;
        case FLOOR:
            argv = {options_.floor, std::to_string(rows)};
            break;
        case ZENITY:
            // The rows as arguments, as scripts pass them: zenity reads its
            // standard input a kilobyte at a time, a second apart.
            argv = {options_.zenity,        "--list",           "--title=Window managers",
                    "--column=Description", "--column=Command", "--hide-column=2",
                    "--print-column=2"};
            argv.insert(argv.end(), zenity_cells_.begin(), zenity_cells_.end());
            break;
        default:
            return;
        }
        rig_.watch.forget_events();
        const Clock::time_point started = Clock::now();
        const pid_t pid = spawn(argv, rig_.env, "/dev/null", rig_.log());
        try {
            const StartFigures figures =
                rig_.watch.watch_start(pid, started, options_.quiet_ms, std::chrono::seconds(120));
            const long peak = peak_rss_kb(pid);
            const long own = private_rss_kb(pid);
            end_process(pid);
            samples->map_ms.push_back(figures.map_ms);
            samples->idle_ms.push_back(figures.idle_ms);
            samples->cpu_ms.push_back(figures.cpu_ms);
            samples->peak_mb.push_back(peak / 1024.0);
            samples->private_mb.push_back(own / 1024.0);
            if (getenv("BENCH_VERBOSE") != nullptr)
                fprintf(stderr,
                        "%s, %ld rows: map %.1f ms, idle %.1f ms, CPU %.0f ms, peak %ld kB, "
                        "private %ld kB\n",
                        kNames[subject], rows, figures.map_ms, figures.idle_ms, figures.cpu_ms,
                        peak, own);
        } catch (const std::exception &error) {
            rig_.give_up(pid,
                         std::string(kNames[subject]) + " with " + std::to_string(rows) + " rows",
                         error);
        }
    }

  private:
    const Options &options_;
    BenchRig rig_;
    std::vector<std::string> zenity_cells_;
};

std::string figure(double value, const char *format) {
    if (std::isnan(value))
        return "n/a";
    char text[32];
    snprintf(text, sizeof text, format, value);
    return text;
}

std::string ratio(double value, double reference) {
    if (std::isnan(value) || std::isnan(reference) || reference <= 0)
        return "n/a";
    return figure(value / reference, "%.2f×");
}

struct Target {
    std::string what;
    double value, limit;
};

} // namespace

int main(int argc, char **argv) {
    const Options options = parse(argc, argv);
    const bool with_zenity = options.zenity != "none";
    auto measured = [&](int subject) {
        return (subject != ZENITY || with_zenity) && (subject != BEFORE || !options.before.empty());
    };
    std::vector<std::vector<Samples>> samples(options.sizes.size(), std::vector<Samples>(SUBJECTS));
    try {
        Bench bench(options);
        // The first start in a new HOME fills caches there (fonts, icons):
        // one unmeasured start of each, so that no subject pays for them.
        bench.prepare(options.sizes.front());
        for (int subject = 0; subject < SUBJECTS; ++subject) {
            Samples ignored;
            if (measured(subject))
                bench.measure(static_cast<Subject>(subject), options.sizes.front(), &ignored);
        }
        for (int run = 0; run < options.runs; ++run) {
            for (size_t s = 0; s < options.sizes.size(); ++s) {
                bench.prepare(options.sizes[s]);
                // Each run starts with another subject, so none always goes first.
                for (int turn = 0; turn < SUBJECTS; ++turn) {
                    const Subject subject = static_cast<Subject>((run + turn) % SUBJECTS);
                    if (measured(subject))
                        bench.measure(subject, options.sizes[s], &samples[s][subject]);
                }
            }
            fprintf(stderr, "run %d of %d done\n", run + 1, options.runs);
        }
    } catch (const std::exception &error) {
        fprintf(stderr, "bench_startup: %s\n", error.what());
        return 1;
    }

    std::vector<std::vector<Medians>> m(options.sizes.size(), std::vector<Medians>(SUBJECTS));
    for (size_t s = 0; s < options.sizes.size(); ++s)
        for (int subject = 0; subject < SUBJECTS; ++subject)
            m[s][subject] = medians_of(samples[s][subject]);

    printf("Start-up under Xvfb, medians of %d runs (%s)\n\n", options.runs,
           machine_line().c_str());
    printf("| entries | program | first map ms | idle ms | CPU ms | peak MB | private MB |\n");
    printf("|---:|---|---:|---:|---:|---:|---:|\n");
    for (size_t s = 0; s < options.sizes.size(); ++s)
        for (int subject = 0; subject < SUBJECTS; ++subject) {
            if (!measured(subject))
                continue;
            const Medians &x = m[s][subject];
            printf("| %ld | %s | %s | %s | %s | %s | %s |\n", options.sizes[s], kNames[subject],
                   figure(x.map_ms, "%.0f").c_str(), figure(x.idle_ms, "%.0f").c_str(),
                   figure(x.cpu_ms, "%.0f").c_str(), figure(x.peak_mb, "%.1f").c_str(),
                   figure(x.private_mb, "%.1f").c_str());
        }
    for (const Subject subject : {QUORVANE, BEFORE}) {
        if (!measured(subject))
            continue;
        printf("\nRatios of %s to the naive floor (and to zenity):\n\n", kNames[subject]);
        printf("| entries | first map | idle | peak memory | private memory |\n");
        printf("|---:|---:|---:|---:|---:|\n");
        for (size_t s = 0; s < options.sizes.size(); ++s) {
            const Medians &q = m[s][subject], &f = m[s][FLOOR], &z = m[s][ZENITY];
            printf("| %ld | %s (%s) | %s (%s) | %s (%s) | %s (%s) |\n", options.sizes[s],
                   ratio(q.map_ms, f.map_ms).c_str(), ratio(q.map_ms, z.map_ms).c_str(),
                   ratio(q.idle_ms, f.idle_ms).c_str(), ratio(q.idle_ms, z.idle_ms).c_str(),
                   ratio(q.peak_mb, f.peak_mb).c_str(), ratio(q.peak_mb, z.peak_mb).c_str(),
                   ratio(q.private_mb, f.private_mb).c_str(),
                   ratio(q.private_mb, z.private_mb).c_str());
        }
    }

    // The program is held to the naive floor at every size, within a tenth,
    // and to growing no faster than its entries.
    std::vector<Target> targets;
    constexpr double kAtTheFloor = 1.10;
    for (size_t s = 0; s < options.sizes.size(); ++s) {
        const std::string at = " at " + std::to_string(options.sizes[s]) + " entries / floor";
        const Medians &q = m[s][QUORVANE], &f = m[s][FLOOR];
        targets.push_back({"first map" + at, q.map_ms / f.map_ms, kAtTheFloor});
        targets.push_back({"idle" + at, q.idle_ms / f.idle_ms, kAtTheFloor});
        targets.push_back({"peak memory" + at, q.peak_mb / f.peak_mb, kAtTheFloor});
        targets.push_back({"private memory" + at, q.private_mb / f.private_mb, kAtTheFloor});
    }
    for (size_t s = 1; s < options.sizes.size(); ++s) {
        const Medians &from = m[s - 1][QUORVANE], &to = m[s][QUORVANE];
        const double entries = static_cast<double>(options.sizes[s]) / options.sizes[s - 1];
        const std::string span = " growth, " + std::to_string(options.sizes[s - 1]) + " to " +
                                 std::to_string(options.sizes[s]) + " entries";
        // Linear at most: what grows is at most as many times larger as the
        // list. Memory, most of which does not grow, stays far below.
        targets.push_back({"first map" + span, to.map_ms / from.map_ms, entries});
        targets.push_back({"idle" + span, to.idle_ms / from.idle_ms, entries});
        targets.push_back({"peak memory" + span, to.peak_mb / from.peak_mb, entries});
        targets.push_back({"private memory" + span, to.private_mb / from.private_mb, entries});
    }
    printf("\n| target | measured | limit | |\n|---|---:|---:|---|\n");
    for (const Target &target : targets)
        printf("| %s | %.2f | %.2f | %s |\n", target.what.c_str(), target.value, target.limit,
               target.value <= target.limit ? "met" : "MISSED");

    if (!options.data.empty()) {
        std::ofstream data(options.data);
        data << "# entries, then first map ms, idle ms and peak MB of quorvane, the naive "
                "floor, zenity and quorvane before, then the private MB of each\n";
        auto put = [&data](double value) {
            data << ' ' << (std::isnan(value) ? std::string("NaN") : figure(value, "%.2f"));
        };
        for (size_t s = 0; s < options.sizes.size(); ++s) {
            data << options.sizes[s];
            const Subject order[] = {QUORVANE, FLOOR, ZENITY, BEFORE};
            for (const Subject subject : order)
                for (double value :
                     {m[s][subject].map_ms, m[s][subject].idle_ms, m[s][subject].peak_mb})
                    put(value);
            for (const Subject subject : order)
                put(m[s][subject].private_mb);
            data << '\n';
        }
    }
    return 0;
}
