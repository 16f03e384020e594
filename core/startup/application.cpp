#include "core/startup/application.h"

#include <QGuiApplication>
#include <QScreen>
#include <filesystem>

#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/dialogs/login_dialog.h"
#include "core/login/process_control.h"
#include "core/net/blocking_socket.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "core/state/global_state_setup.h"
#include "core/state/system_buffers.h"

namespace {

constexpr int kTraceLogLines = 300;

bool MainWindowOpensFor(unsigned result) {
    return result == 30 || result == 20 || result == 10 || result == 0;
}

}  // namespace

bool CDravelinApp::InitInstance() {
    if (!StartSockets())
        return false;
    EnableControlContainer();
    SetRegistryKey("Marrowind");
    StoreLocalAddress();
    Enable3dControls();
    if (!CreateGlobalState())
        return false;
    g_lpApp->w_LanguageID = 1033;
    g_lpApp->f_MMX = DetectMmx() != 0;
    ReadDisplayDpi();
    if (!AllocateSystemBuffer())
        return false;
    // A semaphore that cannot be created ends the program like a buffer
    // that cannot be allocated.
    if (!InitialSemaphore())
        return false;
    LoadSettings();
    OpenTraceLogs();

    for (;;) {
        if (RunLoginDialog() != kIdOk)
            return false;
        if (g_lpApp->w_LoginResult.load() != 100)
            break;
    }

    if (!InitProcessResource())
        return false;
    if (!InitLoginResource())
        return false;
    if (MainWindowOpensFor(g_lpApp->w_LoginResult.load()))
        RunMainWindow();
    return false;
}

int CDravelinApp::ExitInstance() {
    if (g_lpApp != nullptr) {
        if (!ExitLoginResource())
            return 0;
        if (!ExitProcessResource())
            return 0;
        if (!FreeSystemBuffer())
            return 0;
        if (!FreeSystemSemaphore())
            return 0;
        FreeLanguageLibrary();
        FreeTraceLog();
        DeleteGlobalState();
    }
    return 0;
}

// Linux sockets need no start-up call.
bool CDravelinApp::StartSockets() {
    return true;
}

int CDravelinApp::StoreLocalAddress() {
    g_strHostIP.Set(GetLocalIPText());
    return 1;
}

int CDravelinApp::CreateGlobalState() {
    return ::CreateGlobalState();
}

int CDravelinApp::ReadDisplayDpi() {
    double dpiX = 96.0;
    double dpiY = 96.0;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            dpiX = screen->logicalDotsPerInchX();
            dpiY = screen->logicalDotsPerInchY();
        }
    }
    g_lpApp->w_DpiX = static_cast<std::uint16_t>(dpiX);
    g_lpApp->w_DpiY = static_cast<std::uint16_t>(dpiY);
    g_lpApp->fl_DpiScale = static_cast<float>(g_lpApp->w_DpiX / 96.0);
    return 1;
}

int CDravelinApp::AllocateSystemBuffer() {
    return ::AllocateSystemBuffer();
}
int CDravelinApp::InitialSemaphore() {
    return ::InitialSemaphore();
}

int CDravelinApp::LoadSettings() {
    std::uint8_t turboRepeatStep = g_lpApp->b_TurboRepeatStep;
    const bool loaded = g_lpApp->CSettingINI.LoadFromFile(turboRepeatStep);
    g_lpApp->b_TurboRepeatStep = turboRepeatStep;
    return loaded ? 1 : 0;
}

void CDravelinApp::OpenTraceLogs() {
    const std::filesystem::path folder = g_lpApp->CSettingINI.m_strProgramDir.Get();
    InitTraceLog(kTraceLogLines, folder);
    g_lpApp->C_DebugTrace.Open(folder);
}

int CDravelinApp::RunLoginDialog() {
    LoginDialog dialog;
    const CSettingINI& settings = g_lpApp->CSettingINI;
    dialog.m_strServerName = settings.m_strServerName.Get();
    dialog.m_strUserName = settings.m_strUserName.Get();
    dialog.m_strPort = std::to_string(settings.m_wWebPort.load());
    dialog.m_strBitRate = "1200";
    return dialog.DoModal();
}

int CDravelinApp::InitProcessResource() {
    return ::InitProcessResource();
}
int CDravelinApp::InitLoginResource() {
    return ::InitLoginResource();
}
void CDravelinApp::RunMainWindow() {
    LiveView().RunMainWindow();
}

int CDravelinApp::ExitLoginResource() {
    return ::ExitLoginResource();
}
int CDravelinApp::ExitProcessResource() {
    return ::ExitProcessResource();
}
int CDravelinApp::FreeSystemBuffer() {
    return ::FreeSystemBuffer();
}
int CDravelinApp::FreeSystemSemaphore() {
    return ::FreeSystemSemaphore();
}
void CDravelinApp::FreeLanguageLibrary() {
    g_lpApp->h_LanguageDll.reset();
}
void CDravelinApp::FreeTraceLog() {
    CloseTraceLog();
}
void CDravelinApp::DeleteGlobalState() {
    ::DeleteGlobalState();
}
