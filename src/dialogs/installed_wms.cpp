// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/installed_wms.h"

#include "app/glib_ptr.h"
#include "launch/exec_plan.h"
#include "launch/program_output.h"
#include "wmlist/config_format.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace {

constexpr char kDefaultDataDirs[] = "/usr/local/share:/usr/share";
constexpr char kProgramName[] = "quorvane";
// Debian's own, by its full path: a PATH of anyone's making does not choose
// what runs. It answers in milliseconds with a line per window manager.
constexpr char kAlternativesHelper[] = "/usr/bin/update-alternatives";
constexpr std::chrono::seconds kHelperTimeLimit{2};
constexpr size_t kHelperMaxBytes = size_t{64} * 1024;
// Real session files, every translation of their name and comment included,
// are a few kilobytes.
constexpr off_t kMaxSessionBytes = off_t{64} * 1024;

// The full path of the program a session or an alternative names, a bare
// name looked up along the path a launch would search; empty when that is no
// executable file. A path relative to some folder would depend on where the
// session starts, and one that is not UTF-8 could not be shown as it stands
// in the result list.
std::string program_path(const char *name) {
    std::vector<std::string> candidates;
    if (g_path_is_absolute(name))
        candidates.emplace_back(name);
    else if (strchr(name, '/') == nullptr)
        candidates = command_candidates(name);
    for (const std::string &path : candidates)
        if (g_path_is_absolute(path.c_str()) && is_executable_file(path.c_str()))
            return g_utf8_validate(path.c_str(), -1, nullptr) ? path : "";
    return "";
}

// The session that brought the person here would only bring them back: this
// program under its own name, or the very file that runs now.
bool is_this_program(const std::string &path) {
    const GCharPtr name(g_path_get_basename(path.c_str()));
    struct stat self;
    struct stat program;
    return strcmp(name.get(), kProgramName) == 0 ||
           (stat("/proc/self/exe", &self) == 0 && stat(path.c_str(), &program) == 0 &&
            self.st_dev == program.st_dev && self.st_ino == program.st_ino);
}

// The program's path when the search may offer it: installed, given back as
// it stands by the file (a path that the file changed would start another
// program after the next start), and not this program.
std::string offered_program(const char *name) {
    std::string program = program_path(name);
    if (program.empty() || !is_storable_command(program.c_str()) || is_this_program(program))
        return "";
    return program;
}

std::string display_basename(const std::string &path) {
    return GCharPtr(g_filename_display_basename(path.c_str())).get();
}

// The opened file's text, when it is a regular file no larger than a
// session file can be; told by the file itself, whatever its name says.
std::optional<std::string> read_session_text(int fd) {
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxSessionBytes)
        return std::nullopt;
    std::string text;
    char chunk[4096];
    // A file that grows meanwhile is still read no further than the limit.
    while (text.size() <= static_cast<size_t>(kMaxSessionBytes)) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return text;
        text.append(chunk, static_cast<size_t>(got));
    }
    return std::nullopt;
}

std::optional<FoundWm> read_session(const std::string &file) {
    // Opening a FIFO would wait for a writer, and hold the search with it:
    // one is never opened, and one put in the file's place meanwhile opens
    // without waiting and is then passed over.
    if (!g_file_test(file.c_str(), G_FILE_TEST_IS_REGULAR))
        return std::nullopt;
    const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    const std::optional<std::string> text = read_session_text(fd);
    close(fd);
    if (!text)
        return std::nullopt;
    const GKeyFilePtr entry(g_key_file_new());
    if (!g_key_file_load_from_data(entry.get(), text->data(), text->size(), G_KEY_FILE_NONE,
                                   nullptr))
        return std::nullopt;
    const char *const group = G_KEY_FILE_DESKTOP_GROUP;
    if (g_key_file_get_boolean(entry.get(), group, G_KEY_FILE_DESKTOP_KEY_HIDDEN, nullptr) ||
        g_key_file_get_boolean(entry.get(), group, G_KEY_FILE_DESKTOP_KEY_NO_DISPLAY, nullptr))
        return std::nullopt;
    const GCharPtr try_exec(
        g_key_file_get_string(entry.get(), group, G_KEY_FILE_DESKTOP_KEY_TRY_EXEC, nullptr));
    if (try_exec != nullptr && program_path(try_exec.get()).empty())
        return std::nullopt;

    // A command in the list is one program, never split at blanks: a session
    // that needs arguments or field codes cannot be one.
    const GCharPtr exec(
        g_key_file_get_string(entry.get(), group, G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr));
    gint argc = 0;
    gchar **argv = nullptr;
    if (exec == nullptr || !g_shell_parse_argv(exec.get(), &argc, &argv, nullptr))
        return std::nullopt;
    const GStrvPtr args(argv);
    if (argc != 1 || strchr(argv[0], '%') != nullptr)
        return std::nullopt;
    std::string program = offered_program(argv[0]);
    if (program.empty())
        return std::nullopt;

    const GCharPtr name(g_key_file_get_locale_string(
        entry.get(), group, G_KEY_FILE_DESKTOP_KEY_NAME, nullptr, nullptr));
    std::string description =
        name != nullptr && name.get()[0] != '\0' ? name.get() : display_basename(program);
    return FoundWm{std::move(program), std::move(description)};
}

