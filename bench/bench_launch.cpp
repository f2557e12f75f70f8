// SPDX-License-Identifier: GPL-2.0-or-later
// From a Return key press in the list to the first instruction of the started
// program, in both launch modes, with the list changed before the Return (the
// first entry renamed in place), against a bare atomic save of the same bytes
// (write, fsync, rename) measured in turns with it.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "bench_common.h"

#include "support/x_client.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

struct Options {
    std::string quorvane, stamp;
    std::vector<long> sizes = {20, 100000};
    int runs = 9;
    int quiet_ms = 300;
    // Runs the program with -d, to see what the launch costs besides saving.
    bool dont_save = false;
};

[[noreturn]] void usage() {
    fprintf(stderr, "usage: bench_launch --quorvane PATH --stamp PATH [--sizes 20,100000]\n"
                    "       [--runs N] [--quiet-ms MS] [--dont-save]\n");
    exit(2);
}

Options parse(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--dont-save") {
            options.dont_save = true;
            continue;
        }
        if (i + 1 >= argc)
            usage();
        const std::string value = argv[++i];
        if (name == "--quorvane")
            options.quorvane = value;
        else if (name == "--stamp")
            options.stamp = value;
        else if (name == "--sizes")
            options.sizes = parse_sizes(value);
        else if (name == "--runs")
            options.runs = atoi(value.c_str());
        else if (name == "--quiet-ms")
            options.quiet_ms = atoi(value.c_str());
        else
            usage();
    }
    if (options.quorvane.empty() || options.stamp.empty() || options.sizes.empty() ||
        options.runs < 1)
        usage();
    return options;
}

enum Mode { EXEC, FORK, MODES };
const char *const kModeNames[MODES] = {"exec", "fork"};

// Waits until the process has used no CPU for quiet_ms.
void wait_quiet(pid_t pid, int quiet_ms) {
    long last = cpu_ticks(pid);
    Clock::time_point since = Clock::now();
    const Clock::time_point deadline = since + std::chrono::seconds(60);
    while (Clock::now() - since < std::chrono::milliseconds(quiet_ms)) {
        if (Clock::now() > deadline)
            throw std::runtime_error("the program did not settle");
        usleep(2000);
        const long now = cpu_ticks(pid);
        if (now < 0)
            throw std::runtime_error("the program ended");
        if (now != last) {
            last = now;
            since = Clock::now();
        }
    }
}

// Waits for the stamp file to be written and closed; returns its clock reading.
Clock::time_point wait_for_stamp(int inotify, const std::string &path) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    while (access(path.c_str(), F_OK) != 0 || read_file(path).find('\n') == std::string::npos) {
        if (Clock::now() > deadline)
            throw std::runtime_error("the launched program left no stamp");
        struct pollfd pfd = {inotify, POLLIN, 0};
        if (poll(&pfd, 1, 100) > 0) {
            char events[4096];
            if (read(inotify, events, sizeof events) < 0 && errno != EAGAIN)
                throw std::runtime_error("inotify failed");
        }
    }
    const long long ns = strtoll(read_file(path).c_str(), nullptr, 10);
    return Clock::time_point(std::chrono::nanoseconds(ns));
}

// F2 on the selected first entry, its description typed over as "x", and the
// edit ended with Return, which goes to the edit and launches nothing.
void rename_first_entry(XClient &keys) {
    for (const char *key : {"F2", "x", "Return"})
        keys.key(key);
}

