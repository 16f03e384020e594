#pragma once

// The shared state record that the parsers read (product id, firmware
// version, settings), created once per fuzz process and kept until it ends.

#include "core/state/app_global_state.h"

inline AppGlobalState& FuzzApp() {
    static AppGlobalState* const app = [] {
        if (g_lpApp == nullptr) {
            g_lpApp = new AppGlobalState();
        }
        return g_lpApp;
    }();
    return *app;
}