// Whether the path's folder is reached through a link, as /usr/bin/X11 is a
// link to /usr/bin on Debian.
bool is_through_linked_folder(const std::string &path) {
    const GCharPtr folder(g_path_get_dirname(path.c_str()));
    char real[PATH_MAX];
    if (realpath(folder.get(), real) == nullptr)
        return false;
    const GCharPtr plain(g_canonicalize_filename(folder.get(), "/"));
    return strcmp(real, plain.get()) != 0;
}

} // namespace

std::vector<std::string> session_data_dirs() {
    const char *value = getenv("XDG_DATA_DIRS");
    if (value == nullptr || value[0] == '\0')
        value = kDefaultDataDirs;
    const GStrvPtr parts(g_strsplit(value, G_SEARCHPATH_SEPARATOR_S, -1));
    std::vector<std::string> dirs;
    for (gchar **part = parts.get(); *part != nullptr; ++part)
        if (g_path_is_absolute(*part))
            dirs.emplace_back(*part);
    return dirs;
}

std::vector<FoundWm> find_session_wms(const std::vector<std::string> &data_dirs) {
    // The first folder that has a name keeps it, so that a file there hides a
    // system one, as a Hidden one is meant to.
    std::map<std::string, std::string> files;
    for (const std::string &dir : data_dirs) {
        const std::string folder = dir + "/xsessions";
        const GDirPtr listing(g_dir_open(folder.c_str(), 0, nullptr));
        if (listing == nullptr)
            continue;
        while (const char *name = g_dir_read_name(listing.get()))
            if (g_str_has_suffix(name, ".desktop"))
                files.emplace(name, folder + "/" + name);
    }
    std::vector<FoundWm> found;
    for (const auto &[name, file] : files)
        if (std::optional<FoundWm> session = read_session(file))
            found.push_back(std::move(*session));
    return found;
}

std::vector<FoundWm> find_alternative_wms() {
    std::vector<FoundWm> found;
    const std::optional<std::string> listed = read_program_output(
        {kAlternativesHelper, "--list", "x-window-manager"}, kHelperTimeLimit, kHelperMaxBytes);
    if (!listed)
        return found;
    const GStrvPtr lines(g_strsplit(listed->c_str(), "\n", -1));
    for (gchar **line = lines.get(); *line != nullptr; ++line) {
        if (!g_path_is_absolute(*line))
            continue;
        std::string program = offered_program(*line);
        if (!program.empty()) {
            std::string description = display_basename(program);
            found.push_back(FoundWm{std::move(program), std::move(description)});
        }
    }
    return found;
}

void fold_same_programs(std::vector<FoundWm> *found) {
    // Each program by its file and name, with its place among the rows kept.
    std::map<std::tuple<dev_t, ino_t, std::string>, size_t> programs;
    std::vector<FoundWm> kept;
    for (FoundWm &wm : *found) {
        struct stat info;
        if (stat(wm.command.c_str(), &info) == 0) {
            const GCharPtr name(g_path_get_basename(wm.command.c_str()));
            const auto [program, added] =
                programs.try_emplace({info.st_dev, info.st_ino, name.get()}, kept.size());
            if (!added) {
                FoundWm &first = kept[program->second];
                if (is_through_linked_folder(first.command) &&
                    !is_through_linked_folder(wm.command))
                    first.command = wm.command;
                continue;
            }
        }
        kept.push_back(std::move(wm));
    }
    *found = std::move(kept);
}

void drop_repeated_descriptions(std::vector<FoundWm> *found) {
    std::set<std::string> seen;
    std::vector<FoundWm> kept;
    for (FoundWm &wm : *found) {
        const GCharPtr folded(g_utf8_casefold(wm.description.c_str(), -1));
        if (seen.insert(folded.get()).second)
            kept.push_back(std::move(wm));
    }
    *found = std::move(kept);
}
