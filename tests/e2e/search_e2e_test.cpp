// SPDX-License-Identifier: GPL-2.0-or-later
#include "e2e/dialog_input.h"
#include "e2e/list_e2e_fixture.h"

#include "support/private_mounts.h"
#include "support/wait.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const char *const kKnownCommands[] = {
    "gnome-session", "startkde", "wmaker", "enlightenment", "blackbox", "xfwm",      "sawfish",
    "fluxbox",       "icewm",    "fvwm",   "mwm",           "mlvwm",    "afterstep", "ctwm",
    "flwm",          "pwm",      "vtwm",   "twm",           "xterm",    "rxvt"};

// What the test makes appear in the real folders that the search looks in,
// for itself and the program it starts alone: each folder is covered by an
// overlay in a private mount namespace, whose top layer the test fills. Every
// known name the test does not set stands there as a file that cannot be run,
// so that what the machine has installed plays no part.
class SearchedFolders {
  public:
    explicit SearchedFolders(const TempDir &tmp) : layers_(tmp.file("layers")) {
        mkdir(layers_.c_str(), 0755);
        for (const char *top : {"/usr/local/bin", "/usr/bin"})
            mkdir(layer_of(top).c_str(), 0755);
    }
    ~SearchedFolders() {
        for (auto it = mounted_.rbegin(); it != mounted_.rend(); ++it)
            umount2(it->c_str(), MNT_DETACH);
    }
    SearchedFolders(const SearchedFolders &) = delete;
    SearchedFolders &operator=(const SearchedFolders &) = delete;

    void program(const std::string &path) {
        write_file(layer_of(path), "#!/bin/sh\nexit 0\n");
        chmod(layer_of(path).c_str(), 0755);
    }
    void plain_file(const std::string &path) { write_file(layer_of(path), "#!/bin/sh\n"); }
    void script(const std::string &path, const std::string &text) {
        write_file(layer_of(path), text);
        chmod(layer_of(path).c_str(), 0755);
    }
    void folder(const std::string &path) { mkdir(layer_of(path).c_str(), 0755); }
    void link(const std::string &path, const std::string &target) {
        ASSERT_EQ(symlink(target.c_str(), layer_of(path).c_str()), 0) << path;
    }

    // Puts the layers over the real folders; false, with the reason, when
    // that cannot be done here.
    bool mount_layers(std::string *why) {
        if (!enter_private_mount_namespace("put layers over /usr/bin", why))
            return false;
        for (const char *top : {"/usr/local/bin", "/usr/bin"}) {
            fill_with_placeholders(layer_of(top));
            struct stat info;
            if (lstat(layer_of(std::string(top) + "/X11").c_str(), &info) == 0 &&
                S_ISDIR(info.st_mode))
                fill_with_placeholders(layer_of(std::string(top) + "/X11"));
            const std::string options = "lowerdir=" + layer_of(top) + ":" + top;
            if (mount("overlay", top, "overlay", MS_RDONLY, options.c_str()) != 0) {
                *why = std::string("cannot put an overlay on ") + top + ": " + strerror(errno);
                return false;
            }
            mounted_.push_back(top);
        }
        return true;
    }

  private:
    std::string layer_of(const std::string &path) const {
        for (const std::string top : {"/usr/local/bin", "/usr/bin"})
            if (path.rfind(top, 0) == 0)
                return layers_ + "/" + (top == "/usr/bin" ? "bin" : "local-bin") +
                       path.substr(top.size());
        throw std::runtime_error("not a searched folder: " + path);
    }
    void fill_with_placeholders(const std::string &folder) {
        for (const char *name : kKnownCommands) {
            struct stat info;
            const std::string path = folder + "/" + name;
            if (lstat(path.c_str(), &info) != 0)
                write_file(path, "");
        }
    }

    std::string layers_;
    std::vector<std::string> mounted_;
};

// How /usr/bin/X11 stands: Debian makes it a link to its own folder, so that
// whatever is in /usr/bin is found there too, and first.
enum class X11 { LinkToUsrBin, OwnFolder };

