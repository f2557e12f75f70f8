// SPDX-License-Identifier: GPL-2.0-or-later
// A save asks what writing the file itself would ask (may this user open it
// for writing?) and then does better than a plain write: the new text goes to
// a temporary beside the file, which is synced and exchanged with it, so that
// a failure or a crash at any step leaves the whole old text, and the old
// file, still named, can go back when another program turns out to have
// changed it. Where the new file would change what the file is (another
// owner, group or attribute, other hard links, a mount point, a folder that
// takes no new names or never lets one go), the file is rewritten in place
// instead, with the space reserved first and the old bytes put back if
// anything fails.
#include "wmlist/file_replace.h"

#include "app/glib_ptr.h"
#include "app/message.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <glib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace {

// As the kernel limits link chains, so do we.
constexpr int kMaxLinks = 40;
// Tries at a free temporary name before giving up.
constexpr int kMaxNameTries = 100;
constexpr char kNameLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kRandomLetters = 6;

// Every function here that can fail gives back the errno of the failure,
// kFileChanged, or 0; those that make the new file may give back this
// instead: the file cannot be replaced without changing what it is (its
// owner, group, mode, attributes or inode flags), or the folder takes no new
// name, so it is to be rewritten in place.
constexpr int kRewriteInPlace = -1;

// A descriptor, closed when it goes. Those closes go unchecked: they follow a
// failure, which is the one told, or a sync, after which a close that
// complains could not be undone anyway.
class Fd {
  public:
    Fd() = default;
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() {
        if (fd_ >= 0)
            close(fd_);
    }
    int get() const { return fd_; }
    // Gives the descriptor up, for a close whose result counts.
    int release() { return std::exchange(fd_, -1); }
    // Opens path here, where no descriptor is held yet; 0 or the errno.
    int open_at(const std::string &path, int flags, mode_t mode = 0) {
        fd_ = open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
        return fd_ < 0 ? errno : 0;
    }

  private:
    int fd_ = -1;
};

// The file to be replaced, found at the end of its links and opened once:
// its identity, attributes, flags and old text are all read through fd,
// which is -1 while there is no such file.
struct Target {
    std::string path;
    Fd fd;
    struct stat info = {};
    FileCheck unchanged; // the caller's, or none
};

bool exists(const Target &target) {
    return target.fd.get() >= 0;
}

// SIGCHLD is installed without SA_RESTART, so any of these calls may be cut
// short by a child ending. What was written before a failure is added to
// *done when given.
int write_all(int fd, const char *data, size_t size, size_t *done = nullptr) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        data += written;
        size -= static_cast<size_t>(written);
        if (done != nullptr)
            *done += static_cast<size_t>(written);
    }
    return 0;
}

// The whole file, from its start, whatever its offset.
int read_all(int fd, std::string *bytes) {
    bytes->clear();
    char buffer[8192];
    for (;;) {
        const ssize_t got = pread(fd, buffer, sizeof buffer, static_cast<off_t>(bytes->size()));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        bytes->append(buffer, static_cast<size_t>(got));
    }
}

