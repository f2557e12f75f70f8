// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/process.h"

#include "support/wait.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

Process::Process(const std::vector<std::string> &argv,
                 const std::map<std::string, std::string> &env, const std::string &stdout_path,
                 const std::string &stderr_path) {
    std::vector<std::string> args = argv;
    std::vector<char *> arg_ptrs;
    for (auto &arg : args)
        arg_ptrs.push_back(arg.data());
    arg_ptrs.push_back(nullptr);
    std::vector<std::string> entries;
    for (const auto &[name, value] : env)
        entries.push_back(name + "=" + value);
    std::vector<char *> env_ptrs;
    for (auto &entry : entries)
        env_ptrs.push_back(entry.data());
    env_ptrs.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int rc = posix_spawn(&pid_, args[0].c_str(), &actions, &attributes, arg_ptrs.data(),
                               env_ptrs.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + args[0]);
}

Process::~Process() {
    if (running()) {
        kill(pid_, SIGKILL);
        wait_exit(std::chrono::seconds(5));
    }
}

bool Process::running() {
    if (status_)
        return false;
    int status;
    const pid_t rc = waitpid(pid_, &status, WNOHANG);
    if (rc == pid_)
        status_ = status;
    return !status_;
}

std::optional<int> Process::wait_exit(std::chrono::milliseconds limit) {
    wait_for([this] { return !running(); }, limit);
    return status_;
}

std::vector<pid_t> zombie_children(pid_t parent) {
    std::vector<pid_t> zombies;
    DIR *proc = opendir("/proc");
    if (proc == nullptr)
        return zombies;
    while (const struct dirent *entry = readdir(proc)) {
        const std::string name = entry->d_name;
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat_file("/proc/" + name + "/stat");
        std::string line;
        std::getline(stat_file, line);
        // The command name may hold blanks and parentheses; the fields after
        // its last ")" are state, then parent.
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && state == 'Z')
            zombies.push_back(static_cast<pid_t>(std::stol(name)));
    }
    closedir(proc);
    return zombies;
}

char process_state(pid_t pid) {
    std::ifstream stat_file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat_file, line);
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
}
