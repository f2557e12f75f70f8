// The search for known window managers in fixed folders, and its result dialog.
#pragma once

#include "app/app_state.h"

// Runs the search and its dialog to the end; may append rows to the list.
void search_known_wms(AppState *state);