int sync_fd(int fd) {
    while (fsync(fd) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

int truncate_fd(int fd, off_t size) {
    while (ftruncate(fd, size) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

std::string folder_of(const std::string &path) {
    GCharPtr folder(g_path_get_dirname(path.c_str()));
    return folder.get();
}

// The kernel's rule for links in a sticky, world-writable folder such as
// /tmp (fs.protected_symlinks): one is followed only when this user or the
// folder's owner owns it, so that another user cannot plant one there to make
// the save write a file of their choosing. Kept whatever the kernel is set to.
int check_link_may_be_followed(const std::string &link, const struct stat &link_info) {
    struct stat folder = {};
    if (stat(folder_of(link).c_str(), &folder) != 0)
        return errno;
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    if (shared && link_info.st_uid != geteuid() && link_info.st_uid != folder.st_uid)
        return EACCES;
    return 0;
}

// Follows the chain of links to the path of the file itself, which may not
// exist yet. Relative targets are taken from the folder of their link.
int resolve_links(const std::string &path, std::string *target, struct stat *info, bool *exists) {
    std::string current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        if (lstat(current.c_str(), info) != 0) {
            if (errno != ENOENT)
                return errno;
            *target = current;
            *exists = false;
            return 0;
        }
        if (!S_ISLNK(info->st_mode)) {
            *target = current;
            *exists = true;
            return 0;
        }
        if (const int refused = check_link_may_be_followed(current, *info))
            return refused;
        GCharPtr link(g_file_read_link(current.c_str(), nullptr));
        if (!link)
            return errno != 0 ? errno : EIO;
        if (g_path_is_absolute(link.get())) {
            current = link.get();
        } else {
            GCharPtr joined(g_build_filename(folder_of(current).c_str(), link.get(), nullptr));
            current = joined.get();
        }
    }
    return ELOOP;
}

// Opens the file that the links led to for reading and writing, which asks
// what a plain write would ask (the rename below never asks whether the file
// itself may be written), never a link or anything else put in its place
// since, and never waiting: a pipe swapped in would block an open or a read.
// EINVAL for what is not a regular file.
int open_target(Target *target) {
    if (const int error = target->fd.open_at(target->path, O_RDWR | O_NONBLOCK | O_NOFOLLOW))
        return error;
    if (fstat(target->fd.get(), &target->info) != 0)
        return errno;
    return S_ISREG(target->info.st_mode) ? 0 : EINVAL;
}

// "NAME.XXXXXX" beside the file, with NAME cut short where the whole would
// not fit in a file name.
std::string temporary_name(const std::string &target) {
    const std::string folder = folder_of(target);
    GCharPtr base(g_path_get_basename(target.c_str()));
    long name_max = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (name_max <= 0)
        name_max = NAME_MAX;
    std::string name = base.get();
    const size_t room = static_cast<size_t>(name_max) - kRandomLetters - 1;
    if (name.size() > room)
        name.resize(room);
    name += '.';
    for (size_t i = 0; i < kRandomLetters; ++i)
        name += kNameLetters[g_random_int_range(0, sizeof kNameLetters - 1)];
    GCharPtr joined(g_build_filename(folder.c_str(), name.c_str(), nullptr));
    return joined.get();
}

// Creates a new file with the given mode, less the umask, named beside the
// target, open in *fd. The name is set in *name; it stays empty for a file
// that has none yet, which is what the file system gives where it can, so
// that a save cut short leaves nothing behind.
int create_temporary(const std::string &target, mode_t mode, std::string *name, Fd *fd) {
    name->clear();
#ifdef O_TMPFILE
    // Named later through /proc, so that is needed too.
    if (access("/proc/self/fd", X_OK) == 0) {
        const int error = fd->open_at(folder_of(target), O_TMPFILE | O_WRONLY | O_NONBLOCK, mode);
        if (error != EOPNOTSUPP && error != EISDIR && error != EINVAL)
            return error;
    }
#endif
    for (int tries = 0; tries < kMaxNameTries; ++tries) {
        *name = temporary_name(target);
        const int error = fd->open_at(*name, O_WRONLY | O_CREAT | O_EXCL | O_NONBLOCK, mode);
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

int open_folder(const std::string &folder, Fd *fd) {
    return fd->open_at(folder, O_RDONLY | O_DIRECTORY | O_NONBLOCK);
}

// Whether the folder may take new names but let none be removed or replaced:
// append-only, or, for all we can tell, one we may not open (mode 0311, say),
// whose flag cannot be read and which could not be synced either. A file
// system without such flags has no append-only folders.
bool may_be_append_only(const std::string &folder) {
    Fd fd;
    if (open_folder(folder, &fd) != 0)
        return true;
    int flags = 0;
    return ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL) != 0;
}

// Gives a complete file without a name its name beside the target.
int name_temporary(int fd, const std::string &target, std::string *name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    int error = EEXIST;
    for (int tries = 0; tries < kMaxNameTries && error == EEXIST; ++tries) {
        *name = temporary_name(target);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name->c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        error = errno;
    }
    name->clear();
    return error;
}

// A failed sync of the folder means the new name may not survive a crash;
// file systems that cannot sync folders at all say EINVAL, which we accept.
int sync_folder_fd(int fd) {
    const int error = sync_fd(fd);
    return error == EINVAL || error == EROFS ? 0 : error;
}

// A folder we may not open cannot be synced: that is a failure too.
int sync_folder(const std::string &folder) {
    Fd fd;
    const int error = open_folder(folder, &fd);
    return error != 0 ? error : sync_folder_fd(fd.get());
}

// Makes sure that the file can grow to size without running out of space, so
// that a full disk or quota fails before the first byte changes. Where the
// file system cannot reserve, writing goes on and a failure is undone.
int reserve_space(int fd, off_t old_size, off_t size) {
    if (size <= old_size)
        return 0;
#ifdef FALLOC_FL_KEEP_SIZE
    int error = 0;
    do {
        error = fallocate(fd, FALLOC_FL_KEEP_SIZE, old_size, size - old_size) == 0 ? 0 : errno;
    } while (error == EINTR);
#else
    const int error = posix_fallocate(fd, old_size, size - old_size);
#endif
    return error == EOPNOTSUPP || error == ENOSYS || error == EINVAL ? 0 : error;
}

int write_from_start(int fd, const char *data, size_t size, size_t *done = nullptr) {
    return lseek(fd, 0, SEEK_SET) == 0 ? write_all(fd, data, size, done) : errno;
}

// Puts the old text back after a failed in-place write, of which the first
// changed bytes may differ from it. Only those are written again: past a
// file-size limit, the rest could not be.
void restore_old_text(int fd, const std::string &old_text, size_t changed) {
    int error = write_from_start(fd, old_text.data(), std::min(changed, old_text.size()));
    if (error == 0)
        error = truncate_fd(fd, static_cast<off_t>(old_text.size()));
    if (error == 0)
        error = sync_fd(fd);
    if (error != 0)
        log_warning("could not put the old text back: %s", g_strerror(error));
}

// Another instance saving the same file in place waits until this one is
// done, so that their writes never interleave. The lock is advisory: where
// the file system has none, the save goes on without. A holder that never
// lets go (a stopped instance, another program) fails the save after a wait
// far longer than any save of this file takes, with EWOULDBLOCK: hanging
// here would keep the window manager from ever starting.
int lock_file(int fd, int wait_ms) {
    constexpr gulong kLockPoll = 10000; // microseconds
    const gint64 deadline = g_get_monotonic_time() + gint64{wait_ms} * 1000;
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return 0;
        if (g_get_monotonic_time() >= deadline)
            return EWOULDBLOCK;
        g_usleep(kLockPoll);
    }
}

// Whether the file at name is the one opened as the target and still holds
// what the caller last read or wrote there: 0, kFileChanged or the errno.
// Its bytes are read into *bytes.
int check_unchanged(const Target &target, const std::string &name, std::string *bytes) {
    struct stat now = {};
    if (lstat(name.c_str(), &now) != 0)
        return errno == ENOENT ? kFileChanged : errno;
    if (now.st_dev != target.info.st_dev || now.st_ino != target.info.st_ino)
        return kFileChanged;
    if (const int error = read_all(target.fd.get(), bytes))
        return error;
    return !target.unchanged || target.unchanged(bytes) ? 0 : kFileChanged;
}

// Overwrites the regular file itself, keeping its inode, owner and links; the
// lock goes with the close. A missing file is made here, where no temporary
// may go, and its new name must reach the disk too: a folder that cannot be
// synced fails the save before the file is made. A failed write leaves such a
// file empty where it cannot be removed.
int rewrite_in_place(Target *target, const char *data, size_t size, int lock_wait_ms) {
    const bool made = !exists(*target);
    Fd folder;
    if (made) {
        if (const int error = open_folder(folder_of(target->path), &folder))
            return error;
        // One that appeared meanwhile is another program's.
        if (const int error =
                target->fd.open_at(target->path, O_RDWR | O_CREAT | O_EXCL | O_NONBLOCK, 0666))
            return error == EEXIST ? kFileChanged : error;
    }
    const int fd = target->fd.get();
    std::string old_text;
    int error = lock_file(fd, lock_wait_ms);
    // The last moment at which another program's edit can be told from ours.
    if (error == 0 && !made)
        error = check_unchanged(*target, target->path, &old_text);
    if (error == 0)
        error = reserve_space(fd, static_cast<off_t>(old_text.size()), static_cast<off_t>(size));
    if (error == 0) {
        size_t changed = 0;
        error = write_from_start(fd, data, size, &changed);
        if (error == 0)
            error = truncate_fd(fd, static_cast<off_t>(size));
        // Shortened already: the whole old text goes back.
        if (error == 0 && (error = sync_fd(fd)) != 0)
            changed = old_text.size();
        if (error == 0 && made)
            error = sync_folder_fd(folder.get());
        if (error != 0)
            restore_old_text(fd, old_text, changed);
    }
    if (error != 0 && made)
        unlink(target->path.c_str());
    return error;
}

// A file's extended attributes, its ACLs among them, by name.
using Attributes = std::map<std::string, std::string>;

// Asks for a list or value of unknown length until it fits.
int read_sized(const std::function<ssize_t(char *, size_t)> &read, std::string *bytes) {
    for (;;) {
        const ssize_t needed = read(nullptr, 0);
        if (needed < 0)
            return errno;
        bytes->resize(static_cast<size_t>(needed));
        const ssize_t got = read(bytes->data(), bytes->size());
        if (got >= 0) {
            bytes->resize(static_cast<size_t>(got));
            return 0;
        }
        if (errno != ERANGE)
            return errno;
    }
}

// Fails where they cannot be told (a user attribute of a file we may not read).
int read_attributes(int fd, Attributes *attributes) {
    attributes->clear();
    std::string names;
    if (const int error = read_sized(
            [fd](char *list, size_t size) { return flistxattr(fd, list, size); }, &names))
        return error == ENOTSUP ? 0 : error; // a file system without them has none
    for (size_t at = 0; at < names.size();) {
        const std::string name(names.c_str() + at);
        at += name.size() + 1;
        std::string value;
        if (const int error = read_sized(
                [&](char *bytes, size_t size) { return fgetxattr(fd, name.c_str(), bytes, size); },
                &value))
            return error;
        (*attributes)[name] = value;
    }
    return 0;
}

// Makes the new file's attributes the old one's: a default ACL of the folder
// may have given it some the old file lacks.
int give_attributes(int fd, const Attributes &old) {
    Attributes made;
    if (const int error = read_attributes(fd, &made))
        return error;
    for (const auto &[name, value] : made)
        if (old.count(name) == 0 && fremovexattr(fd, name.c_str()) != 0)
            return errno;
    for (const auto &[name, value] : old) {
        const auto found = made.find(name);
        if ((found == made.end() || found->second != value) &&
            fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0)
            return errno;
    }
    return 0;
}

bool same_identity(const struct stat &made, const struct stat &old) {
    return made.st_uid == old.st_uid && made.st_gid == old.st_gid &&
           (made.st_mode & 07777) == (old.st_mode & 07777);
}

// Gives the new file what the old one has, then looks at what it really got:
// the folder may have handed it its own group (set-group-ID, or mounted with
// grpid), and only root can give a file away, or a member to a group. Where
// the new file cannot be made the same, the old one is written in place.
int take_over_identity(int fd, const struct stat &old, const Attributes &attributes) {
    struct stat made = {};
    if (fstat(fd, &made) != 0)
        return errno;
    // Owner first: a change of owner clears the set-id bits.
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
        fchown(fd, old.st_uid, old.st_gid) != 0)
        return errno == EPERM ? kRewriteInPlace : errno;
    if (give_attributes(fd, attributes) != 0)
        return kRewriteInPlace;
    if (fchmod(fd, old.st_mode & 07777) != 0)
        return errno;
    Attributes now;
    if (fstat(fd, &made) != 0)
        return errno;
    if (const int error = read_attributes(fd, &now))
        return error;
    return same_identity(made, old) && now == attributes ? 0 : kRewriteInPlace;
}

// The inode flags a user sets with chattr (no dump, no atime updates,
// synchronous writes...), which the new file must take over. Append-only and
// immutable are not among them: a file that has them cannot even be opened
// for writing, and a temporary given them could never be taken away.
constexpr int kKeptFlags = FS_SECRM_FL | FS_UNRM_FL | FS_COMPR_FL | FS_SYNC_FL | FS_NODUMP_FL |
                           FS_NOATIME_FL | FS_NOTAIL_FL | FS_JOURNAL_DATA_FL | FS_NOCOW_FL |
                           FS_NOCOMP_FL;

// A file system without inode flags gives none.
bool has_no_flags(int error) {
    return error == ENOTTY || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

int read_inode_flags(int fd, int *flags) {
    *flags = 0;
    return ioctl(fd, FS_IOC_GETFLAGS, flags) == 0 || has_no_flags(errno) ? 0 : errno;
}

// Gives the new file the old one's kept flags, and takes away those it got
// from its folder that the old one lacks. Returns 0 when they are the same.
int give_inode_flags(int fd, int old_flags) {
    int flags = 0;
    if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
        return (old_flags & kKeptFlags) == 0 && has_no_flags(errno) ? 0 : errno;
    if ((flags & kKeptFlags) == (old_flags & kKeptFlags))
        return 0;
    int wanted = (flags & ~kKeptFlags) | (old_flags & kKeptFlags);
    if (ioctl(fd, FS_IOC_SETFLAGS, &wanted) != 0 || ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
        return errno;
    return (flags & kKeptFlags) == (old_flags & kKeptFlags) ? 0 : EOPNOTSUPP;
}

// Refusals that writing the file itself would not meet: the folder takes no
// new name, the sticky bit keeps us from renaming over another's file, or
// the file is a mount point (a bind mount of a single file).
bool refused_by_folder(int error) {
    return error == EACCES || error == EPERM || error == EBUSY;
}

// Makes the new file beside the target, complete and synced, with the old
// file's owner, group, mode, attributes and inode flags, and gives it a name
// to be renamed from.
int make_new_file(const Target &target, const char *data, size_t size, std::string *name) {
    const bool old = exists(target);
    Attributes attributes;
    int flags = 0;
    if (old && (read_attributes(target.fd.get(), &attributes) != 0 ||
                read_inode_flags(target.fd.get(), &flags) != 0))
        return kRewriteInPlace;
    Fd fd;
    if (const int error = create_temporary(target.path, old ? 0600 : 0666, name, &fd))
        return old && refused_by_folder(error) ? kRewriteInPlace : error;
    int result = old ? take_over_identity(fd.get(), target.info, attributes) : 0;
    if (result == 0 && old && give_inode_flags(fd.get(), flags) != 0)
        result = kRewriteInPlace;
    if (result == 0)
        result = write_all(fd.get(), data, size);
    if (result == 0)
        result = sync_fd(fd.get());
    if (result == 0 && name->empty())
        result = name_temporary(fd.get(), target.path, name);
    if (result == 0)
        // Synced, but a close may still lose the data (over NFS, say); EINTR
        // does not mean that it did.
        result = close(fd.release()) == 0 || errno == EINTR ? 0 : errno;
    if (result != 0 && !name->empty())
        unlink(name->c_str());
    return result;
}

// Whether the file system cannot exchange two names or keep one from being
// taken.
bool cannot_rename_so(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// Gives the new file, complete under its temporary name, the target's name.
// The old file, which comes out of its place, keeps a name in *old_name: the
// new one's, where the file system can exchange the two, or one given to it
// before, where it cannot (and an edit of another program made by rename in
// that moment would be lost). A file that appeared meanwhile where there was
// none is another program's, and no file takes its place: kFileChanged.
int swap_in(const Target &target, const std::string &name, std::string *old_name) {
    const char *path = target.path.c_str();
    if (!exists(target)) {
        int error =
            renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, path, RENAME_NOREPLACE) == 0 ? 0 : errno;
        struct stat info = {};
        if (cannot_rename_so(error))
            error = lstat(path, &info) == 0 ? EEXIST : rename(name.c_str(), path) == 0 ? 0 : errno;
        return error == EEXIST ? kFileChanged : error;
    }
    if (renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, path, RENAME_EXCHANGE) == 0) {
        *old_name = name;
        return 0;
    }
    if (!cannot_rename_so(errno))
        return errno == ENOENT ? kFileChanged : errno;
    // Without a second name to put back, the old file is kept in place.
    if (name_temporary(target.fd.get(), path, old_name) != 0)
        return kRewriteInPlace;
    if (rename(name.c_str(), path) == 0)
        return 0;
    const int error = errno;
    unlink(old_name->c_str());
    old_name->clear();
    return error;
}

// Gives the old file its name back, which takes the new one's away.
int put_back(const std::string &old_name, const std::string &target) {
    if (rename(old_name.c_str(), target.c_str()) == 0)
        return 0;
    const int error = errno;
    log_warning("could not put the old file back: %s", g_strerror(error));
    return error;
}

// The new file is made and synced; just before it takes the file's place the
// file is compared again with what the caller knew, and once more as it
// comes out of its place, for an edit that landed in between. Changed, it
// goes back. So does the old file when the folder cannot be synced, so that
// a failure reported means that nothing changed.
int replace_by_rename(const Target &target, const char *data, size_t size) {
    std::string name;
    if (const int made = make_new_file(target, data, size, &name))
        return made;
    std::string old_name;
    std::string bytes;
    int error = exists(target) ? check_unchanged(target, target.path, &bytes) : 0;
    if (error == 0)
        error = swap_in(target, name, &old_name);
    if (error != 0) {
        unlink(name.c_str());
        return exists(target) && refused_by_folder(error) ? kRewriteInPlace : error;
    }
    if (exists(target) && (error = check_unchanged(target, old_name, &bytes)) != 0) {
        put_back(old_name, target.path);
        return error;
    }
    error = sync_folder(folder_of(target.path));
    if (error != 0 && !exists(target) && unlink(target.path.c_str()) != 0)
        log_warning("could not take the new file away: %s", g_strerror(errno));
    if (!old_name.empty() && (error == 0 || put_back(old_name, target.path) != 0))
        unlink(old_name.c_str());
    return error;
}

} // namespace

int replace_file_contents(const char *path, const char *data, size_t size,
                          const FileCheck &unchanged, int lock_wait_ms) {
    if (path == nullptr || path[0] == '\0')
        return ENOENT;
    Target target;
    target.unchanged = unchanged;
    bool exists = false;
    if (const int error = resolve_links(path, &target.path, &target.info, &exists))
        return error;
    // A pipe or a device is never written: the caller has no use for it.
    if (exists && !S_ISREG(target.info.st_mode))
        return S_ISDIR(target.info.st_mode) ? EISDIR : EINVAL;
    if (exists) {
        if (const int error = open_target(&target))
            return error;
    } else if (unchanged && !unchanged(nullptr)) {
        return kFileChanged;
    }
    // Replacing would split the file from its other names; a temporary named
    // in an append-only folder could never be taken away again.
    int result = kRewriteInPlace;
    if (!(exists && target.info.st_nlink > 1) && !may_be_append_only(folder_of(target.path)))
        result = replace_by_rename(target, data, size);
    return result == kRewriteInPlace ? rewrite_in_place(&target, data, size, lock_wait_ms) : result;
}
