// SPDX-License-Identifier: GPL-2.0-or-later
// Opens and closes the main list's context menu many times in the real
// program, through XTEST on a private Xvfb, and prints the program's memory
// and window count as it goes. Every other menu is closed with Escape; the
// others set a default and close the box that says so.
//   menu_memory_bench QUORVANE CYCLES
#include "app/version.h"
#include "support/process.h"
#include "support/screen_probe.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/x_client.h"
#include "support/xvfb.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

long status_kb(pid_t pid, const std::string &field) {
    std::istringstream lines(read_file("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stol(line.substr(field.size() + 1));
    return -1;
}

Window first_of_type(XClient &x, const char *type) {
    const std::vector<Window> found = x.mapped_windows_of_type(type);
    return found.empty() ? 0 : found.front();
}

void require(bool ok, const char *what) {
    if (!ok)
        throw std::runtime_error(what);
}

void open_menu(XClient &x, Window main) {
    const Area list = main_list_area(x, main);
    std::vector<Band> rows;
    require(wait_for([&] { return (rows = ink_bands(x, list)).size() == 3; }), "no rows");
    x.move_pointer(list.x + 10, list.y + rows[1].centre());
    x.click(3);
    require(wait_for([&] { return first_of_type(x, "POPUP_MENU") != 0; }), "no menu");
}

void run(const char *program, int cycles) {
    TempDir tmp;
    const std::string home = tmp.file("home");
    mkdir(home.c_str(), 0700);
    write_file(home + "/.quorvanerc", "First=true\nSecond=true\nThird=true\ndelay:0\n"
                                      "restart_quorvane:0\ndefault_wm:0\ngoback_btn:3\n");
    Xvfb xvfb;
    XClient x(xvfb.display());
    Process app({program, "-d"},
                {{"HOME", home}, {"DISPLAY", xvfb.display()}, {"PATH", "/usr/bin:/bin"}},
                tmp.file("out"), tmp.file("err"));
    const Window main = x.wait_for_viewable("quorvane " QUORVANE_VERSION);
    require(main != 0, "the program shows no window");

    printf("%8s %12s %10s %9s\n", "menus", "RssAnon kB", "VmRSS kB", "windows");
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        open_menu(x, main);
        if (cycle % 2 == 1) {
            x.key("Escape");
        } else {
            x.key("d");
            x.key("Return");
            Window box = 0;
            require(wait_for([&] { return (box = first_of_type(x, "DIALOG")) != 0; }), "no box");
            x.close_window(box);
            require(wait_for([&] { return first_of_type(x, "DIALOG") == 0; }), "box stays");
        }
        require(wait_for([&] { return first_of_type(x, "POPUP_MENU") == 0; }), "menu stays");
        if (cycle == 1 || cycle % 100 == 0 || cycle == cycles)
            printf("%8d %12ld %10ld %9zu\n", cycle, status_kb(app.pid(), "RssAnon"),
                   status_kb(app.pid(), "VmRSS"), top_level_window_count(x));
        fflush(stdout);
    }
    x.close_window(main);
    app.wait_exit();
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: menu_memory_bench QUORVANE CYCLES\n");
        return 2;
    }
    try {
        run(argv[1], atoi(argv[2]));
    } catch (const std::exception &e) {
        fprintf(stderr, "menu_memory_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
