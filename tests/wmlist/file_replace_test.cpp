// SPDX-License-Identifier: GPL-2.0-or-later
#include "wmlist/file_replace.h"

#include "support/private_mounts.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// The test links with --wrap for these calls, so the code under test reaches
// them through the injector below.
extern "C" {
ssize_t __real_write(int fd, const void *data, size_t size);
int __real_fsync(int fd);
int __real_rename(const char *from, const char *to);
int __real_renameat2(int from_at, const char *from, int to_at, const char *to, unsigned flags);
int __real_close(int fd);
int __real_ftruncate(int fd, off_t size);
mode_t __real_umask(mode_t mask);
int __real_open(const char *path, int flags, ...);
}

namespace {

struct Faults {
    bool active = false;
    int write_errno = 0;      // the failure of the write after the good ones
    int good_writes = 0;      // writes that succeed before write_errno strikes
    int bad_writes = 0;       // writes that fail then (0: all that follow)
    bool interrupt = false;   // every other write is cut short by a signal
    size_t max_write = 0;     // writes take at most this many bytes (0: all)
    int file_fsync_errno = 0; // fsync of a regular file fails
    int folder_fsync_errno = 0;
    int rename_errno = 0;     // of a rename, an exchange among them
    bool no_exchange = false; // as a file system that cannot exchange two names
    // Another program at work just before a file is renamed into place.
    std::function<void()> before_rename;
    int close_errno = 0; // close closes, then reports this
    int ftruncate_errno = 0;
    bool no_unnamed_files = false; // as a file system without O_TMPFILE
    int folder_open_errno = 0;     // an open of a folder fails with this...
    int good_folder_opens = 0;     // ...after these succeed
    // Just before the file is opened with these flags (O_RDWR, say), a pipe
    // takes its place, as another program racing the save could do.
    const char *pipe_at = nullptr;
    int pipe_before_open = 0;
    int writes = 0;
    int folder_opens = 0;
    bool interrupted_last = false;
};

Faults faults;

bool is_folder(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

extern "C" {
ssize_t __wrap_write(int fd, const void *data, size_t size) {
    if (!faults.active)
        return __real_write(fd, data, size);
    if (faults.interrupt && !faults.interrupted_last) {
        faults.interrupted_last = true;
        errno = EINTR;
        return -1;
    }
    faults.interrupted_last = false;
    if (faults.write_errno != 0 && faults.writes >= faults.good_writes &&
        (faults.bad_writes == 0 || faults.writes < faults.good_writes + faults.bad_writes)) {
        ++faults.writes;
        errno = faults.write_errno;
        return -1;
    }
    ++faults.writes;
    if (faults.max_write != 0)
        size = std::min(size, faults.max_write);
    return __real_write(fd, data, size);
}

int __wrap_fsync(int fd) {
    if (faults.active) {
        const int injected = is_folder(fd) ? faults.folder_fsync_errno : faults.file_fsync_errno;
        if (injected != 0) {
            errno = injected;
            return -1;
        }
    }
    return __real_fsync(fd);
}

// Whether the rename may go on; the other program's work is done once.
bool rename_goes_on() {
    if (!faults.active)
        return true;
    if (faults.before_rename)
        std::exchange(faults.before_rename, nullptr)();
    errno = faults.rename_errno;
    return errno == 0;
}

int __wrap_rename(const char *from, const char *to) {
    return rename_goes_on() ? __real_rename(from, to) : -1;
}

int __wrap_renameat2(int from_at, const char *from, int to_at, const char *to, unsigned flags) {
    if (faults.active && faults.no_exchange && flags != 0) {
        errno = EINVAL;
        return -1;
    }
    return rename_goes_on() ? __real_renameat2(from_at, from, to_at, to, flags) : -1;
}

int __wrap_ftruncate(int fd, off_t size) {
    if (faults.active && faults.ftruncate_errno != 0) {
        errno = faults.ftruncate_errno;
        return -1;
    }
    return __real_ftruncate(fd, size);
}

int __wrap_open(const char *path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    if (faults.active && faults.no_unnamed_files && (flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    if (faults.active && (flags & O_TMPFILE) == O_DIRECTORY && faults.folder_open_errno != 0 &&
        faults.folder_opens++ >= faults.good_folder_opens) {
        errno = faults.folder_open_errno;
        return -1;
    }
    if (faults.active && faults.pipe_at != nullptr && strcmp(path, faults.pipe_at) == 0 &&
        (flags & O_ACCMODE) == faults.pipe_before_open) {
        unlink(path);
        mkfifo(path, 0600);
        faults.pipe_at = nullptr;
    }
    return __real_open(path, flags, mode);
}

// A fortified build opens through this where it cannot tell that no mode is due.
int __wrap___open_2(const char *path, int flags) {
    return __wrap_open(path, flags);
}

// Changing the umask, even for a moment, would let files made meanwhile by
// any other thread escape it.
int umask_calls = 0;
mode_t __wrap_umask(mode_t mask) {
    ++umask_calls;
    return __real_umask(mask);
}

int __wrap_close(int fd) {
    const int result = __real_close(fd);
    if (faults.active && faults.close_errno != 0 && result == 0) {
        errno = faults.close_errno;
        return -1;
    }
    return result;
}
}

namespace {

// Faults apply to the calls made while one of these lives.
class FaultScope {
  public:
    explicit FaultScope(const Faults &plan) {
        faults = plan;
        faults.active = true;
    }
    ~FaultScope() { faults = Faults{}; }
};

Faults plan_of(const std::function<void(Faults &)> &set) {
    Faults plan;
    set(plan);
    return plan;
}

ino_t inode_of(const std::string &path) {
    struct stat info;
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_ino;
}

std::string link_of(const std::string &path) {
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    return n < 0 ? "(not a link)" : std::string(target, static_cast<size_t>(n));
}

// 0, or the errno of the failure.
int replace(const std::string &path, const std::string &bytes, int lock_wait_ms = kSaveLockWaitMs) {
    return replace_file_contents(path.c_str(), bytes.data(), bytes.size(), nullptr, lock_wait_ms);
}

const std::string kOld = "old=contents that must survive\ndelay:15.000000\n";
const std::string kNew = "new=the list as it is now, long enough to take several short writes\n";

class ReplaceTest : public ::testing::Test {
  protected:
    std::string file() const { return tmp.file("rc"); }
    TempDir tmp;
};

TEST_F(ReplaceTest, NewFileGetsTheUsualModeLessTheUmask) {
    for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}}) {
        SCOPED_TRACE(mask);
        const std::string path = tmp.file("new" + std::to_string(mask));
        const mode_t old_mask = umask(mask);
        const int calls_before = umask_calls;
        const int error = replace(path, kNew);
        EXPECT_EQ(umask_calls, calls_before) << "the umask was changed";
        umask(old_mask);
        ASSERT_EQ(error, 0) << strerror(error);
        EXPECT_EQ(read_file(path), kNew);
        EXPECT_EQ(mode_of(path), 0666 & ~mask);
    }
    EXPECT_EQ(list_folder(tmp.path()), (std::set<std::string>{"new2", "new18", "new63"}));
}

TEST_F(ReplaceTest, ExistingFileKeepsItsModeAndIsReplacedWhole) {
    for (const mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0755}, mode_t{0444}}) {
        SCOPED_TRACE(mode);
        // Only root may write a read-only file; anyone else's save refuses it.
        if (mode == 0444 && geteuid() != 0)
            continue;
        write_file(file(), kOld + kOld);
        ASSERT_EQ(chmod(file().c_str(), mode), 0);
        const ino_t before = inode_of(file());
        ASSERT_EQ(replace(file(), kNew), 0);
        EXPECT_EQ(read_file(file()), kNew);
        EXPECT_EQ(mode_of(file()), mode);
        EXPECT_NE(inode_of(file()), before) << "not replaced by a new file";
        EXPECT_EQ(list_folder(tmp.path()), std::set<std::string>{"rc"});
    }
}