class SearchE2e : public ListE2e {
  protected:
    // Fluxbox in two folders (three, through the link), twm as a link to a
    // program, xterm in /usr/bin; and what must not be offered: a file that
    // cannot be run, folders, a link to a folder and a link to nothing. The
    // table's twm is a link to fluxbox under another name, and keeps its row.
    // The first Fluxbox found is the one row of that name.
    std::vector<std::string> fill(X11 layout) {
        folders_.program("/usr/local/bin/fluxbox");
        folders_.program("/usr/bin/fluxbox");
        folders_.link("/usr/local/bin/twm", "fluxbox");
        folders_.program("/usr/bin/xterm");
        folders_.plain_file("/usr/local/bin/wmaker");
        folders_.folder("/usr/bin/icewm");
        folders_.folder("/usr/local/bin/fvwm");
        folders_.link("/usr/bin/mwm", "icewm");
        folders_.link("/usr/bin/rxvt", "nowhere");
        // Nothing of the machine's sessions and alternatives; on Debian's
        // layout, a session and a registered alternative after the table's
        // rows, and two sessions left out: another Fluxbox, and a program
        // whose path the file would change.
        mkdir(path_of("share").c_str(), 0755);
        mkdir(path_of("share/xsessions").c_str(), 0755);
        std::string alternatives = "#!/bin/sh\n";
        if (layout == X11::LinkToUsrBin) {
            // One row for each program that the link shows twice.
            folders_.link("/usr/bin/X11", ".");
            folders_.program("/usr/local/bin/session-wm");
            folders_.program("/usr/bin/alternative-wm");
            write_file(path_of("share/xsessions/private.desktop"),
                       "[Desktop Entry]\nName=Session\nExec=/usr/local/bin/session-wm\n");
            folders_.program("/usr/bin/startfluxbox");
            write_file(path_of("share/xsessions/fluxbox.desktop"),
                       "[Desktop Entry]\nName=fluxbox\nExec=/usr/bin/startfluxbox\n");
            folders_.program("/usr/local/bin/wm:1");
            write_file(path_of("share/xsessions/colon.desktop"),
                       "[Desktop Entry]\nName=Colon WM\nExec=/usr/local/bin/wm:1\n");
            alternatives += "echo /usr/bin/alternative-wm\n";
        }
        // The program asks Debian's own, by its full path.
        folders_.script("/usr/bin/update-alternatives", alternatives);
        if (layout == X11::LinkToUsrBin)
            return {"Fluxbox=/usr/local/bin/fluxbox", "twm=/usr/local/bin/twm",
                    "xterm=/usr/bin/xterm", "Session=/usr/local/bin/session-wm",
                    "alternative-wm=/usr/bin/alternative-wm"};
        folders_.folder("/usr/bin/X11");
        folders_.program("/usr/bin/X11/ctwm");
        folders_.program("/usr/bin/X11/fluxbox");
        folders_.folder("/usr/bin/X11/flwm");
        return {"Fluxbox=/usr/local/bin/fluxbox", "ctwm=/usr/bin/X11/ctwm",
                "twm=/usr/local/bin/twm", "xterm=/usr/bin/xterm"};
    }
    // Mounts the layers; says why when it cannot.
    bool mount_layers() {
        why_not_.clear();
        return folders_.mount_layers(&why_not_);
    }

    Window result_dialog() { return x().wait_for_viewable(RESULT_TITLE); }
    bool result_dialog_gone() {
        return wait_for([&] {
            for (Window window : x().windows_titled(RESULT_TITLE))
                if (x().is_viewable(window))
                    return false;
            return true;
        });
    }
    // Starts the program with these rows and opens the search from the
    // first row's menu once they show; the search's dialog, or 0.
    Window search_with_rows(const std::vector<std::string> &names, int default_wm) {
        start_with_rows(names, 0, default_wm);
        if (window_with_rows(names.size()) == 0 || open_menu_on_row(0) == 0)
            return 0;
        x().key("s");
        return result_dialog();
    }

    SearchedFolders folders_{tmp_};
    std::string why_not_;
};

class FirstStartE2e : public SearchE2e, public ::testing::WithParamInterface<X11> {};

TEST_P(FirstStartE2e, YesSearchesBeforeTheWindowShowsAndAddsWhatWasFound) {
    const std::vector<std::string> found = fill(GetParam());
    if (!mount_layers())
        GTEST_SKIP() << why_not_;
    start();
    const Window question = wait_for_dialog();
    ASSERT_NE(question, 0u) << err();
    ASSERT_TRUE(x().wait_for_focus(question));
    x().key("y", {"Alt_L"});
    const Window dialog = result_dialog();
    ASSERT_NE(dialog, 0u) << err();
    for (Window window : x().windows_titled(MAIN_TITLE))
        EXPECT_FALSE(x().is_viewable(window)) << "the window waits for the search";
    // Where the main window will show.
    EXPECT_LE(distance_from_screen_centre(x(), dialog), 1);
    // Every row starts selected: Add takes them all.
    ASSERT_TRUE(x().wait_for_focus(dialog));
    x().key("a", {"Alt_L"});

    ASSERT_NE(window_with_rows(found.size()), 0u);
    for (const ShownRow &row : rows())
        EXPECT_FALSE(row.is_default) << row.description << " is the default";
    // The first row found is the selected one, in sight: Return would start it.
    EXPECT_TRUE(wait_for([&] { return selected_row() == 0 && rows()[0].showing; }))
        << "no row, or another, is selected";
    // A countdown that had started would have named what it starts.
    EXPECT_EQ(reader().read_name(countdown_label()), "") << "a countdown started";
    quit();
    EXPECT_EQ(saved_entries(), found);
    EXPECT_TRUE(started().empty());
}

