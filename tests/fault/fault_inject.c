// SPDX-License-Identifier: GPL-2.0-or-later
// A fault injector for the real program, loaded with LD_PRELOAD: it makes one
// chosen call on one folder's files fail, or stops the process there, so that
// a test can see what a save does when the system lets it down.
//
// Chosen through the environment:
//   FAULT_FOLDER     calls on this folder and the names directly in it count,
//                    and so do descriptors opened there for writing or on the
//                    folder itself; reading descriptors and all else are left
//                    alone, so the toolkit's own files are never hit
//   FAULT_CALL       which call: open-create (an open that may create a file),
//                    open (any other), write, fsync (of a file), fsync-folder,
//                    fchown, fchmod, close (of a file), ftruncate, fallocate,
//                    lseek, flock, link (link, or linkat naming a file made
//                    without a name), unlink, rename (rename or renameat2,
//                    which also exchanges two names); getline (a line read
//                    from a file of the folder opened for reading); or fork,
//                    which counts wherever it is called;
//                    several as "call:nth,call:nth" strike one after another
//   FAULT_NTH        which occurrence of the call, counting from 1 (default 1),
//                    where FAULT_CALL names none
//   FAULT_ERRNO      the error it fails with: a name such as EIO or a number
//   FAULT_ACTION     fail (default); stop-before or stop-after, which stop the
//                    process with SIGSTOP before or after making the call, for
//                    a test to kill it right there; or no-effect, which skips
//                    a call that gives 0 for success and reports success, as
//                    a file system that ignores a change of owner or mode does
//   FAULT_WRITE_MAX  writes on counted descriptors take at most this many
//                    bytes, so that a text goes out in many calls
//   FAULT_LOG        a file that gets a line for every counted call ("write 3")
//                    and one for the fault ("fail write 3", "stop write 3",
//                    "no-effect fchmod 1")
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

enum Call {
    CALL_OPEN_CREATE,
    CALL_OPEN,
    CALL_WRITE,
    CALL_FSYNC,
    CALL_FSYNC_FOLDER,
    CALL_FCHOWN,
    CALL_FCHMOD,
    CALL_CLOSE,
    CALL_FTRUNCATE,
    CALL_FALLOCATE,
    CALL_LSEEK,
    CALL_FLOCK,
    CALL_LINK,
    CALL_UNLINK,
    CALL_RENAME,
    CALL_GETLINE,
    CALL_FORK,
    CALL_COUNT
};

static const char *const CALL_NAMES[CALL_COUNT] = {
    "open-create", "open",   "write",     "fsync",     "fsync-folder", "fchown",
    "fchmod",      "close",  "ftruncate", "fallocate", "lseek",        "flock",
    "link",        "unlink", "rename",    "getline",   "fork",
};

enum Action { ACTION_FAIL, ACTION_STOP_BEFORE, ACTION_STOP_AFTER, ACTION_NO_EFFECT };

// What a descriptor was opened on.
enum Kind { KIND_NONE, KIND_FILE, KIND_FOLDER };

#define MAX_FDS 4096

static struct {
    int ready;
    char folder[4096];
    size_t folder_length;
    // The calls that fail: for each kind, its occurrence (0: none).
    long nth[CALL_COUNT];
    int error;
    enum Action action;
    size_t write_max;
    int log_fd;
    long counts[CALL_COUNT];
    unsigned char kinds[MAX_FDS];
    // Files of the folder opened for reading, for getline alone.
    unsigned char reading[MAX_FDS];
} fault = {.log_fd = -1};

static struct {
    int (*open)(const char *, int, ...);
    int (*openat)(int, const char *, int, ...);
    ssize_t (*write)(int, const void *, size_t);
    int (*fsync)(int);
    int (*fchown)(int, uid_t, gid_t);
    int (*fchmod)(int, mode_t);
    int (*close)(int);
    int (*ftruncate)(int, off_t);
    int (*fallocate)(int, int, off_t, off_t);
    off_t (*lseek)(int, off_t, int);
    int (*flock)(int, int);
    int (*link)(const char *, const char *);
    int (*linkat)(int, const char *, int, const char *, int);
    int (*unlink)(const char *);
    int (*rename)(const char *, const char *);
    int (*renameat2)(int, const char *, int, const char *, unsigned);
    ssize_t (*getdelim)(char **, size_t *, int, FILE *);
    pid_t (*fork)(void);
} real;

