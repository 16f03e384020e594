#include "core/state/global_state_setup.h"

#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"

int CreateGlobalState() {
    delete g_lpApp;
    g_lpApp = new AppGlobalState();
    // The constructor gives every member its default (cleared handles and
    // counters, record options 4 and 2, "1.0.5.6", a click mode of 1, the
    // hot-point rectangle, a turbo step of 5 and no lifetime limit); what
    // remains is the set-up that reaches into the other subsystems.
    Media().InitFrameTimer();
    const int loaded = LiveView().LoadCtrlFile();
    LiveView().MatchCtrlFileDevices();
    g_szSessionCookie.Clear();
    return loaded;
}

void DeleteGlobalState() {
    delete g_lpApp;
    g_lpApp = nullptr;
}
