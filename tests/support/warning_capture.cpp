// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/warning_capture.h"

WarningCapture::WarningCapture() {
    handler_ = g_log_set_handler(nullptr, G_LOG_LEVEL_WARNING, collect, this);
}

WarningCapture::~WarningCapture() {
    g_log_remove_handler(nullptr, handler_);
}

void WarningCapture::collect(const gchar *, GLogLevelFlags, const gchar *message, gpointer self) {
    static_cast<WarningCapture *>(self)->messages_.push_back(message);
}
