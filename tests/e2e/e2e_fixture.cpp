// SPDX-License-Identifier: GPL-2.0-or-later
#include "e2e/e2e_fixture.h"

#include "support/wait.h"

#include "wmlist/config_texts.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <stdexcept>

void QuorvaneE2e::SetUp() {
    ASSERT_EQ(mkdir(home().c_str(), 0700), 0);
    ASSERT_EQ(mkdir(tmp_.file("bin").c_str(), 0700), 0);
    xvfb_ = std::make_unique<Xvfb>();
    x_ = std::make_unique<XClient>(xvfb_->display());
    // Where a real start-up may leave it: away from every window.
    x_->park_pointer();
}

std::string QuorvaneE2e::install_fake_wm(const std::string &name) {
    const std::string target = tmp_.file("bin/" + name);
    if (symlink(FAKE_WM, target.c_str()) != 0)
        throw std::runtime_error("cannot link " + target);
    return target;
}

void QuorvaneE2e::write_config(const std::vector<std::string> &entries, double delay, int restart,
                               int default_wm, int goback_btn) {
    std::string text = HEADER;
    for (const auto &entry : entries)
        text += entry + "\n";
    char settings[256];
    snprintf(settings, sizeof settings,
             "delay:%f\nrestart_quorvane:%d\ndefault_wm:%d\ngoback_btn:%d\n", delay, restart,
             default_wm, goback_btn);
    write_file(config_path(), text + settings);
}

void QuorvaneE2e::start(const std::vector<std::string> &args,
                        const std::map<std::string, std::string> &extra_env) {
    std::map<std::string, std::string> env = {
        {"PATH", tmp_.file("bin") + ":" + std::string(getenv("PATH") ? getenv("PATH") : "")},
        {"HOME", home()},
        {"DISPLAY", xvfb_->display()},
        {"XAUTHORITY", tmp_.file("Xauthority")},
        {"FAKE_WM_LOG", wm_log_path()},
        // The search offers the sessions of these folders; no test sees the machine's.
        {"XDG_DATA_DIRS", tmp_.file("share")},
    };
    // A sanitized build's program reports by the same rules as the tests.
    for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char *value = getenv(name))
            env[name] = value;
    for (const auto &[name, value] : extra_env)
        env[name] = value;
    if (bus_)
        for (const auto &[name, value] : bus_->program_environment()) {
            // The test's own modules load beside the bridge.
            if (name == "GTK_MODULES" && env.count(name) != 0)
                env[name] = value + ":" + env[name];
            else
                env[name] = value;
        }
    for (const std::string &name : left_out_)
        env.erase(name);
    std::vector<std::string> argv = prefix_;
    argv.push_back(program_);
    argv.insert(argv.end(), args.begin(), args.end());
    app_ = std::make_unique<Process>(argv, env, tmp_.file("stdout"), tmp_.file("stderr"));
}

void QuorvaneE2e::listen_as_screen_reader() {
    const std::string folder = tmp_.file("bus");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    bus_ = std::make_unique<AccessibilityBus>(xvfb_->display(), folder);
    reader_ = std::make_unique<AccessibilityReader>(bus_->session_address());
}

AccessibleNode
QuorvaneE2e::read_program_until(const std::function<bool(const AccessibleNode &)> &shows,
                                std::chrono::milliseconds limit) {
    std::optional<AccessibleNode> program;
    wait_for(
        [&] {
            program = reader_->read_application("quorvane");
            return program && shows(*program);
        },
        limit);
    return program ? *program : AccessibleNode{};
}

// The first label of the main window.
AccessibleNode QuorvaneE2e::countdown_label() {
    const auto label_of = [](const AccessibleNode &program) -> const AccessibleNode * {
        const AccessibleNode *frame = program.find("frame", MAIN_TITLE);
        return frame != nullptr ? frame->find("label") : nullptr;
    };
    const AccessibleNode program =
        read_program_until([&](const AccessibleNode &p) { return label_of(p) != nullptr; });
    const AccessibleNode *label = label_of(program);
    return label != nullptr ? *label : AccessibleNode{};
}

Window QuorvaneE2e::main_window() {
    return x_->wait_for_viewable(MAIN_TITLE);
}

Window QuorvaneE2e::wait_for_dialog(std::chrono::milliseconds limit) {
    Window dialog = 0;
    wait_for(
        [&] {
            const std::vector<Window> found = x_->mapped_windows_of_type("DIALOG");
            dialog = found.empty() ? 0 : found.front();
            return dialog != 0;
        },
        limit);
    return dialog;
}

size_t count_of(const std::string &text, const std::string &part) {
    size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool logged_warning(const std::string &err, const std::string &text) {
    const std::regex line("\\*\\* \\(quorvane:[0-9]+\\): WARNING \\*\\*: [0-9:.]+: " + text);
    return std::regex_search(err, line);
}

int QuorvaneE2e::exit_code(std::chrono::milliseconds limit) {
    const std::optional<int> status = app_->wait_exit(limit);
    if (!status || !WIFEXITED(*status))
        return -1;
    return WEXITSTATUS(*status);
}
