// SPDX-License-Identifier: GPL-2.0-or-later
#include "launch/launcher.h"

#include "app/glib_ptr.h"
#include "app/i18n.h"
#include "app/message.h"
#include "app/window_focus.h"
#include "dialogs/message_box.h"
#include "launch/exec_plan.h"
#include "wmlist/config_file.h"
#include "wmlist/wm_list.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kFailedStart = 128;

void report_failed_start(const char *command, const char *description) {
    // TRANSLATORS: shown in an error box and on standard error when a window
    // manager cannot be started: the first %s is its command, the second its
    // description.
    const GCharPtr text = format_message(tr("Cannot start \"%s\" (%s)"), command, description);
    log_warning("%s", text.get());
    show_message(text.get(), GTK_MESSAGE_ERROR);
}

// The save before the launch left another program's edit in the file, so
// the list that came back is the file's: without a word, the changes made in
// the list since it was read would be gone unseen.
void report_list_read_again(const AppState *state, const char *description) {
    const GCharPtr text = format_message(
        // TRANSLATORS: shown in a message box when the list comes back after
        // a window manager started with the go-back check button has ended:
        // the first %s is the window manager's description, the second the
        // path of the configuration file.
        tr("The list was not saved when \"%s\" started: another program had changed %s since "
           "quorvane read or wrote it. The list now shows what that file holds."),
        description, state->config_path->str);
    show_message(text.get(), GTK_MESSAGE_WARNING);
}

// While the child runs the program cannot answer, so none of its windows may
// stay on screen: a torn-off menu left there could not even be closed. The
// unmaps must reach the X server now: a request left in the output buffer
// would keep a window on screen for the child's whole lifetime.
std::vector<GObjectPtr<GtkWidget>> hide_windows() {
    std::vector<GObjectPtr<GtkWidget>> hidden;
    const GListPtr windows(gtk_window_list_toplevels());
    for (GList *item = windows.get(); item != nullptr; item = item->next) {
        GtkWidget *window = GTK_WIDGET(item->data);
        // Popups (menus, the list's type-ahead) close by themselves.
        if (!gtk_widget_get_visible(window) ||
            gtk_window_get_window_type(GTK_WINDOW(window)) != GTK_WINDOW_TOPLEVEL)
            continue;
        hidden.emplace_back(GTK_WIDGET(g_object_ref(window)));
        gtk_widget_hide(window);
    }
    while (gtk_events_pending())
        gtk_main_iteration();
    gdk_flush();
    return hidden;
}

// The main window comes back last, with the keyboard on the list.
void show_windows(AppState *state, const std::vector<GObjectPtr<GtkWidget>> &windows) {
    bool main_window_hidden = false;
    for (const GObjectPtr<GtkWidget> &window : windows) {
        if (window.get() == state->window)
            main_window_hidden = true;
        else
            show_on_screen(window.get());
    }
    if (main_window_hidden)
        show_with_focus(state->window, state->tree_view);
}

enum class ChildEnd { Collected, CollectedElsewhere, NotCreated };

ChildEnd run_child(const ExecPlan &plan, int *status) {
    sigset_t child_signal;
    sigset_t saved_mask;
    sigemptyset(&child_signal);
    sigaddset(&child_signal, SIGCHLD);
    // With SIGCHLD held back, reap_children cannot collect the child before
    // our own wait does, so a failed start is always seen.
    const bool blocked = sigprocmask(SIG_BLOCK, &child_signal, &saved_mask) == 0;
    if (!blocked)
        log_warning("sigprocmask failed");

    const pid_t pid = fork();
    if (pid == 0) {
        // Async-signal-safe calls only from here on: the plan was made before.
        if (blocked && sigprocmask(SIG_SETMASK, &saved_mask, nullptr) != 0)
            _exit(kFailedStart);
        run_exec_plan(plan);
        _exit(kFailedStart);
    }

    ChildEnd end = ChildEnd::NotCreated;
    while (pid > 0) {
        const pid_t done = waitpid(pid, status, 0);
        if (done == pid) {
            end = ChildEnd::Collected;
            break;
        }
        if (done < 0 && errno == ECHILD) {
            end = ChildEnd::CollectedElsewhere;
            break;
        }
    }
    if (blocked && sigprocmask(SIG_SETMASK, &saved_mask, nullptr) != 0)
        log_warning("sigprocmask failed");
    return end;
}

// The SIGCHLD handler: collects every child that has ended, errno as it was.
void reap_children(int) {
    const int saved_errno = errno;
    while (true) {
        const pid_t pid = waitpid(-1, nullptr, WNOHANG);
        if (pid > 0)
            continue;
        if (pid < 0 && errno == EINTR)
            continue;
        break;
    }
    errno = saved_errno;
}

} // namespace

void install_child_reaper() {
    struct sigaction action = {};
    action.sa_handler = reap_children;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_NOCLDSTOP;
    if (sigaction(SIGCHLD, &action, nullptr) != 0) {
        log_warning("sigaction failed");
        exit(1);
    }
}

void launch_selected_wm(AppState *state) {
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(state->tree_view));
    GtkTreeModel *model = nullptr;
    GtkTreeIter row;
    if (!gtk_tree_selection_get_selected(selection, &model, &row))
        return;
    const WmRow wm = read_wm_row(model, &row);
    const char *command_or_empty = wm.command.c_str();
    const char *description_or_empty = wm.description.c_str();

    const SaveResult saved = save_config(state);
    const ExecPlan plan = prepare_exec(command_or_empty);

    if (state->restart == 0) {
        run_exec_plan(plan);
        // The exec failed and the program goes on, so every action that
        // run_exec_plan changed goes back. SIGCHLD's reaper needs nothing
        // more: the plan changes SIGCHLD only when the program was started
        // with it ignored, and then it kept the reaper among the actions
        // before, which this puts back.
        restore_signals(plan);
        report_failed_start(command_or_empty, description_or_empty);
        return;
    }

    const std::vector<GObjectPtr<GtkWidget>> hidden = hide_windows();
    int status = 0;
    const ChildEnd end = run_child(plan, &status);
    // The file as the list comes back is what the person wants now: the list
    // was saved before the launch, and an edit made since, by hand in the
    // window manager's session, say, is newer.
    const bool read_again = reload_config_if_changed(state);
    show_windows(state, hidden);
    if (read_again && saved == SaveResult::FileChanged)
        report_list_read_again(state, description_or_empty);
    if (end == ChildEnd::NotCreated ||
        (end == ChildEnd::Collected && WIFEXITED(status) && WEXITSTATUS(status) == kFailedStart))
        report_failed_start(command_or_empty, description_or_empty);
}