static void *next_symbol(const char *name) {
    void *symbol = dlsym(RTLD_NEXT, name);
    if (symbol == NULL) {
        fprintf(stderr, "fault_inject: no %s to stand in for\n", name);
        abort();
    }
    return symbol;
}

static int error_named(const char *name) {
    static const struct {
        const char *name;
        int error;
    } known[] = {{"EIO", EIO},       {"ENOSPC", ENOSPC}, {"EDQUOT", EDQUOT}, {"EAGAIN", EAGAIN},
                 {"EINTR", EINTR},   {"EPERM", EPERM},   {"EACCES", EACCES}, {"EROFS", EROFS},
                 {"ENOMEM", ENOMEM}, {"EINVAL", EINVAL}};
    for (size_t i = 0; i < sizeof known / sizeof known[0]; ++i)
        if (strcmp(name, known[i].name) == 0)
            return known[i].error;
    return atoi(name);
}

// "call:nth,call" into fault.nth, nth standing where a call names none.
static void read_calls(const char *calls, long nth) {
    char name[32];
    while (calls != NULL && *calls != '\0') {
        const size_t length = strcspn(calls, ":,");
        const size_t kept = length < sizeof name ? length : sizeof name - 1;
        memcpy(name, calls, kept);
        name[kept] = '\0';
        calls += length;
        long occurrence = nth;
        if (*calls == ':') {
            char *end = NULL;
            occurrence = strtol(calls + 1, &end, 10);
            calls = end;
        }
        for (int i = 0; i < CALL_COUNT; ++i)
            if (strcmp(name, CALL_NAMES[i]) == 0)
                fault.nth[i] = occurrence;
        calls += strcspn(calls, ",");
        if (*calls == ',')
            ++calls;
    }
}

static void set_up(void) {
    if (fault.ready)
        return;
    real.open = next_symbol("open");
    real.openat = next_symbol("openat");
    real.write = next_symbol("write");
    real.fsync = next_symbol("fsync");
    real.fchown = next_symbol("fchown");
    real.fchmod = next_symbol("fchmod");
    real.close = next_symbol("close");
    real.ftruncate = next_symbol("ftruncate");
    real.fallocate = next_symbol("fallocate");
    real.lseek = next_symbol("lseek");
    real.flock = next_symbol("flock");
    real.link = next_symbol("link");
    real.linkat = next_symbol("linkat");
    real.unlink = next_symbol("unlink");
    real.rename = next_symbol("rename");
    real.renameat2 = next_symbol("renameat2");
    real.getdelim = next_symbol("getdelim");
    real.fork = next_symbol("fork");

    const char *folder = getenv("FAULT_FOLDER");
    if (folder != NULL && folder[0] == '/' && strlen(folder) < sizeof fault.folder) {
        strcpy(fault.folder, folder);
        fault.folder_length = strlen(fault.folder);
        while (fault.folder_length > 1 && fault.folder[fault.folder_length - 1] == '/')
            fault.folder[--fault.folder_length] = '\0';
    }
    const char *nth = getenv("FAULT_NTH");
    read_calls(getenv("FAULT_CALL"), nth != NULL ? atol(nth) : 1);
    const char *error = getenv("FAULT_ERRNO");
    fault.error = error != NULL ? error_named(error) : EIO;
    const char *action = getenv("FAULT_ACTION");
    fault.action = ACTION_FAIL;
    if (action != NULL && strcmp(action, "stop-before") == 0)
        fault.action = ACTION_STOP_BEFORE;
    else if (action != NULL && strcmp(action, "stop-after") == 0)
        fault.action = ACTION_STOP_AFTER;
    else if (action != NULL && strcmp(action, "no-effect") == 0)
        fault.action = ACTION_NO_EFFECT;
    const char *write_max = getenv("FAULT_WRITE_MAX");
    fault.write_max = write_max != NULL ? strtoul(write_max, NULL, 10) : 0;
    const char *log = getenv("FAULT_LOG");
    if (log != NULL && log[0] != '\0')
        fault.log_fd = real.open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    fault.ready = 1;
}

// The program's children (a window manager, say) run without the injector.
__attribute__((constructor)) static void start_up(void) {
    set_up();
    unsetenv("LD_PRELOAD");
}

