// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up runs in a fixed order: each step needs what the one before it set
// up (the options may print translated text, loading needs the window's list,
// the go-back button's "toggled" must see a countdown that may have started).
// Only the options come before the display is opened.
#include "app/app_state.h"
#include "app/command_line.h"
#include "app/i18n.h"
#include "app/window_focus.h"
#include "dialogs/message_box.h"
#include "dialogs/search.h"
#include "launch/exec_plan.h"
#include "launch/launcher.h"
#include "mainwin/countdown.h"
#include "mainwin/main_window.h"
#include "wmlist/config_file.h"

#include <gtk/gtk.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Started with standard error closed, the display's connection would take
// its number and every warning would go to the X server. Each closed one of
// the three is opened on /dev/null, which takes the lowest free number.
void open_closed_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDWR) != fd)
            return;
}

} // namespace

int main(int argc, char **argv) {
    open_closed_standard_descriptors();
    // Before the toolkit ignores anything: the window manager gets these back.
    remember_inherited_signals();
    ignore_file_size_signal();
    bindtextdomain(QUORVANE_TEXT_DOMAIN, QUORVANE_LOCALE_DIR);
    bind_textdomain_codeset(QUORVANE_TEXT_DOMAIN, "UTF-8");
    textdomain(QUORVANE_TEXT_DOMAIN);

    // The toolkit takes its own options out, and selects the locale, before
    // ours are read; help and version then print on a console too, where the
    // display cannot be opened. Everything else needs the display.
    gtk_parse_args(&argc, &argv);
    AppState state{};
    state.save_on_exit = 1;
    set_default_config_path(&state);
    parse_command_line(argc, argv, &state);

    gtk_init(&argc, &argv);
    install_child_reaper();

    GtkWidget *goback = create_main_window(&state);
    const int loaded = load_config(&state);
    // In a list not read whole, the saved default position may name another entry.
    start_countdown(&state, state.config_read_error ? 0 : loaded);
    if (loaded == 0 &&
        ask_question(tr("There isn't any window manager configured !\nShould I search for known "
                        "ones ?\n\nYou can also edit the list by right clicking on it.")) ==
            GTK_RESPONSE_YES)
        select_appended_rows(&state, search_known_wms(&state));
    if (state.restart != 0)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(goback), TRUE);
    // The default row, where the countdown leads, is in sight.
    scroll_to_selected_row(&state);

    show_with_focus(state.window, state.tree_view);
    gtk_main();
    return 0;
}
