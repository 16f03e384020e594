#include "core/state/global_state_setup.h"

#include <mutex>
#include <thread>

#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"

namespace {

// Held while the record is created or deleted, and while another thread
// saves its settings.
std::mutex g_recordLock;

}  // namespace

int CreateGlobalState() {
    {
        std::lock_guard lock(g_recordLock);
        delete g_lpApp;
        g_lpApp = new AppGlobalState();
    }
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
    std::lock_guard lock(g_recordLock);
    delete g_lpApp;
    g_lpApp = nullptr;
}

bool SaveSettingsWhileStateExists(std::chrono::milliseconds bound) {
    // Tried in short steps rather than with a timed lock, which not every
    // thread checker follows.
    const auto until = std::chrono::steady_clock::now() + bound;
    std::unique_lock lock(g_recordLock, std::defer_lock);
    while (!lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (g_lpApp == nullptr)
        return false;
    return g_lpApp->CSettingINI.SaveToFile(g_lpApp->b_TurboRepeatStep);
}