// A name directly in the folder, or the folder itself.
static int in_folder(const char *path) {
    if (fault.folder_length == 0 || path == NULL ||
        strncmp(path, fault.folder, fault.folder_length) != 0)
        return 0;
    const char *rest = path + fault.folder_length;
    return rest[0] == '\0' || (rest[0] == '/' && rest[1] != '\0' && strchr(rest + 1, '/') == NULL);
}

static enum Kind kind_of(int fd) {
    return fd >= 0 && fd < MAX_FDS ? (enum Kind)fault.kinds[fd] : KIND_NONE;
}

static void log_line(const char *verb, enum Call call, long count) {
    if (fault.log_fd < 0)
        return;
    char line[128];
    const int length = snprintf(line, sizeof line, "%s%s %ld\n", verb, CALL_NAMES[call], count);
    if (length > 0)
        (void)!real.write(fault.log_fd, line, (size_t)length);
}

// Counts one call of this kind; returns the action to take, if this is the
// chosen occurrence, or -1.
static int take_turn(enum Call call) {
    const long count = __atomic_add_fetch(&fault.counts[call], 1, __ATOMIC_SEQ_CST);
    log_line("", call, count);
    if (count != fault.nth[call])
        return -1;
    static const char *const verbs[] = {"fail ", "stop ", "stop ", "no-effect "};
    log_line(verbs[fault.action], call, count);
    return (int)fault.action;
}

static void stop_here(void) {
    kill(getpid(), SIGSTOP);
}

// The call site of every wrapper: MAKE is the real call, RESULT its value.
// A failing turn skips the call, except close, which closes as the kernel
// does even when it reports an error.
#define RUN(call, counted, type, make)                                                             \
    do {                                                                                           \
        set_up();                                                                                  \
        const int turn = (counted) ? take_turn(call) : -1;                                         \
        if (turn == ACTION_FAIL && (call) != CALL_CLOSE) {                                         \
            errno = fault.error;                                                                   \
            return (type)-1;                                                                       \
        }                                                                                          \
        if (turn == ACTION_NO_EFFECT)                                                              \
            return (type)0;                                                                        \
        if (turn == ACTION_STOP_BEFORE)                                                            \
            stop_here();                                                                           \
        const type result = (make);                                                                \
        if (turn == ACTION_STOP_AFTER) {                                                           \
            const int saved = errno;                                                               \
            stop_here();                                                                           \
            errno = saved;                                                                         \
        }                                                                                          \
        if (turn == ACTION_FAIL) {                                                                 \
            errno = fault.error;                                                                   \
            return (type)-1;                                                                       \
        }                                                                                          \
        return result;                                                                             \
    } while (0)

static int track(int fd, const char *path, int flags) {
    if (fd < 0 || fd >= MAX_FDS)
        return fd;
    fault.kinds[fd] = KIND_NONE;
    fault.reading[fd] = 0;
    if (!in_folder(path))
        return fd;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode))
        fault.kinds[fd] = KIND_FOLDER;
    else if ((flags & O_ACCMODE) != O_RDONLY)
        fault.kinds[fd] = KIND_FILE;
    else
        fault.reading[fd] = 1;
    return fd;
}