class Bench {
  public:
    explicit Bench(const Options &options) : options_(options), keys_(rig_.xvfb.display()) {
        rig_.env["LAUNCH_STAMP"] = rig_.folder.file("stamp");
        inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotify_ < 0 ||
            inotify_add_watch(inotify_, rig_.folder.path().c_str(), IN_CLOSE_WRITE) < 0)
            throw std::runtime_error("inotify failed");
    }
    ~Bench() { close(inotify_); }

    // One launch by Return; returns the milliseconds from the key press to the
    // launched program's first act, and the bytes the program saved.
    double launch(long rows, Mode mode, std::string *saved) {
        const std::string config = rig_.home() + "/.quorvanerc";
        const std::string text =
            config_text(rows, options_.stamp, mode == FORK ? 1 : 0, mode == FORK ? 1 : 2);
        write_file(config, text);
        unlink(rig_.folder.file("stamp").c_str());

        Display *dpy = rig_.watch.display();
        rig_.watch.forget_events();
        const Clock::time_point started = Clock::now();
        std::vector<std::string> argv = {options_.quorvane};
        if (options_.dont_save)
            argv.push_back("-d");
        const pid_t pid = spawn(argv, rig_.env, "/dev/null", rig_.log());
        try {
            const StartFigures figures =
                rig_.watch.watch_start(pid, started, options_.quiet_ms, std::chrono::seconds(120));
            // The keys go where the program puts the keyboard, the pointer
            // parked away from its window, as at a real start-up.
            if (!keys_.wait_for_focus(figures.window))
                throw std::runtime_error("the program did not take the keyboard");
            wait_quiet(pid, options_.quiet_ms);
            rename_first_entry(keys_);
            wait_quiet(pid, options_.quiet_ms);

            const KeyCode enter = XKeysymToKeycode(dpy, XStringToKeysym("Return"));
            const Clock::time_point pressed = Clock::now();
            XTestFakeKeyEvent(dpy, enter, True, CurrentTime);
            XFlush(dpy);
            const Clock::time_point launched = wait_for_stamp(inotify_, rig_.folder.file("stamp"));
            XTestFakeKeyEvent(dpy, enter, False, CurrentTime);
            XSync(dpy, False);
            if (mode == EXEC) {
                if (!wait_for_exit(pid, std::chrono::seconds(10)))
                    throw std::runtime_error("the launched program did not end");
            } else {
                end_process(pid);
            }
            *saved = read_file(config);
            if (!options_.dont_save && saved->find("\nx=") == std::string::npos)
                throw std::runtime_error("the renamed entry was not saved");
            return ms_between(pressed, launched);
        } catch (const std::exception &error) {
            rig_.give_up(pid, std::to_string(rows) + " rows, " + kModeNames[mode] + " mode", error);
        }
    }

    double bare_save(const std::string &text, bool sync_folder) {
        return bare_save_ms(rig_.home() + "/.bare-save", text, sync_folder);
    }

  private:
    const Options &options_;
    BenchRig rig_;
    // Types as a test does, and never gives a window the keyboard.
    XClient keys_;
    int inotify_ = -1;
};

} // namespace

int main(int argc, char **argv) {
    const Options options = parse(argc, argv);
    const size_t sizes = options.sizes.size();
    std::vector<std::vector<std::vector<double>>> launch(sizes,
                                                         std::vector<std::vector<double>>(MODES));
    std::vector<std::vector<std::vector<double>>> save(sizes,
                                                       std::vector<std::vector<double>>(MODES));
    std::vector<std::vector<std::vector<double>>> synced(sizes,
                                                         std::vector<std::vector<double>>(MODES));
    std::vector<size_t> bytes(sizes);
    try {
        Bench bench(options);
        for (int run = 0; run < options.runs; ++run) {
            for (size_t s = 0; s < sizes; ++s)
                for (int m = 0; m < MODES; ++m) {
                    const Mode mode = static_cast<Mode>((run + m) % MODES);
                    std::string saved;
                    launch[s][mode].push_back(bench.launch(options.sizes[s], mode, &saved));
                    save[s][mode].push_back(bench.bare_save(saved, false));
                    synced[s][mode].push_back(bench.bare_save(saved, true));
                    bytes[s] = saved.size();
                }
            fprintf(stderr, "run %d of %d done\n", run + 1, options.runs);
        }
    } catch (const std::exception &error) {
        fprintf(stderr, "bench_launch: %s\n", error.what());
        return 1;
    }

    printf("Return to launch with a changed list, medians of %d runs, against a bare atomic save "
           "of the same "
           "bytes (%s)\n\n",
           options.runs, machine_line().c_str());
    printf("| entries | file bytes | mode | Return to launch ms | bare save ms | ratio | bare "
           "save and folder sync ms |\n");
    printf("|---:|---:|---|---:|---:|---:|---:|\n");
    for (size_t s = 0; s < sizes; ++s)
        for (int m = 0; m < MODES; ++m) {
            const double l = median(launch[s][m]);
            const double b = median(save[s][m]);
            printf("| %ld | %zu | %s | %.1f | %.1f | %.2f× | %.1f |\n", options.sizes[s], bytes[s],
                   kModeNames[m], l, b, l / b, median(synced[s][m]));
        }
    return 0;
}
