#include "core/state/app_global_state.h"

#include "core/application/subsystem_services.h"

AppGlobalState* g_lpApp = nullptr;
SharedText g_strHostIP;
SharedText g_szSessionCookie;
std::atomic<std::uint16_t> g_wPendingWebPort{0};
std::atomic<bool> g_bPendingWebPort{false};
SharedText g_strPendingServerName;
std::atomic<bool> g_bPendingServerName{false};

// The version is the project's, given by the build (CMakeLists.txt).
AppGlobalState::AppGlobalState() : str_AppVersion(KESTRUNE_VERSION_TEXT) {
    // The first two record options: 4, 2; the rest cleared.
    b_RecordOptions[0] = 4;
    b_RecordOptions[1] = 2;
}

AppGlobalState::~AppGlobalState() = default;