INSTANTIATE_TEST_SUITE_P(Layouts, FirstStartE2e,
                         ::testing::Values(X11::LinkToUsrBin, X11::OwnFolder),
                         [](const auto &test) {
                             return std::string(test.param == X11::LinkToUsrBin ? "DebianX11Link"
                                                                                : "OwnX11Folder");
                         });

TEST_F(SearchE2e, AddAppendsTheChosenRowsAsEditedAtTheEnd) {
    fill(X11::LinkToUsrBin);
    if (!mount_layers())
        GTEST_SKIP() << why_not_;
    const Window dialog = search_with_rows({"First", "Second"}, 0);
    ASSERT_NE(dialog, 0u) << err();
    ASSERT_TRUE(x().wait_for_focus(dialog));
    // Control moves the cursor without touching the selection; Control and
    // space take the second row out of it.
    x().key("Down", {"Control_L"});
    x().key("space", {"Control_L"});
    // F2 edits the cursor's cell, in the command column first.
    x().key("Down", {"Control_L"});
    x().key("F2");
    for (const char *key : {"slash", "o", "p", "t", "slash", "t", "w", "m"})
        x().key(key);
    x().key("Return");
    x().key("Down", {"Control_L"});
    x().key("Down", {"Control_L"});
    x().key("Right");
    x().key("F2");
    // Left open: Add keeps it all the same.
    for (const char *key : {"t", "e", "r", "m"})
        x().key(key);
    x().key("a", {"Alt_L"});
    ASSERT_TRUE(result_dialog_gone());
    quit();
    EXPECT_EQ(saved_entries(),
              (std::vector<std::string>{"First=first-wm", "Second=second-wm",
                                        "Fluxbox=/usr/local/bin/fluxbox", "xterm=/opt/twm",
                                        "Session=/usr/local/bin/session-wm",
                                        "term=/usr/bin/alternative-wm"}));
    EXPECT_EQ(saved_default(), "0");
}

// Return presses Add, as in any dialog, once an edit begun with F2 is done;
// the keyboard is then back in the list, on the first row added, which
// Return starts.
TEST_F(SearchE2e, ReturnAddsEveryChosenRowAndTheListHasTheKeyboardAgain) {
    const std::vector<std::string> found = fill(X11::LinkToUsrBin);
    if (!mount_layers())
        GTEST_SKIP() << why_not_;
    const Window dialog = search_with_rows({"First"}, 0);
    ASSERT_NE(dialog, 0u) << err();
    ASSERT_TRUE(x().wait_for_focus(dialog));
    x().key("Right");
    x().key("F2");
    type_text(x(), "Flux");
    x().key("Return");
    x().key("Return");
    ASSERT_TRUE(result_dialog_gone());
    ASSERT_TRUE(x().wait_for_focus(main_));
    x().key("Return");
    // The found program is a stand-in that ends at once, replacing the program.
    EXPECT_EQ(exit_code(), 0) << err();
    EXPECT_TRUE(started().empty()) << "the default row started, not the row added";
    EXPECT_EQ(count_of(err(), "Cannot start"), 0u) << err();
    std::vector<std::string> expected = {"First=first-wm"};
    expected.insert(expected.end(), found.begin(), found.end());
    expected[1] = "Flux=/usr/local/bin/fluxbox";
    EXPECT_EQ(saved_entries(), expected);
}

