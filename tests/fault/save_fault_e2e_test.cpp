// SPDX-License-Identifier: GPL-2.0-or-later
// The real program, with one system call of its save made to fail, keeps the
// old file byte for byte, leaves nothing beside it, says so and quits as
// usual; a failed fork in go-back mode is reported and leaves the list usable.
#include "e2e/e2e_fixture.h"
#include "fault/fault_env.h"

#include "support/wait.h"
#include "wmlist/config_texts.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>

namespace {

// Written by hand, shorter than what the program writes back, so that the
// save must grow the file.
const char OLD_TEXT[] = "First=first-wm\nSecond=second-wm\ndelay:0\ndefault_wm:1\n";
const std::string NEW_TEXT = std::string(HEADER) +
                             "First=first-wm\nSecond=second-wm\n"
                             "delay:0.000000\nrestart_quorvane:0\ndefault_wm:1\ngoback_btn:3\n";
// Writes of at most this many bytes, so that the new text takes three.
constexpr size_t WRITE_MAX = 64;
constexpr size_t NEW_TEXT_WRITES = 3;

enum class Path { Rename, InPlace };
enum class Outcome { OldKept, NewSaved };

struct FaultCase {
    const char *name;
    Path path;
    Fault fault;
    Outcome outcome;
};

// The new text goes to a temporary beside the file, which is renamed over it;
// with a second hard link the file is rewritten in place instead.
const FaultCase FAULT_CASES[] = {
    {"NothingFails", Path::Rename, {}, Outcome::NewSaved},
    {"OpenTemporaryNoSpace", Path::Rename, {"open-create", 1, "ENOSPC"}, Outcome::OldKept},
    {"OpenTemporaryQuota", Path::Rename, {"open-create", 1, "EDQUOT"}, Outcome::OldKept},
    {"Fchown", Path::Rename, {"fchown", 1, "EIO"}, Outcome::OldKept},
    {"Fchmod", Path::Rename, {"fchmod", 1, "EIO"}, Outcome::OldKept},
    {"FirstWrite", Path::Rename, {"write", 1, "ENOSPC"}, Outcome::OldKept},
    {"SecondWrite", Path::Rename, {"write", 2, "EDQUOT"}, Outcome::OldKept},
    {"LastWrite", Path::Rename, {"write", 3, "EIO"}, Outcome::OldKept},
    {"FileFsync", Path::Rename, {"fsync", 1, "EIO"}, Outcome::OldKept},
    {"FileFsyncNoSpace", Path::Rename, {"fsync", 1, "ENOSPC"}, Outcome::OldKept},
    // Made without a name where the file system allows, it gets one when complete.
    {"NameTemporary", Path::Rename, {"link", 1, "EIO"}, Outcome::OldKept},
    {"NameTemporaryNoSpace", Path::Rename, {"link", 1, "ENOSPC"}, Outcome::OldKept},
    {"Close", Path::Rename, {"close", 1, "EIO"}, Outcome::OldKept},
    {"CloseQuota", Path::Rename, {"close", 1, "EDQUOT"}, Outcome::OldKept},
    {"Rename", Path::Rename, {"rename", 1, "EIO"}, Outcome::OldKept},
    {"RenameQuota", Path::Rename, {"rename", 1, "EDQUOT"}, Outcome::OldKept},
    {"FolderFsync", Path::Rename, {"fsync-folder", 1, "EIO"}, Outcome::OldKept},
    // Owner or mode given to the new file without effect, as some file
    // systems do: the save sees that it did not take and writes in place.
    {"FchownWithoutEffect", Path::Rename, {"fchown", 1, "EIO", "no-effect"}, Outcome::NewSaved},
    {"FchmodWithoutEffect", Path::Rename, {"fchmod", 1, "EIO", "no-effect"}, Outcome::NewSaved},
    // Cut short by a signal: the save goes on.
    {"WriteInterrupted", Path::Rename, {"write", 2, "EINTR"}, Outcome::NewSaved},
    {"FsyncInterrupted", Path::Rename, {"fsync", 1, "EINTR"}, Outcome::NewSaved},
    {"CloseInterrupted", Path::Rename, {"close", 1, "EINTR"}, Outcome::NewSaved},
    // In place, the old bytes are put back.
    {"InPlaceNothingFails", Path::InPlace, {}, Outcome::NewSaved},
    {"InPlaceReserve", Path::InPlace, {"fallocate", 1, "ENOSPC"}, Outcome::OldKept},
    {"InPlaceReserveQuota", Path::InPlace, {"fallocate", 1, "EDQUOT"}, Outcome::OldKept},
    {"InPlaceSeek", Path::InPlace, {"lseek", 1, "EIO"}, Outcome::OldKept},
    {"InPlaceFirstWrite", Path::InPlace, {"write", 1, "EIO"}, Outcome::OldKept},
    {"InPlaceLastWrite", Path::InPlace, {"write", 3, "ENOSPC"}, Outcome::OldKept},
    {"InPlaceTruncate", Path::InPlace, {"ftruncate", 1, "EIO"}, Outcome::OldKept},
    {"InPlaceFsync", Path::InPlace, {"fsync", 1, "EIO"}, Outcome::OldKept},
    {"InPlaceWriteInterrupted", Path::InPlace, {"write", 2, "EINTR"}, Outcome::NewSaved},
};

void PrintTo(const FaultCase &c, std::ostream *os) {
    *os << c.name;
}

// The file rc in a folder of its own, where the injector strikes.
class SaveFolderE2e : public QuorvaneE2e {
  protected:
    std::string folder() const { return path_of("conf"); }
    std::string file() const { return folder() + "/rc"; }
    std::string log() const { return path_of("fault.log"); }
};

class SaveFaultE2e : public SaveFolderE2e, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SaveFaultE2e, OneFailingCallKeepsTheOldFile) {
    const FaultCase &c = GetParam();
    const bool fchown_case = std::string(c.fault.call) == "fchown";
    if (fchown_case && geteuid() != 0)
        GTEST_SKIP() << "needs root, for a file of another owner that the save hands back";
    ASSERT_EQ(mkdir(folder().c_str(), 0700), 0);
    write_file(file(), OLD_TEXT);
    ASSERT_EQ(chmod(file().c_str(), 0640), 0);
    // As root, a file of another owner makes the save give it back with fchown.
    const struct passwd *nobody = getpwnam("nobody");
    if (geteuid() == 0 && nobody != nullptr) {
        ASSERT_EQ(chown(file().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    if (c.path == Path::InPlace) {
        ASSERT_EQ(link(file().c_str(), (folder() + "/second-name").c_str()), 0);
    }
    struct stat before = {};
    ASSERT_EQ(stat(file().c_str(), &before), 0);
    const std::set<std::string> names = list_folder(folder());

    start({"-c", file()}, fault_env(c.fault, folder(), log(), WRITE_MAX));
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();

    if (c.fault.call[0] != '\0') {
        const std::string struck =
            std::string(c.fault.action) == "no-effect" ? "no-effect " : "fail ";
        EXPECT_EQ(calls_logged(log(), struck + c.fault.call), 1u) << "the fault never struck:\n"
                                                                  << read_file(log());
    } else {
        EXPECT_EQ(calls_logged(log(), "write"), NEW_TEXT_WRITES) << read_file(log());
    }
    const bool kept = c.outcome == Outcome::OldKept;
    EXPECT_EQ(read_file(file()), kept ? OLD_TEXT : NEW_TEXT);
    EXPECT_EQ(list_folder(folder()), names) << "a file was left beside it";
    EXPECT_EQ(logged_warning(err(), WRITE_WARNING), kept) << err();
    struct stat after = {};
    ASSERT_EQ(stat(file().c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    if (c.path == Path::InPlace) {
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(read_file(folder() + "/second-name"), read_file(file()));
    }
}

INSTANTIATE_TEST_SUITE_P(Calls, SaveFaultE2e, ::testing::ValuesIn(FAULT_CASES),
                         [](const ::testing::TestParamInfo<FaultCase> &param) {
                             return std::string(param.param.name);
                         });

enum class Edit { Written, Replaced, Removed };

struct EditCase {
    const char *name;
    Path path;
    // Where the save is stopped for the edit: just before its new file takes
    // the file's place, or, in place, before it locks the file and looks.
    const char *stop_before;
    Edit edit;
    bool as_user; // the program runs as nobody, who owns the file
};

const EditCase EDIT_CASES[] = {
    {"WrittenBeforeTheRename", Path::Rename, "rename", Edit::Written, false},
    {"ReplacedBeforeTheRename", Path::Rename, "rename", Edit::Replaced, false},
    {"RemovedBeforeTheRename", Path::Rename, "rename", Edit::Removed, false},
    {"WrittenBeforeTheLock", Path::InPlace, "flock", Edit::Written, false},
    {"ReplacedBeforeTheLock", Path::InPlace, "flock", Edit::Replaced, false},
    {"WrittenBeforeTheRenameAsUser", Path::Rename, "rename", Edit::Written, true},
    {"ReplacedBeforeTheRenameAsUser", Path::Rename, "rename", Edit::Replaced, true},
    {"RemovedBeforeTheRenameAsUser", Path::Rename, "rename", Edit::Removed, true},
    {"WrittenBeforeTheLockAsUser", Path::InPlace, "flock", Edit::Written, true},
};

void PrintTo(const EditCase &c, std::ostream *os) {
    *os << c.name;
}

class EditAtTheSaveE2e : public SaveFolderE2e, public ::testing::WithParamInterface<EditCase> {};

// Another program's edit that lands at the last moment of a save stays: the
// save finds it, leaves the file as the other program made it, says so as
// for any refused save, and leaves nothing beside it.
TEST_P(EditAtTheSaveE2e, AnotherProgramsEditStays) {
    const EditCase &c = GetParam();
    const std::string theirs = "Theirs=their-wm\n";
    ASSERT_EQ(mkdir(folder().c_str(), 0700), 0);
    write_file(file(), OLD_TEXT);
    if (c.path == Path::InPlace) {
        ASSERT_EQ(link(file().c_str(), (folder() + "/second-name").c_str()), 0);
    }
    std::map<std::string, std::string> env =
        fault_env({c.stop_before, 1, "EIO", "stop-before"}, folder(), log());
    if (c.as_user) {
        const struct passwd *nobody = getpwnam("nobody");
        if (geteuid() != 0 || nobody == nullptr)
            GTEST_SKIP() << "needs root, to run the program as nobody";
        const uid_t uid = nobody->pw_uid;
        const gid_t gid = nobody->pw_gid;
        write_file(log(), "");
        ASSERT_EQ(chmod(tmp_.path().c_str(), 0755), 0);
        for (const std::string &path : {home(), folder(), file(), log()})
            ASSERT_EQ(chown(path.c_str(), uid, gid), 0) << path;
        // setpriv would drop the injector before it reaches the program.
        run_through({"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--init-groups",
                     "/usr/bin/env", "LD_PRELOAD=" + env["LD_PRELOAD"]});
        env.erase("LD_PRELOAD");
    }

    start({"-c", file()}, env);
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    x().close_window(window);
    ASSERT_TRUE(wait_for([&] { return process_state(app().pid()) == 'T'; })) << err();
    if (c.edit == Edit::Written) {
        write_file(file(), theirs);
    } else if (c.edit == Edit::Replaced) {
        write_file(folder() + "/theirs", theirs);
        ASSERT_EQ(rename((folder() + "/theirs").c_str(), file().c_str()), 0);
    } else {
        ASSERT_EQ(unlink(file().c_str()), 0);
    }
    std::set<std::string> names = list_folder(folder());
    kill(app().pid(), SIGCONT);
    EXPECT_EQ(exit_code(), 0) << err();

    EXPECT_EQ(calls_logged(log(), std::string("stop ") + c.stop_before), 1u) << read_file(log());
    EXPECT_TRUE(logged_warning(err(), CHANGED_WARNING)) << err();
    if (c.edit != Edit::Removed) {
        EXPECT_EQ(read_file(file()), theirs);
    }
    if (c.path == Path::InPlace) {
        EXPECT_EQ(read_file(folder() + "/second-name"),
                  c.edit == Edit::Written ? theirs : std::string(OLD_TEXT));
    }
    // The stopped save's temporary, if it has a name yet, goes.
    names.erase(std::find_if(names.begin(), names.end(),
                             [](const std::string &name) { return name.rfind("rc.", 0) == 0; }),
                names.end());
    EXPECT_EQ(list_folder(folder()), names);
}

INSTANTIATE_TEST_SUITE_P(Edits, EditAtTheSaveE2e, ::testing::ValuesIn(EDIT_CASES),
                         [](const ::testing::TestParamInfo<EditCase> &param) {
                             return std::string(param.param.name);
                         });

// The folder cannot be synced, and the old file cannot be put back either:
// the new text stays, nothing is left beside it, and the log says both.
TEST_F(SaveFaultE2e, OldFileThatCannotGoBackIsReported) {
    ASSERT_EQ(mkdir(folder().c_str(), 0700), 0);
    write_file(file(), OLD_TEXT);

    start({"-c", file()}, fault_env({"fsync-folder,rename:2"}, folder(), log()));
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();

    EXPECT_EQ(calls_logged(log(), "fail fsync-folder"), 1u) << read_file(log());
    EXPECT_EQ(calls_logged(log(), "fail rename"), 1u) << read_file(log());
    EXPECT_EQ(read_file(file()), NEW_TEXT);
    EXPECT_EQ(list_folder(folder()), std::set<std::string>{"rc"});
    EXPECT_TRUE(logged_warning(err(), "could not put the old file back: ")) << err();
    EXPECT_TRUE(logged_warning(err(), WRITE_WARNING)) << err();
}

// Out of memory for a long line, reading stops there: the list shows what
// came before it, nothing starts by itself though the delay was read, and no
// save writes over what was never read.
TEST_F(SaveFaultE2e, OutOfMemoryForALineLeavesTheFileUnwritten) {
    ASSERT_EQ(mkdir(folder().c_str(), 0700), 0);
    install_fake_wm("first-wm");
    const std::string text = "First=first-wm\nSecond=second-wm\ndelay:0.2\n" +
                             std::string(100000, 'x') + "\nThird=third-wm\ndefault_wm:2\n";
    write_file(file(), text);

    start({"-c", file()}, fault_env({"getline", 4, "ENOMEM"}, folder(), log()));
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();
    // A countdown of 0.2 s would have started the first entry by now.
    EXPECT_FALSE(wait_for([&] { return file_exists(wm_log_path()); }, std::chrono::seconds(1)));
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();

    EXPECT_EQ(calls_logged(log(), "fail getline"), 1u) << read_file(log());
    EXPECT_EQ(read_file(file()), text);
    EXPECT_EQ(list_folder(folder()), std::set<std::string>{"rc"});
    EXPECT_TRUE(logged_warning(err(), READ_WARNING)) << err();
    EXPECT_TRUE(logged_warning(err(), std::string(WRITE_WARNING) +
                                          ": it could not be read in full at start-up "
                                          "\\(Cannot allocate memory\\)"))
        << err();
}

bool locale_exists(const char *name) {
    const std::string saved = setlocale(LC_ALL, nullptr);
    const bool found = setlocale(LC_ALL, name) != nullptr;
    setlocale(LC_ALL, saved.c_str());
    return found;
}

// Two instances save one file in place at the same moment: the second is
// held right before it locks the file, then the first part-way through its
// writes. The second waits for the first to finish, so their writes never
// mix, and then finds the file changed by another program (the first): it
// leaves the first's whole text as it is.
TEST_F(SaveFaultE2e, TwoInstancesSavingInPlaceNeverInterleave) {
    // The decimal comma of a German locale makes the two texts differ.
    if (!locale_exists("de_DE.UTF-8"))
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not generated (scripts/test does)";
    ASSERT_EQ(mkdir(folder().c_str(), 0700), 0);
    write_file(file(), OLD_TEXT);
    ASSERT_EQ(link(file().c_str(), (folder() + "/second-name").c_str()), 0);

    auto env =
        fault_env({"write", 1, "EIO", "stop-after"}, folder(), path_of("first.log"), WRITE_MAX);
    env["LANG"] = "de_DE.UTF-8";
    start({"-c", file()}, env);
    const Window first_window = main_window();
    ASSERT_NE(first_window, 0u) << err();
    const std::unique_ptr<Process> first = std::move(app_);
    start({"-c", file()},
          fault_env({"flock", 1, "EIO", "stop-before"}, folder(), path_of("second.log")));
    Window second_window = 0;
    ASSERT_TRUE(wait_for([&] {
        for (const Window window : x().windows_titled(MAIN_TITLE))
            if (window != first_window && x().is_viewable(window))
                second_window = window;
        return second_window != 0;
    })) << err();

    x().close_window(second_window);
    ASSERT_TRUE(wait_for([&] { return process_state(app().pid()) == 'T' || !app().running(); }));
    x().close_window(first_window);
    ASSERT_TRUE(wait_for([&] { return process_state(first->pid()) == 'T'; }));
    kill(app().pid(), SIGCONT);
    // A second try at the lock: the first found it held.
    ASSERT_TRUE(wait_for([&] { return calls_logged(path_of("second.log"), "flock") >= 2; }))
        << read_file(path_of("second.log"));
    kill(first->pid(), SIGCONT);
    const std::optional<int> first_status = first->wait_exit(std::chrono::seconds(15));
    EXPECT_TRUE(first_status && WIFEXITED(*first_status) && WEXITSTATUS(*first_status) == 0);
    EXPECT_EQ(exit_code(), 0) << err();

    std::string first_text = NEW_TEXT;
    first_text.replace(first_text.find("delay:0.0"), 9, "delay:0,0");
    EXPECT_EQ(read_file(file()), first_text);
    EXPECT_TRUE(logged_warning(err(), CHANGED_WARNING)) << err();
    EXPECT_EQ(list_folder(folder()), (std::set<std::string>{"rc", "second-name"}));
}

class ForkFaultE2e : public QuorvaneE2e {
  protected:
    bool wm_started() { return file_exists(wm_log_path()) && count_of(wm_log(), "started\n") > 0; }
};

TEST_F(ForkFaultE2e, FailedForkIsReportedAndTheNextLaunchWorks) {
    install_fake_wm("fake-wm");
    write_config({"Fake WM=fake-wm"}, 0, 1);
    start({}, fault_env({"fork", 1, "EAGAIN"}, "", path_of("fault.log")));
    const Window window = main_window();
    ASSERT_NE(window, 0u) << err();

    ASSERT_TRUE(x().wait_for_focus(window));
    x().key("Return");
    const Window box = wait_for_dialog();
    ASSERT_NE(box, 0u) << err();
    EXPECT_EQ(calls_logged(path_of("fault.log"), "fail fork"), 1u);
    EXPECT_TRUE(logged_warning(err(), "Cannot start \"fake-wm\" \\(Fake WM\\)\n")) << err();
    EXPECT_TRUE(x().is_viewable(window));
    EXPECT_FALSE(wm_started());
    x().close_window(box);
    ASSERT_TRUE(wait_for([&] { return x().mapped_windows_of_type("DIALOG").empty(); }));

    ASSERT_TRUE(x().wait_for_focus(window));
    x().key("Return");
    ASSERT_TRUE(wait_for([&] { return wm_started(); })) << err();
    ASSERT_TRUE(wait_for([&] { return x().is_viewable(window); })) << err();
    EXPECT_EQ(count_of(err(), "Cannot start"), 1u) << err();
    EXPECT_TRUE(x().mapped_windows_of_type("DIALOG").empty());
    x().close_window(window);
    EXPECT_EQ(exit_code(), 0) << err();
}

} // namespace
