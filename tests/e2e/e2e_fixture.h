// SPDX-License-Identifier: GPL-2.0-or-later
// One run of the real program under its own Xvfb, with a private HOME and a
// fake window manager on PATH.
#pragma once

#include "app/version.h"
#include "support/at_spi.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/x_client.h"
#include "support/xvfb.h"

#include <gtest/gtest.h>

#include <functional>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#define MAIN_TITLE "quorvane " QUORVANE_VERSION

// How many times part occurs in text (overlapping occurrences counted).
size_t count_of(const std::string &text, const std::string &part);
// Whether the program's standard error holds a warning of this text (a
// regular expression), as GLib's log writes it.
bool logged_warning(const std::string &err, const std::string &text);

class QuorvaneE2e : public ::testing::Test {
  protected:
    void SetUp() override;

    std::string home() const { return tmp_.file("home"); }
    std::string config_path() const { return home() + "/.quorvanerc"; }
    std::string wm_log_path() const { return tmp_.file("wm.log"); }
    std::string path_of(const std::string &name) const { return tmp_.file(name); }
    // The fake window manager under another name, in a folder on PATH.
    std::string install_fake_wm(const std::string &name);

    // A configuration with these entry lines and settings, as the program writes it.
    void write_config(const std::vector<std::string> &entries, double delay, int restart,
                      int default_wm = 0, int goback_btn = 3);

    void start(const std::vector<std::string> &args = {},
               const std::map<std::string, std::string> &extra_env = {});
    // Later starts run the program without this variable in its environment.
    void leave_out_of_env(const std::string &name) { left_out_.push_back(name); }
    // Later starts run the program through this command (setpriv, say).
    void run_through(const std::vector<std::string> &prefix) { prefix_ = prefix; }
    // Later starts run this program instead of the build's quorvane (the same
    // program bound to the build's catalogues, say).
    void run_program(const std::string &path) { program_ = path; }
    // Starts a private accessibility bus: later starts load the toolkit's
    // bridge, and the test reads the program as a screen reader does.
    void listen_as_screen_reader();
    AccessibilityReader &reader() { return *reader_; }
    // The program's accessible objects once they show what the test waits
    // for, or as they were last read when the limit passed.
    AccessibleNode read_program_until(const std::function<bool(const AccessibleNode &)> &shows,
                                      std::chrono::milliseconds limit = std::chrono::seconds(15));
    // The countdown label of the main window, as a screen reader finds it;
    // its name says what it counts down to, "Countdown stopped" once it has
    // stopped, and nothing when it never started.
    AccessibleNode countdown_label();
    Window main_window();
    // The first mapped dialog (a message box or the question), or 0 at the limit.
    Window wait_for_dialog(std::chrono::milliseconds limit = std::chrono::seconds(15));
    // Exit status of a normal exit, or -1 after a signal or the deadline.
    int exit_code(std::chrono::milliseconds limit = std::chrono::seconds(15));
    std::string out() const { return read_file(tmp_.file("stdout")); }
    std::string err() const { return read_file(tmp_.file("stderr")); }
    std::string wm_log() const { return read_file(wm_log_path()); }

    XClient &x() { return *x_; }
    Process &app() { return *app_; }

    TempDir tmp_;
    std::unique_ptr<Xvfb> xvfb_;
    std::unique_ptr<XClient> x_;
    std::unique_ptr<Process> app_;
    std::vector<std::string> prefix_;
    std::string program_ = QUORVANE_BINARY;
    std::vector<std::string> left_out_;
    std::unique_ptr<AccessibilityBus> bus_;
    std::unique_ptr<AccessibilityReader> reader_;
};