TEST_F(ReplaceTest, ChainOfRelativeLinksStaysAndItsFileIsReplaced) {
    // home/.rc -> ../dots/link -> rc (each relative to its own folder)
    ASSERT_EQ(mkdir(tmp.file("home").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(tmp.file("dots").c_str(), 0700), 0);
    write_file(tmp.file("dots/rc"), kOld + kOld + kOld);
    ASSERT_EQ(chmod(tmp.file("dots/rc").c_str(), 0600), 0);
    ASSERT_EQ(symlink("rc", tmp.file("dots/link").c_str()), 0);
    ASSERT_EQ(symlink("../dots/link", tmp.file("home/.rc").c_str()), 0);
    const ino_t before = inode_of(tmp.file("dots/rc"));

    ASSERT_EQ(replace(tmp.file("home/.rc"), kNew), 0);
    EXPECT_EQ(link_of(tmp.file("home/.rc")), "../dots/link");
    EXPECT_EQ(link_of(tmp.file("dots/link")), "rc");
    EXPECT_EQ(read_file(tmp.file("dots/rc")), kNew);
    EXPECT_NE(inode_of(tmp.file("dots/rc")), before) << "not replaced by a new file";
    EXPECT_EQ(mode_of(tmp.file("dots/rc")), 0600u);
    EXPECT_EQ(list_folder(tmp.file("home")), std::set<std::string>{".rc"});
    EXPECT_EQ(list_folder(tmp.file("dots")), (std::set<std::string>{"link", "rc"}));
}

TEST_F(ReplaceTest, LinkToAMissingFileCreatesThatFile) {
    ASSERT_EQ(symlink(tmp.file("real").c_str(), file().c_str()), 0);
    ASSERT_EQ(replace(file(), kNew), 0);
    EXPECT_EQ(link_of(file()), tmp.file("real"));
    EXPECT_EQ(read_file(tmp.file("real")), kNew);
}

TEST_F(ReplaceTest, LoopOfLinksFails) {
    ASSERT_EQ(symlink("b", tmp.file("a").c_str()), 0);
    ASSERT_EQ(symlink("a", tmp.file("b").c_str()), 0);
    EXPECT_EQ(replace(tmp.file("a"), kNew), ELOOP);
    EXPECT_EQ(list_folder(tmp.path()), (std::set<std::string>{"a", "b"}));
}

constexpr uid_t kNobody = 65534;

// Runs the check in a child that becomes nobody; its exit status: 0 when the
// check held.
int run_as_nobody(const std::function<bool()> &check) {
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0)
            _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Neither nobody nor root: another user of the machine.
constexpr uid_t kDaemon = 1;

// In a sticky, world-writable folder (/tmp, say) the save follows a link as
// the kernel's protected_symlinks would: only one that the user or the
// folder's owner owns. Another user could otherwise plant one there that
// makes the user's save write over a file of the user's own.
TEST_F(ReplaceTest, LinkInAStickyFolderIsFollowedOnlyWhereTheKernelWould) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to plant links of other users";
    const struct {
        const char *name;
        uid_t link_owner;
        uid_t folder_owner;
        mode_t folder_mode;
        bool followed;
    } cases[] = {
        {"planted by another user", kDaemon, 0, 01777, false},
        {"the user's own", kNobody, 0, 01777, true},
        {"the folder owner's", kDaemon, kDaemon, 01777, true},
        {"in a sticky folder only its owner writes", kDaemon, 0, 01755, true},
        {"in a world-writable folder without the sticky bit", kDaemon, 0, 0777, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir outer;
        ASSERT_EQ(chmod(outer.path().c_str(), 0755), 0);
        const std::string shared = outer.file("shared");
        const std::string own = outer.file("own");
        ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
        ASSERT_EQ(mkdir(own.c_str(), 0700), 0);
        write_file(own + "/precious", kOld);
        ASSERT_EQ(chown(own.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(chown((own + "/precious").c_str(), kNobody, kNobody), 0);
        const std::string link = shared + "/rc";
        ASSERT_EQ(symlink((own + "/precious").c_str(), link.c_str()), 0);
        ASSERT_EQ(lchown(link.c_str(), c.link_owner, c.link_owner), 0);
        ASSERT_EQ(chown(shared.c_str(), c.folder_owner, c.folder_owner), 0);
        ASSERT_EQ(chmod(shared.c_str(), c.folder_mode), 0);

        EXPECT_EQ(run_as_nobody([&] {
                      const int error = replace(link, kNew);
                      return error == (c.followed ? 0 : EACCES);
                  }),
                  0);
        EXPECT_EQ(read_file(own + "/precious"), c.followed ? kNew : kOld);
        EXPECT_EQ(link_of(link), own + "/precious");
        EXPECT_EQ(list_folder(own), std::set<std::string>{"precious"});
    }
}

// A pipe put in the file's place after its links were looked at, just before
// the one open of the file, is never written or waited on: the save fails at
// once, the pipe stays.
TEST_F(ReplaceTest, PipeSwappedInMeanwhileFailsTheSaveWithoutWaiting) {
    const struct {
        const char *name;
        bool in_place;
    } cases[] = {
        {"a file to be rewritten in place", true},
        {"a file to be replaced", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const std::string path = folder.file("rc");
        write_file(path, kOld);
        if (c.in_place) {
            ASSERT_EQ(link(path.c_str(), folder.file("other").c_str()), 0);
        }
        const pid_t child = fork();
        if (child == 0) {
            // The old save waited on the pipe for ever.
            alarm(10);
            int error;
            {
                FaultScope scope(plan_of([&](Faults &f) {
                    f.pipe_at = path.c_str();
                    f.pipe_before_open = O_RDWR;
                }));
                error = replace(path, kNew);
            }
            _exit(error == EINVAL ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        struct stat info = {};
        ASSERT_EQ(lstat(path.c_str(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
        EXPECT_EQ(list_folder(folder.path()), c.in_place ? (std::set<std::string>{"other", "rc"})
                                                         : std::set<std::string>{"rc"});
    }
}

TEST_F(ReplaceTest, HardLinkedFileIsRewrittenInPlace) {
    write_file(file(), kOld + kOld + kOld);
    ASSERT_EQ(link(file().c_str(), tmp.file("other").c_str()), 0);
    const ino_t before = inode_of(file());
    ASSERT_EQ(replace(file(), kNew), 0);
    EXPECT_EQ(inode_of(file()), before);
    EXPECT_EQ(read_file(tmp.file("other")), kNew) << "the longer old text must be cut";
    EXPECT_EQ(list_folder(tmp.path()), (std::set<std::string>{"other", "rc"}));
}

// A lock that is never let go fails the save after a bounded wait (the
// program's is five seconds; a tenth of one here), with the file as it was:
// hanging would keep the window manager from starting.
TEST_F(ReplaceTest, LockHeldByAnotherFailsTheInPlaceSaveInsteadOfHanging) {
    write_file(file(), kOld);
    ASSERT_EQ(link(file().c_str(), tmp.file("other").c_str()), 0);
    const int holder = open(file().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    EXPECT_EQ(replace(file(), kNew, 100), EWOULDBLOCK);
    close(holder);
    EXPECT_EQ(read_file(file()), kOld);
    EXPECT_EQ(list_folder(tmp.path()), (std::set<std::string>{"other", "rc"}));
}

struct UnusablePath {
    const char *name;
    std::function<std::string(const TempDir &)> make;
    int error;
};

TEST_F(ReplaceTest, UnusablePathFailsAndCreatesNothing) {
    const UnusablePath cases[] = {
        {"empty", [](const TempDir &) { return std::string(); }, ENOENT},
        {"missing folder", [](const TempDir &t) { return t.file("none/rc"); }, ENOENT},
        {"a folder", [](const TempDir &t) { return t.path(); }, EISDIR},
        {"link to a folder",
         [](const TempDir &t) {
             EXPECT_EQ(symlink(".", t.file("dirlink").c_str()), 0);
             return t.file("dirlink");
         },
         EISDIR},
    };
    for (const UnusablePath &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.make(tmp);
        const std::set<std::string> before = list_folder(tmp.path());
        EXPECT_EQ(replace(path, kNew), c.error);
        EXPECT_EQ(list_folder(tmp.path()), before);
    }
}

// A pipe or a device is never written, whether something reads it or not:
// the caller has no use for one, and a pipe without a reader would wait.
TEST_F(ReplaceTest, WhatIsNoRegularFileIsNeverWritten) {
    ASSERT_EQ(mkfifo(tmp.file("pipe").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(tmp.file("read pipe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/null", tmp.file("null").c_str()), 0);
    const int reader = open(tmp.file("read pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    for (const char *name : {"pipe", "read pipe", "null"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(replace(tmp.file(name), kNew), EINVAL);
    }
    char received[256] = {};
    EXPECT_EQ(read(reader, received, sizeof received), 0) << "the reader got something";
    close(reader);
    struct stat info;
    ASSERT_EQ(lstat(tmp.file("pipe").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(link_of(tmp.file("null")), "/dev/null");
    EXPECT_EQ(list_folder(tmp.path()), (std::set<std::string>{"null", "pipe", "read pipe"}));
}

// The ways of saving: by exchange with a temporary made without a name or,
// where the file system makes none, with one; by rename where it cannot
// exchange two names; and in place for a file with another name, where the
// old bytes must be put back.
enum Way { UNNAMED, NAMED, NO_EXCHANGE, IN_PLACE, WAYS };

const char *name_of(Way way) {
    static const char *const names[] = {", by exchange", ", by exchange of a named file",
                                        ", by rename", ", in place"};
    return names[way];
}

// What the file system of a way cannot do.
Faults on_way(Faults plan, Way way) {
    plan.no_unnamed_files = way == NAMED;
    plan.no_exchange = way == NO_EXCHANGE;
    return plan;
}

struct Fault {
    const char *name;
    Faults plan;
    // Whether the file holds the new text afterwards, for each way: a way
    // that makes a call it has no need of fails where it should not.
    bool replaced[WAYS];
};

TEST_F(ReplaceTest, FailureAtAnyStepLeavesTheOldFileAndNoTemporary) {
    // Each fault with whether the save succeeds {by exchange, named, by
    // rename, in place}.
    const Fault cases[] = {
        {"disk full at the first write",
         plan_of([](Faults &f) { f.write_errno = ENOSPC; }),
         {false, false, false, false}},
        // The old bytes go back where they were, which takes no new space.
        {"quota after some writes",
         plan_of([](Faults &f) {
             f.write_errno = EDQUOT;
             f.good_writes = 2;
             f.bad_writes = 1;
             f.max_write = 5;
         }),
         {false, false, false, false}},
        {"I/O error on write",
         plan_of([](Faults &f) {
             f.write_errno = EIO;
             f.bad_writes = 1;
         }),
         {false, false, false, false}},
        {"sync fails",
         plan_of([](Faults &f) { f.file_fsync_errno = EIO; }),
         {false, false, false, false}},
        // In place, the close comes after the sync, and nothing is renamed.
        {"close fails",
         plan_of([](Faults &f) { f.close_errno = EIO; }),
         {false, false, false, true}},
        {"rename fails",
         plan_of([](Faults &f) { f.rename_errno = EXDEV; }),
         {false, false, false, true}},
        // Only in place is the file shortened.
        {"shortening fails",
         plan_of([](Faults &f) { f.ftruncate_errno = EIO; }),
         {true, true, true, false}},
    };
    for (const Way way : {UNNAMED, NAMED, NO_EXCHANGE, IN_PLACE}) {
        const bool in_place = way == IN_PLACE;
        for (Fault c : cases) {
            SCOPED_TRACE(std::string(c.name) + name_of(way));
            // Longer than the new text, so that a missed shortening shows.
            const std::string old_text = kOld + kOld;
            write_file(file(), old_text);
            if (in_place) {
                ASSERT_EQ(link(file().c_str(), tmp.file("other").c_str()), 0);
            }
            ASSERT_EQ(chmod(file().c_str(), 0600), 0);
            const ino_t before = inode_of(file());
            bool replaced;
            {
                FaultScope scope(on_way(c.plan, way));
                replaced = replace(file(), kNew) == 0;
            }
            EXPECT_EQ(replaced, c.replaced[way]);
            EXPECT_EQ(read_file(file()), replaced ? kNew : old_text);
            EXPECT_EQ(inode_of(file()) == before, in_place || !replaced);
            EXPECT_EQ(mode_of(file()), 0600u);
            if (in_place) {
                EXPECT_EQ(list_folder(tmp.path()), (std::set<std::string>{"other", "rc"}));
                unlink(tmp.file("other").c_str());
            } else {
                EXPECT_EQ(list_folder(tmp.path()), std::set<std::string>{"rc"});
            }
        }
    }
}

// Another program's edit that lands after the caller looked at the file, or
// just as the new file takes the old one's place, stays: the save gives back
// kFileChanged and leaves the file as the other program made it, with nothing
// beside it. Where the file system cannot exchange two names, only an edit
// written into the file can still be told at that last moment; one made by
// rename or removal there is lost, as it would be to any rename.
TEST_F(ReplaceTest, AnotherProgramsEditMeanwhileStays) {
    const std::string theirs = "theirs=made by another program\n";
    enum Edit { WRITTEN, REPLACED, REMOVED, MADE };
    const auto edit = [&](Edit how) {
        if (how == WRITTEN || how == MADE) {
            write_file(file(), theirs);
        } else if (how == REPLACED) {
            write_file(tmp.file("theirs"), theirs);
            ASSERT_EQ(rename(tmp.file("theirs").c_str(), file().c_str()), 0);
        } else {
            ASSERT_EQ(unlink(file().c_str()), 0);
        }
    };
    const struct {
        const char *name;
        Edit edit;
        bool at_the_rename; // or before the save began
        std::vector<Way> ways;
    } cases[] = {
        {"written in place before", WRITTEN, false, {UNNAMED, NAMED, NO_EXCHANGE, IN_PLACE}},
        {"replaced before", REPLACED, false, {UNNAMED, NAMED, NO_EXCHANGE, IN_PLACE}},
        {"removed before", REMOVED, false, {UNNAMED, NAMED, NO_EXCHANGE, IN_PLACE}},
        {"made before", MADE, false, {UNNAMED, NAMED, NO_EXCHANGE}},
        {"written in place at the rename", WRITTEN, true, {UNNAMED, NAMED, NO_EXCHANGE}},
        {"replaced at the rename", REPLACED, true, {UNNAMED, NAMED}},
        {"removed at the rename", REMOVED, true, {UNNAMED, NAMED}},
        {"made at the rename", MADE, true, {UNNAMED, NAMED}},
    };
    for (const auto &c : cases) {
        for (const Way way : c.ways) {
            SCOPED_TRACE(std::string(c.name) + name_of(way));
            unlink(file().c_str());
            unlink(tmp.file("other").c_str());
            const bool existed = c.edit != MADE;
            if (existed)
                write_file(file(), kOld);
            if (way == IN_PLACE) {
                ASSERT_EQ(link(file().c_str(), tmp.file("other").c_str()), 0);
            }
            // What the caller last read or wrote: the old text, or no file.
            const FileCheck unchanged = [&](const std::string *bytes) {
                return existed ? bytes != nullptr && *bytes == kOld : bytes == nullptr;
            };
            Faults plan = on_way(Faults{}, way);
            if (c.at_the_rename)
                plan.before_rename = [&] { edit(c.edit); };
            else
                edit(c.edit);
            int error;
            {
                FaultScope scope(plan);
                error = replace_file_contents(file().c_str(), kNew.data(), kNew.size(), unchanged);
            }
            EXPECT_EQ(error, kFileChanged);
            std::set<std::string> names;
            if (c.edit != REMOVED) {
                EXPECT_EQ(read_file(file()), theirs);
                names.insert("rc");
            }
            if (way == IN_PLACE) {
                EXPECT_EQ(read_file(tmp.file("other")), c.edit == WRITTEN ? theirs : kOld);
                names.insert("other");
            }
            EXPECT_EQ(list_folder(tmp.path()), names);
        }
    }
}

// A file that was empty has no old bytes to write back when a save in place
// fails after writing, but the new ones must go all the same.
TEST_F(ReplaceTest, EmptyFileStaysEmptyWhenASaveInPlaceFails) {
    write_file(file(), "");
    ASSERT_EQ(link(file().c_str(), tmp.file("other").c_str()), 0);
    int error;
    {
        FaultScope scope(plan_of([](Faults &f) { f.file_fsync_errno = EIO; }));
        error = replace(file(), kNew);
    }
    EXPECT_EQ(error, EIO);
    EXPECT_EQ(read_file(file()), "");
}

TEST_F(ReplaceTest, InterruptedAndShortWritesAreCarriedOn) {
    write_file(file(), kOld);
    ASSERT_EQ(link(file().c_str(), tmp.file("other").c_str()), 0);
    for (const std::string &path : {file(), tmp.file("new")}) {
        SCOPED_TRACE(path);
        int error;
        {
            FaultScope scope(plan_of([](Faults &f) {
                f.interrupt = true;
                f.max_write = 3;
            }));
            error = replace(path, kNew);
        }
        EXPECT_EQ(error, 0) << strerror(error);
        EXPECT_EQ(read_file(path), kNew);
    }
    EXPECT_EQ(read_file(tmp.file("other")), kNew);
}

TEST_F(ReplaceTest, FolderSync) {
    // A file system that cannot sync folders still takes the file; a folder
    // sync that fails with an I/O error undoes the rename, so that a failure
    // reported means nothing changed.
    // A folder that cannot be opened cannot be synced either, which is no
    // success; it is opened first to look at its flags, then to sync it.
    const struct {
        const char *name;
        int error;
        bool opened; // false: the error is that of the open for the sync
        bool file_existed;
        bool reported_ok;
    } cases[] = {
        {"cannot sync folders", EINVAL, true, true, true},
        {"I/O error, old file put back", EIO, true, true, false},
        {"I/O error, new file taken away", EIO, true, false, false},
        {"cannot be opened, old file put back", EACCES, false, true, false},
        {"cannot be opened, new file taken away", EACCES, false, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        unlink(file().c_str());
        if (c.file_existed)
            write_file(file(), kOld);
        bool replaced;
        {
            FaultScope scope(plan_of([&](Faults &f) {
                if (c.opened) {
                    f.folder_fsync_errno = c.error;
                } else {
                    f.folder_open_errno = c.error;
                    f.good_folder_opens = 1;
                }
            }));
            replaced = replace(file(), kNew) == 0;
        }
        EXPECT_EQ(replaced, c.reported_ok);
        if (c.reported_ok || c.file_existed) {
            EXPECT_EQ(read_file(file()), c.reported_ok ? kNew : kOld);
            EXPECT_EQ(list_folder(tmp.path()), std::set<std::string>{"rc"});
        } else {
            EXPECT_TRUE(list_folder(tmp.path()).empty());
        }
    }
}

// Runs the check as a user for whom permissions count: as root, as nobody,
// who then owns the folder.
int run_unprivileged(const std::string &folder, const std::function<bool()> &check) {
    if (geteuid() != 0)
        return check() ? 0 : 1;
    EXPECT_EQ(chown(folder.c_str(), kNobody, kNobody), 0);
    return run_as_nobody(check);
}

TEST_F(ReplaceTest, FolderThatTakesNoNewFile) {
    const struct {
        const char *name;
        bool file_exists;
        mode_t file_mode;
        bool replaced;
    } cases[] = {
        {"writable file is rewritten in place", true, 0600, true},
        {"read-only file stays", true, 0400, false},
        {"missing file cannot be made", false, 0, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir outer;
        const std::string folder = outer.file("locked");
        const std::string path = folder + "/rc";
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        ASSERT_EQ(chmod(outer.path().c_str(), 0755), 0);
        if (c.file_exists) {
            write_file(path, kOld + kOld);
            ASSERT_EQ(chmod(path.c_str(), c.file_mode), 0);
            if (geteuid() == 0) {
                ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
            }
        }
        ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
        const std::string expected = c.replaced ? kNew : kOld + kOld;
        const int status = run_unprivileged(folder, [&] {
            const bool replaced = replace(path, kNew) == 0;
            return replaced == c.replaced && (!c.file_exists || read_file(path) == expected);
        });
        EXPECT_EQ(status, 0);
        EXPECT_EQ(list_folder(folder),
                  c.file_exists ? std::set<std::string>{"rc"} : std::set<std::string>{});
        if (c.file_exists) {
            EXPECT_EQ(read_file(path), expected);
        }
    }
}

TEST_F(ReplaceTest, FullDiskLeavesTheOldFileUntouched) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to mount a tiny tmpfs in a private mount namespace";
    if (unshare(CLONE_NEWNS) != 0)
        GTEST_SKIP() << "needs a private mount namespace: " << strerror(errno);
    ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0) << strerror(errno);
    // Several pages, so that the new text needs space the old one did not hold.
    const std::string big(3 * 4096, 'n');
    for (const bool in_place : {false, true}) {
        SCOPED_TRACE(in_place ? "in place" : "by rename");
        const std::string disk = tmp.file(in_place ? "disk2" : "disk1");
        ASSERT_EQ(mkdir(disk.c_str(), 0700), 0);
        ASSERT_EQ(mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=16k"), 0) << strerror(errno);
        const std::string path = disk + "/rc";
        write_file(path, kOld);
        if (in_place) {
            ASSERT_EQ(link(path.c_str(), (disk + "/other").c_str()), 0);
        }
        {
            // Fill what is left.
            const int fd = open((disk + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
            ASSERT_GE(fd, 0);
            const std::string block(1024, 'f');
            while (__real_write(fd, block.data(), block.size()) > 0) {
            }
            EXPECT_EQ(errno, ENOSPC);
            close(fd);
        }
        struct stat before;
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        EXPECT_EQ(replace(path, big), ENOSPC);
        EXPECT_EQ(read_file(path), kOld);
        struct stat after;
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        // The space is asked for first: not one byte of the file was written.
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        EXPECT_EQ(list_folder(disk), in_place ? (std::set<std::string>{"filler", "other", "rc"})
                                              : (std::set<std::string>{"filler", "rc"}));
        ASSERT_EQ(umount2(disk.c_str(), MNT_DETACH), 0);
    }
}

// The program ignores SIGXFSZ, so a write past the file-size limit fails
// with EFBIG like any other write, and is undone: in place only the bytes
// written are put back, which fit under the limit even where the old text
// did not.
TEST_F(ReplaceTest, FileSizeLimitLeavesTheOldText) {
    const struct {
        const char *name;
        bool in_place;
        size_t old_size;
    } cases[] = {
        {"by rename", false, 100},
        {"in place", true, 100},
        {"in place, the old text beyond the limit", true, 300},
    };
    const size_t limit = 200;
    const std::string new_text(250, 'n');
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const std::string path = folder.file("rc");
        const std::string old_text(c.old_size, 'o');
        write_file(path, old_text);
        if (c.in_place) {
            ASSERT_EQ(link(path.c_str(), folder.file("other").c_str()), 0);
        }
        const pid_t child = fork();
        if (child == 0) {
            // A warning that the old text could not go back fails the case.
            g_log_set_default_handler(
                [](const gchar *, GLogLevelFlags, const gchar *, gpointer) { _exit(3); }, nullptr);
            signal(SIGXFSZ, SIG_IGN);
            const struct rlimit small = {limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &small) != 0)
                _exit(2);
            _exit(replace(path, new_text) == EFBIG ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(read_file(path), old_text);
        EXPECT_EQ(list_folder(folder.path()), c.in_place ? (std::set<std::string>{"other", "rc"})
                                                         : std::set<std::string>{"rc"});
    }
}

// A small ext4 file system of its own, loop-mounted in a private mount
// namespace, for what only such a file system surely has: inode flags and
// append-only folders. Unmounted when the test ends; the test skips, with the
// reason, when it cannot be had.
class Ext4ReplaceTest : public ReplaceTest {
  protected:
    void SetUp() override {
        std::string why;
        if (!mount_disk(&why))
            GTEST_SKIP() << why;
    }
    ~Ext4ReplaceTest() override {
        if (!disk_.empty())
            umount2(disk_.c_str(), MNT_DETACH);
    }
    // Where the file system is mounted.
    const std::string &disk() const { return disk_; }

  private:
    bool mount_disk(std::string *why) {
        if (!enter_private_mount_namespace("mount an ext4 image", why))
            return false;
        const std::string image = tmp.file("ext4.img");
        const std::string point = tmp.file("disk");
        if (mkdir(point.c_str(), 0755) != 0 ||
            system(("mkfs.ext4 -q -F '" + image + "' 4M >/dev/null 2>&1").c_str()) != 0) {
            *why = "needs mkfs.ext4 (e2fsprogs), to make the image";
            return false;
        }
        if (system(("mount -o loop '" + image + "' '" + point + "' 2>/dev/null").c_str()) != 0) {
            *why = "needs loop devices, to mount the ext4 image";
            return false;
        }
        disk_ = point;
        return true;
    }

    std::string disk_;
};

int chattr(const std::string &flags, const std::string &path) {
    return system(("chattr " + flags + " '" + path + "'").c_str());
}

int inode_flags(const std::string &path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = -1;
    if (fd < 0 || ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
        flags = -1;
    if (fd >= 0)
        close(fd);
    return flags;
}

// A folder that lets names be added but never removed or replaced: a
// temporary named there would stay for good, so none is made. Nor is one
// where the folder's flags cannot be read (mode 0311: the user may not open
// it), which may be such a folder.
TEST_F(Ext4ReplaceTest, AppendOnlyFolderGetsNoTemporary) {
    const struct {
        const char *name;
        mode_t mode;
        bool as_nobody;
        bool new_file_saved; // a file that was not there
    } cases[] = {
        {"as its owner", 0700, false, true},
        // Its new name could not be synced: made, it would be a save reported
        // that might not survive a crash.
        {"that its owner may not read", 0311, true, false},
    };
    ASSERT_EQ(chmod(tmp.path().c_str(), 0755), 0);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = disk() + "/conf" + std::to_string(c.mode);
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        write_file(folder + "/rc", kOld);
        if (c.as_nobody) {
            ASSERT_EQ(chown((folder + "/rc").c_str(), kNobody, kNobody), 0);
            ASSERT_EQ(chown(folder.c_str(), kNobody, kNobody), 0);
        }
        // An append-only folder takes no new mode or owner.
        ASSERT_EQ(chmod(folder.c_str(), c.mode), 0);
        ASSERT_EQ(chattr("+a", folder), 0);
        const ino_t before = inode_of(folder + "/rc");
        const auto save = [&] {
            return replace(folder + "/rc", kNew) == 0 &&
                   (replace(folder + "/new", kNew) == 0) == c.new_file_saved;
        };
        if (c.as_nobody) {
            EXPECT_EQ(run_as_nobody(save), 0);
        } else {
            EXPECT_TRUE(save());
        }
        EXPECT_EQ(read_file(folder + "/rc"), kNew);
        EXPECT_EQ(inode_of(folder + "/rc"), before);
        EXPECT_EQ(list_folder(folder), c.new_file_saved ? (std::set<std::string>{"new", "rc"})
                                                        : std::set<std::string>{"rc"});
        if (c.new_file_saved) {
            EXPECT_EQ(read_file(folder + "/new"), kNew);
        }
        EXPECT_EQ(chattr("-a", folder), 0);
    }
}

// A file that is append-only or immutable itself cannot be written, so it
// is not saved at all, neither replaced nor rewritten in place.
TEST_F(Ext4ReplaceTest, AppendOnlyOrImmutableFileIsNeverSaved) {
    for (const std::string flag : {"a", "i"}) {
        SCOPED_TRACE(flag);
        const std::string folder = disk() + "/kept";
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        write_file(folder + "/rc", kOld);
        ASSERT_EQ(chattr("+" + flag, folder + "/rc"), 0);
        EXPECT_EQ(replace(folder + "/rc", kNew), EPERM);
        EXPECT_EQ(read_file(folder + "/rc"), kOld);
        EXPECT_EQ(list_folder(folder), std::set<std::string>{"rc"});
        ASSERT_EQ(chattr("-" + flag, folder + "/rc"), 0);
        ASSERT_EQ(system(("rm -rf '" + folder + "'").c_str()), 0);
    }
}

// The inode flags a user set on the file stay with it: the new file takes
// them, and none that the folder would hand a new file of its own.
TEST_F(Ext4ReplaceTest, InodeFlagsStay) {
    const struct {
        const char *name;
        const char *file_flags;
        const char *folder_flags; // set after the file was made
    } cases[] = {
        {"no dump, no atime, synchronous", "+d +A +S", "-d"},
        {"none, in a folder that gives new files some", "-d", "+d +A +S"},
        {"no dump, in such a folder", "+d", "+S"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = disk() + "/flags";
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        write_file(folder + "/rc", kOld);
        ASSERT_EQ(chattr(c.file_flags, folder + "/rc"), 0);
        ASSERT_EQ(chattr(c.folder_flags, folder), 0);
        const int before = inode_flags(folder + "/rc");
        ASSERT_NE(before, -1);
        EXPECT_EQ(replace(folder + "/rc", kNew), 0);
        EXPECT_EQ(read_file(folder + "/rc"), kNew);
        EXPECT_EQ(inode_flags(folder + "/rc"), before);
        EXPECT_EQ(list_folder(folder), std::set<std::string>{"rc"});
        ASSERT_EQ(system(("rm -rf '" + folder + "'").c_str()), 0);
    }
}

} // namespace
