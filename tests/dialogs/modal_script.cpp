// SPDX-License-Identifier: GPL-2.0-or-later
#include "dialogs/modal_script.h"

namespace {

const gint64 kStepLimitUs = 10 * G_USEC_PER_SEC;

void collect(GtkWidget *widget, gpointer list) {
    auto *widgets = static_cast<std::vector<GtkWidget *> *>(list);
    widgets->push_back(widget);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), collect, list);
}

// Ends whatever blocking call a stuck test is waiting in.
void close_all_windows() {
    GList *windows = gtk_window_list_toplevels();
    for (GList *item = windows; item != nullptr; item = item->next) {
        GtkWidget *window = GTK_WIDGET(item->data);
        if (!gtk_widget_get_visible(window))
            continue;
        if (GTK_IS_DIALOG(window))
            gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CANCEL);
        else if (gtk_window_get_modal(GTK_WINDOW(window)))
            gtk_widget_destroy(window);
    }
    g_list_free(windows);
}

} // namespace

ModalScript::ModalScript(std::vector<std::function<bool()>> steps) : steps_(std::move(steps)) {
    step_started_ = g_get_monotonic_time();
    timer_ = g_timeout_add(5, tick, this);
}

ModalScript::~ModalScript() {
    if (timer_ != 0)
        g_source_remove(timer_);
}

gboolean ModalScript::tick(gpointer data) {
    auto *self = static_cast<ModalScript *>(data);
    if (self->next_ < self->steps_.size() && self->steps_[self->next_]()) {
        ++self->next_;
        self->step_started_ = g_get_monotonic_time();
    }
    if (self->next_ == self->steps_.size()) {
        self->timer_ = 0;
        return FALSE;
    }
    if (g_get_monotonic_time() - self->step_started_ > kStepLimitUs) {
        self->timed_out_ = true;
        close_all_windows();
        self->step_started_ = g_get_monotonic_time();
    }
    return TRUE;
}

GtkWidget *shown_window(const std::string &title) {
    GtkWidget *found = nullptr;
    GList *windows = gtk_window_list_toplevels();
    for (GList *item = windows; item != nullptr; item = item->next) {
        GtkWindow *window = GTK_WINDOW(item->data);
        const gchar *text = gtk_window_get_title(window);
        if (text != nullptr && title == text && gtk_widget_get_mapped(GTK_WIDGET(window)))
            found = GTK_WIDGET(window);
    }
    g_list_free(windows);
    return found;
}

std::vector<GtkWidget *> widgets_under(GtkWidget *root) {
    std::vector<GtkWidget *> widgets;
    if (GTK_IS_CONTAINER(root))
        gtk_container_forall(GTK_CONTAINER(root), collect, &widgets);
    return widgets;
}

GtkWidget *button_labelled(GtkWidget *root, const std::string &label) {
    return find_widget(root, [&](GtkWidget *widget) {
        const gchar *text =
            GTK_IS_BUTTON(widget) ? gtk_button_get_label(GTK_BUTTON(widget)) : nullptr;
        return text != nullptr && label == text;
    });
}

void close_like_a_window_manager(GtkWidget *window) {
    GdkEvent *event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->any.send_event = TRUE;
    gtk_main_do_event(event);
    gdk_event_free(event);
}