// Every row starts chosen; a click that edits one row's cell keeps the others.
TEST_F(SearchE2e, EditingACellByClickKeepsEveryRowChosen) {
    const std::vector<std::string> found = fill(X11::LinkToUsrBin);
    if (!mount_layers())
        GTEST_SKIP() << why_not_;
    const Window dialog = search_with_rows({"First"}, 0);
    ASSERT_NE(dialog, 0u) << err();
    std::vector<ShownRow> shown;
    ASSERT_TRUE(wait_for([&] { return (shown = rows_of(RESULT_TITLE)).size() == found.size(); }))
        << shown.size() << " rows";
    ASSERT_TRUE(x().wait_for_focus(dialog));
    // The description, in the last column.
    const Area &cell = shown[2].cells.back();
    x().move_pointer(cell.x + std::min(20, cell.width / 2), shown[2].centre_y());
    x().click(1);
    ASSERT_TRUE(wait_for([&] { return editing_a_cell(RESULT_TITLE); }, std::chrono::seconds(3)))
        << "no editor opened";
    type_text(x(), "Tiny");
    x().key("Return");
    x().key("a", {"Alt_L"});
    ASSERT_TRUE(result_dialog_gone());
    quit();
    std::vector<std::string> expected = {"First=first-wm"};
    expected.insert(expected.end(), found.begin(), found.end());
    expected[3] = "Tiny=/usr/bin/xterm";
    EXPECT_EQ(saved_entries(), expected);
}

enum class Dismissal { CancelButton, EscapeKey, WindowClosed };

class DismissE2e : public SearchE2e, public ::testing::WithParamInterface<Dismissal> {};

TEST_P(DismissE2e, AnythingButAddLeavesTheListAlone) {
    fill(X11::LinkToUsrBin);
    if (!mount_layers())
        GTEST_SKIP() << why_not_;
    const Window dialog = search_with_rows({"First", "Second"}, 1);
    ASSERT_NE(dialog, 0u) << err();
    ASSERT_TRUE(x().wait_for_focus(dialog));
    switch (GetParam()) {
    case Dismissal::CancelButton:
        x().key("c", {"Alt_L"});
        break;
    case Dismissal::EscapeKey:
        x().key("Escape");
        break;
    case Dismissal::WindowClosed:
        x().close_window(dialog);
        break;
    }
    ASSERT_TRUE(result_dialog_gone());
    EXPECT_EQ(rows().size(), 2u);
    quit();
    EXPECT_EQ(saved_entries(), (std::vector<std::string>{"First=first-wm", "Second=second-wm"}));
    EXPECT_EQ(saved_default(), "1");
}

std::string dismissal_name(const ::testing::TestParamInfo<Dismissal> &info) {
    const char *const names[] = {"CancelButton", "EscapeKey", "WindowClosed"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Ways, DismissE2e,
                         ::testing::Values(Dismissal::CancelButton, Dismissal::EscapeKey,
                                           Dismissal::WindowClosed),
                         dismissal_name);

// Some twenty rows, most with long descriptions: the dialog opens over the
// main window, large enough to show every row whole; Add selects the first
// row added, in sight at the end of a long list.
TEST_F(SearchE2e, TheDialogShowsEveryRowWholeOverTheMainWindow) {
    std::vector<std::string> found = fill(X11::LinkToUsrBin);
    for (int i = 10; i < 24; ++i) {
        const std::string program = "/usr/local/bin/session-wm" + std::to_string(i);
        const std::string name =
            "A session whose description is rather long, number " + std::to_string(i);
        folders_.program(program);
        write_file(path_of("share/xsessions/s" + std::to_string(i) + ".desktop"),
                   "[Desktop Entry]\nName=" + name + "\nExec=" + program + "\n");
    }
    if (!mount_layers())
        GTEST_SKIP() << why_not_;
    std::vector<std::string> names;
    for (int i = 0; i < 30; ++i)
        names.push_back("Row" + std::to_string(100 + i));
    const Window dialog = search_with_rows(names, 0);
    ASSERT_NE(dialog, 0u) << err();
    const size_t offered = found.size() + 14;
    std::vector<ShownRow> shown;
    ASSERT_TRUE(wait_for([&] { return (shown = rows_of(RESULT_TITLE)).size() == offered; }))
        << shown.size() << " rows";
    const Area window = window_area(x(), dialog);
    const Area over = window_area(x(), main_);
    EXPECT_LE(std::abs(window.centre_x() - over.centre_x()), 1);
    EXPECT_LE(std::abs(window.y + window.height / 2 - (over.y + over.height / 2)), 1);
    for (const ShownRow &row : shown) {
        EXPECT_TRUE(row.showing) << row.description << " is out of sight";
        EXPECT_LE(row.cells.back().x + row.cells.back().width, window.x + window.width)
            << row.description << " is cut";
    }
    ASSERT_TRUE(x().wait_for_focus(dialog));
    x().key("Return");
    ASSERT_TRUE(result_dialog_gone());
    EXPECT_TRUE(wait_for([&] {
        const std::vector<ShownRow> list = rows();
        return list.size() == 30 + offered && list[30].selected && list[30].showing;
    })) << "the first row added is not the selected one in sight";
    quit();
}

} // namespace
