#include "wmlist/config_file.h"

int load_config(AppState *state) {
    state->delay = 15.0;
    state->restart = 0;
    state->goback_btn = GOBACK_REMEMBER;
    state->default_wm.reset(g_strdup("0"));
    return 0;
}

void save_config(AppState *) {}
