// SPDX-License-Identifier: GPL-2.0-or-later
// Driving a window that a blocking call shows and waits on: the steps run from
// a timer inside the call's own main loop, one after the other.
#pragma once

#include "support/gtk_probe.h"

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

// Each step is tried every few milliseconds until it returns true. A step that
// does not finish in time fails the script, and the script then closes every
// window it finds so that the blocking call returns.
class ModalScript {
  public:
    explicit ModalScript(std::vector<std::function<bool()>> steps);
    ~ModalScript();
    ModalScript(const ModalScript &) = delete;
    ModalScript &operator=(const ModalScript &) = delete;

    bool finished() const { return next_ == steps_.size() && !timed_out_; }
    bool timed_out() const { return timed_out_; }

  private:
    static gboolean tick(gpointer self);

    std::vector<std::function<bool()>> steps_;
    size_t next_ = 0;
    bool timed_out_ = false;
    gint64 step_started_ = 0;
    guint timer_ = 0;
};

// The shown top-level window with this title, or nullptr.
GtkWidget *shown_window(const std::string &title);
// Every widget under root, internal children (a dialog's buttons) included,
// depth first in packing order.
std::vector<GtkWidget *> widgets_under(GtkWidget *root);
template <typename Pred> GtkWidget *find_widget(GtkWidget *root, Pred pred) {
    for (GtkWidget *widget : widgets_under(root))
        if (pred(widget))
            return widget;
    return nullptr;
}
// The button whose label (a stock id or a mnemonic text) is this.
GtkWidget *button_labelled(GtkWidget *root, const std::string &label);
// Sends a delete event, as a window manager's close button does.
void close_like_a_window_manager(GtkWidget *window);
