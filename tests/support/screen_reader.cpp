// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/screen_reader.h"

#include "support/temp_dir.h"
#include "support/wait.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <stdexcept>

namespace {

const char kOrca[] = "/usr/bin/orca";
const char kPython[] = "/usr/bin/python3";

// Orca's own start-up refuses to run beside another Orca of the same user,
// and names itself so that others find it: a test's Orca runs beside those
// of other tests, and of people, and stays out of their sight.
const char kLauncher[] =
    "import runpy, sys\n"
    "sys.argv = ['orca'] + sys.argv[1:]\n"
    "main = runpy.run_path('/usr/bin/orca', run_name='orca_in_a_test')['main']\n"
    "main.__globals__['otherOrcas'] = lambda: []\n"
    "main.__globals__['setProcessName'] = lambda name: False\n"
    "sys.exit(main())\n";

// Orca writes its log in blocks; a line at a time, the test reads it as it comes.
const char kCustomizations[] = "import orca.debug as _debug\n"
                               "try:\n"
                               "    _debug.debugFile.reconfigure(line_buffering=True)\n"
                               "except Exception:\n"
                               "    pass\n";

void make_folder(const std::string &path) {
    if (mkdir(path.c_str(), 0700) != 0)
        throw std::runtime_error("cannot make " + path);
}

} // namespace

ScreenReader::ScreenReader(const std::string &display, const AccessibilityBus &bus,
                           const std::string &folder)
    : log_(folder + "/orca.log") {
    make_folder(folder);
    for (const char *below : {"/data", "/data/orca", "/config", "/run"})
        make_folder(folder + below);
    write_file(folder + "/data/orca/orca-customizations.py", kCustomizations);
    std::map<std::string, std::string> env = bus.program_environment();
    env.erase("GTK_MODULES");
    env["DISPLAY"] = display;
    env["HOME"] = folder;
    env["XDG_DATA_HOME"] = folder + "/data";
    env["XDG_CONFIG_HOME"] = folder + "/config";
    env["XDG_RUNTIME_DIR"] = folder + "/run";
    env["PATH"] = "/usr/bin:/bin";
    env["LANG"] = "C.UTF-8";
    if (access(kOrca, X_OK) != 0)
        throw std::runtime_error("Orca is not installed (scripts/test installs the orca package)");
    orca_ = std::make_unique<Process>(
        std::vector<std::string>{kPython, "-c", kLauncher, "--debug-file=" + log_}, env,
        folder + "/orca.out", folder + "/orca.err");
    if (wait_until_said("Screen reader on", 0, std::chrono::seconds(60)) < 0)
        throw std::runtime_error("Orca did not start: " + read_file(folder + "/orca.out") +
                                 read_file(folder + "/orca.err"));
}

ScreenReader::~ScreenReader() {
    kill(orca_->pid(), SIGTERM);
    if (!orca_->wait_exit(std::chrono::seconds(5))) {
        kill(orca_->pid(), SIGKILL);
        orca_->wait_exit(std::chrono::seconds(5));
    }
}

std::vector<std::string> ScreenReader::said() const {
    // Each entry of the log starts with its time; an utterance may run over lines.
    static const std::regex entry_start("\n(?=[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]+ - )");
    static const std::regex speech("^[0-9:.]+ - SPEECH OUTPUT: '([\\s\\S]*)' ?\\{'established'");
    const std::string log = file_exists(log_) ? read_file(log_) : "";
    std::vector<std::string> said;
    for (std::sregex_token_iterator entry(log.begin(), log.end(), entry_start, -1), end;
         entry != end; ++entry) {
        const std::string text = *entry;
        std::smatch match;
        // The log goes on with an utterance's next line indented: a blank, as
        // a voice would make of the line break.
        static const std::regex line_break("\\s*\n\\s*");
        if (std::regex_search(text, match, speech))
            said.push_back(std::regex_replace(match[1].str(), line_break, " "));
    }
    return said;
}

int ScreenReader::wait_until_said(const std::string &part, size_t from,
                                  std::chrono::milliseconds limit) const {
    int found = -1;
    wait_for(
        [&] {
            const std::vector<std::string> all = said();
            for (size_t i = from; i < all.size(); ++i)
                if (all[i].find(part) != std::string::npos) {
                    found = static_cast<int>(i);
                    return true;
                }
            return false;
        },
        limit);
    return found;
}

std::string ScreenReader::said_since(size_t from) const {
    const std::vector<std::string> all = said();
    std::string text;
    for (size_t i = from; i < all.size(); ++i)
        text += "  " + all[i] + "\n";
    return text;
}
