#include "dialogs/preferences.h"

#include "mainwin/countdown.h"

// The window itself is still to come; opening it already ends the countdown.
void show_preferences(GtkWidget *, gpointer state) {
    stop_countdown(static_cast<AppState *>(state));
}
