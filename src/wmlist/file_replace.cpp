#include "wmlist/file_replace.h"

#include "app/glib_ptr.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

// As the kernel limits link chains, so do we.
constexpr int MAX_LINKS = 40;

// SIGCHLD is installed without SA_RESTART, so any of these calls may be cut
// short by a child ending.
bool write_all(int fd, const char *data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool sync_fd(int fd) {
    while (fsync(fd) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

// After close, the descriptor is gone whatever the result; EINTR there does
// not mean the data was lost, since it was synced before.
bool close_fd(int fd) {
    return close(fd) == 0 || errno == EINTR;
}

// Closes without letting close() change the errno of the failure being reported.
void close_quietly(int fd) {
    const int saved = errno;
    close(fd);
    errno = saved;
}

std::string folder_of(const std::string &path) {
    GCharPtr folder(g_path_get_dirname(path.c_str()));
    return folder.get();
}

// Follows the chain of links to the path of the file itself, which may not
// exist yet. Relative targets are taken from the folder of their link.
bool resolve_links(const std::string &path, std::string *target, struct stat *info, bool *exists) {
    std::string current = path;
    for (int links = 0; links <= MAX_LINKS; ++links) {
        if (lstat(current.c_str(), info) != 0) {
            if (errno != ENOENT)
                return false;
            *target = current;
            *exists = false;
            return true;
        }
        if (!S_ISLNK(info->st_mode)) {
            *target = current;
            *exists = true;
            return true;
        }
        GCharPtr link(g_file_read_link(current.c_str(), nullptr));
        if (!link)
            return false;
        if (g_path_is_absolute(link.get())) {
            current = link.get();
        } else {
            GCharPtr joined(g_build_filename(folder_of(current).c_str(), link.get(), nullptr));
            current = joined.get();
        }
    }
    errno = ELOOP;
    return false;
}

mode_t current_umask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// Overwrites first and cuts the tail afterwards, so that a failure part-way
// still leaves the rest of the old text; there is no way back from here.
bool rewrite_in_place(const std::string &target, bool regular, const char *data, size_t size) {
    // Non-blocking so a FIFO without a reader fails instead of hanging the program.
    const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC | (regular ? 0 : O_NONBLOCK));
    if (fd < 0)
        return false;
    if (!regular && fcntl(fd, F_SETFL, 0) != 0) {
        close_quietly(fd);
        return false;
    }
    if (!write_all(fd, data, size) || (regular && ftruncate(fd, static_cast<off_t>(size)) != 0) ||
        (regular && !sync_fd(fd))) {
        close_quietly(fd);
        return false;
    }
    return close_fd(fd);
}

// A failed sync of the folder means the new name may not survive a crash;
// file systems that cannot sync folders at all say EINVAL, which we accept.
bool sync_folder(const std::string &folder) {
    // A folder we may not read cannot be synced; the new file is in place anyway.
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true;
    const bool synced = sync_fd(fd) || errno == EINVAL || errno == EROFS;
    close_quietly(fd);
    return synced;
}

// Removes a temporary that will not be used, keeping the errno being reported.
void discard_temporary(const std::string &name) {
    const int saved = errno;
    unlink(name.c_str());
    errno = saved;
}

bool write_new_file(int fd, mode_t mode, const struct stat *old, const char *data, size_t size) {
    // Only root can hand a file back to its owner; anyone else keeps their own.
    // Owner first: a change of owner clears the set-id bits.
    if (old != nullptr && (old->st_uid != geteuid() || old->st_gid != getegid()) &&
        fchown(fd, old->st_uid, old->st_gid) != 0 && errno != EPERM)
        return false;
    if (fchmod(fd, mode) != 0)
        return false;
    return write_all(fd, data, size) && sync_fd(fd);
}

} // namespace

bool replace_file_contents(const char *path, const char *data, size_t size) {
    if (path == nullptr || path[0] == '\0') {
        errno = ENOENT;
        return false;
    }
    std::string target;
    struct stat info;
    bool exists = false;
    if (!resolve_links(path, &target, &info, &exists))
        return false;
    if (exists && S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return false;
    }
    // A device or pipe named as the file is written to, never replaced.
    if (exists && !S_ISREG(info.st_mode))
        return rewrite_in_place(target, false, data, size);
    // Replacing would split the file from its other names.
    if (exists && info.st_nlink > 1)
        return rewrite_in_place(target, true, data, size);

    std::string pattern = target + ".XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        if (exists && (errno == EACCES || errno == EPERM) && access(target.c_str(), W_OK) == 0)
            return rewrite_in_place(target, true, data, size);
        return false;
    }
    const mode_t mode = exists ? (info.st_mode & 07777) : (0666 & ~current_umask());
    if (!write_new_file(fd, mode, exists ? &info : nullptr, data, size)) {
        close_quietly(fd);
        discard_temporary(pattern);
        return false;
    }
    if (!close_fd(fd) || rename(pattern.c_str(), target.c_str()) != 0) {
        discard_temporary(pattern);
        return false;
    }
    return sync_folder(folder_of(target));
}