static int open_in_folder(int at, const char *path, int flags, mode_t mode) {
    set_up();
    const int counted = in_folder(path);
    // A file without a name (O_TMPFILE) is made by an open of the folder.
    const enum Call call =
        (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? CALL_OPEN_CREATE : CALL_OPEN;
    const int turn = counted ? take_turn(call) : -1;
    if (turn == ACTION_FAIL) {
        errno = fault.error;
        return -1;
    }
    if (turn == ACTION_STOP_BEFORE)
        stop_here();
    const int fd =
        at == AT_FDCWD ? real.open(path, flags, mode) : real.openat(at, path, flags, mode);
    track(fd, path, flags);
    if (turn == ACTION_STOP_AFTER) {
        const int saved = errno;
        stop_here();
        errno = saved;
    }
    return fd;
}

static mode_t mode_argument(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? (mode_t)va_arg(arguments, int) : 0;
}

int open(const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    return open_in_folder(AT_FDCWD, path, flags, mode);
}

int open64(const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    return open_in_folder(AT_FDCWD, path, flags, mode);
}

// A fortified program opens through these where it cannot tell that no mode
// is due.
int __open_2(const char *path, int flags) {
    return open_in_folder(AT_FDCWD, path, flags, 0);
}

int __open64_2(const char *path, int flags) {
    return open_in_folder(AT_FDCWD, path, flags, 0);
}

int openat(int at, const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    return open_in_folder(at, path, flags, mode);
}

int openat64(int at, const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    return open_in_folder(at, path, flags, mode);
}

ssize_t write(int fd, const void *data, size_t size) {
    const int counted = kind_of(fd) != KIND_NONE;
    if (counted && fault.write_max > 0 && size > fault.write_max)
        size = fault.write_max;
    RUN(CALL_WRITE, counted, ssize_t, real.write(fd, data, size));
}

int fsync(int fd) {
    const enum Kind kind = kind_of(fd);
    RUN(kind == KIND_FOLDER ? CALL_FSYNC_FOLDER : CALL_FSYNC, kind != KIND_NONE, int,
        real.fsync(fd));
}

int fchown(int fd, uid_t owner, gid_t group) {
    RUN(CALL_FCHOWN, kind_of(fd) != KIND_NONE, int, real.fchown(fd, owner, group));
}

int fchmod(int fd, mode_t mode) {
    RUN(CALL_FCHMOD, kind_of(fd) != KIND_NONE, int, real.fchmod(fd, mode));
}

static int close_and_forget(int fd) {
    if (fd >= 0 && fd < MAX_FDS)
        fault.kinds[fd] = KIND_NONE;
    return real.close(fd);
}

int close(int fd) {
    RUN(CALL_CLOSE, kind_of(fd) == KIND_FILE, int, close_and_forget(fd));
}

int ftruncate(int fd, off_t size) {
    RUN(CALL_FTRUNCATE, kind_of(fd) != KIND_NONE, int, real.ftruncate(fd, size));
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
    RUN(CALL_FALLOCATE, kind_of(fd) != KIND_NONE, int, real.fallocate(fd, mode, offset, length));
}

off_t lseek(int fd, off_t offset, int whence) {
    RUN(CALL_LSEEK, kind_of(fd) != KIND_NONE, off_t, real.lseek(fd, offset, whence));
}

int flock(int fd, int operation) {
    RUN(CALL_FLOCK, kind_of(fd) != KIND_NONE, int, real.flock(fd, operation));
}

int link(const char *from, const char *to) {
    RUN(CALL_LINK, in_folder(from) || in_folder(to), int, real.link(from, to));
}

// Names a file made without one; it counts as a link to its new name.
int linkat(int from_at, const char *from, int to_at, const char *to, int flags) {
    RUN(CALL_LINK, (to_at == AT_FDCWD && in_folder(to)), int,
        real.linkat(from_at, from, to_at, to, flags));
}

int unlink(const char *path) {
    RUN(CALL_UNLINK, in_folder(path), int, real.unlink(path));
}

int rename(const char *from, const char *to) {
    RUN(CALL_RENAME, in_folder(from) || in_folder(to), int, real.rename(from, to));
}

int renameat2(int from_at, const char *from, int to_at, const char *to, unsigned flags) {
    RUN(CALL_RENAME,
        (from_at == AT_FDCWD && in_folder(from)) || (to_at == AT_FDCWD && in_folder(to)), int,
        real.renameat2(from_at, from, to_at, to, flags));
}

// An optimised program reads its lines through __getdelim, a debug one
// through getline.
static int is_reading(FILE *stream) {
    const int fd = stream != NULL ? fileno(stream) : -1;
    return fd >= 0 && fd < MAX_FDS && fault.reading[fd];
}

ssize_t __getdelim(char **line, size_t *capacity, int delimiter, FILE *stream) {
    RUN(CALL_GETLINE, is_reading(stream), ssize_t,
        real.getdelim(line, capacity, delimiter, stream));
}

ssize_t getdelim(char **line, size_t *capacity, int delimiter, FILE *stream) {
    return __getdelim(line, capacity, delimiter, stream);
}

ssize_t getline(char **line, size_t *capacity, FILE *stream) {
    return __getdelim(line, capacity, '\n', stream);
}

pid_t fork(void) {
    RUN(CALL_FORK, 1, pid_t, real.fork());
}
