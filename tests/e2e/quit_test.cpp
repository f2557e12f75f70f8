// SPDX-License-Identifier: GPL-2.0-or-later
// Every way of quitting saves the configuration exactly once and ends with
// status 0.
#include "e2e/e2e_fixture.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <functional>

namespace {

// Counts completed writes of the configuration file: a replacement shows as
// a rename onto its name, a rewrite in place as a close after writing.
class SaveCounter {
  public:
    SaveCounter(const std::string &folder, std::string name) : name_(std::move(name)) {
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ >= 0)
            inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~SaveCounter() {
        if (fd_ >= 0)
            close(fd_);
    }
    int count() {
        alignas(struct inotify_event) char buffer[4096];
        ssize_t n;
        while ((n = read(fd_, buffer, sizeof buffer)) > 0) {
            for (char *p = buffer; p < buffer + n;) {
                const auto *event = reinterpret_cast<const struct inotify_event *>(p);
                if (event->len > 0 && name_ == event->name)
                    ++count_;
                p += sizeof(struct inotify_event) + event->len;
            }
        }
        return count_;
    }

  private:
    int fd_ = -1;
    int count_ = 0;
    std::string name_;
};

struct QuitWay {
    const char *name;
    std::function<void(XClient &, Window)> act;
};

class QuitE2e : public QuorvaneE2e, public ::testing::WithParamInterface<QuitWay> {};

TEST_P(QuitE2e, SavesOnceAndEndsWithStatusZero) {
    write_config({"Fake=fake-wm"}, 0, 0);
    SaveCounter saves(home(), ".quorvanerc");
    start();
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    GetParam().act(x(), window);
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_EQ(saves.count(), 1);
    EXPECT_NE(read_file(config_path()).find("Fake=fake-wm\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, QuitE2e,
    ::testing::Values(QuitWay{"QuitMnemonic",
                              [](XClient &x, Window window) {
                                  ASSERT_TRUE(x.wait_for_focus(window));
                                  x.key("q", {"Alt_L"});
                              }},
                      QuitWay{"QuitClick",
                              [](XClient &x, Window window) {
                                  int left, top, width, height;
                                  x.geometry(window, &left, &top, &width, &height);
                                  // The Quit button fills the left half of the bottom row.
                                  x.move_pointer(left + width / 4, top + height - 18);
                                  x.click(1);
                              }},
                      QuitWay{"WindowClosed",
                              [](XClient &x, Window window) { x.close_window(window); }}),
    [](const ::testing::TestParamInfo<QuitWay> &param_info) {
        return std::string(param_info.param.name);
    });

} // namespace
