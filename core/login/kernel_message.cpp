#include "core/login/kernel_message.h"

#include <filesystem>
#include <memory>
#include <mutex>

#include "core/application/string_table.h"
#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/login/process_control.h"
#include "core/login/session_login.h"
#include "core/state/app_global_state.h"
#include "platform/process_spawn.h"
#include "platform/stop_token.h"
#include "platform/sync.h"

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kTerminateReplyWait{10'000};
constexpr milliseconds kAlarmSoundThreadStop{10};
constexpr std::uint32_t kConnectButtonBit = 1;
constexpr std::uint8_t kNotConnectedState = 1;
constexpr char kPlayerProgram[] = "VideoPlayer.exe";

struct Mailbox {
    std::shared_ptr<platform::Semaphore> post;
    std::shared_ptr<platform::Semaphore> free;
    std::shared_ptr<platform::Event> closed;
};

Mailbox CurrentMailbox() {
    if (g_lpApp == nullptr)
        return {};
    std::lock_guard lock(g_lpApp->m_KernelMailboxLock);
    return {g_lpApp->h_KernelMessagePostSem, g_lpApp->h_KernelMessageMutexSem,
            g_lpApp->h_KernelMailboxClosedEvent};
}

// Takes the mailbox; false when it is closed or the caller is being stopped.
bool AcquireMailbox(const Mailbox& box) {
    if (!box.post || !box.free || !box.closed)
        return false;
    return platform::WaitForAny({box.free.get(), box.closed.get()}, platform::kInfinite) == 0;
}

// Code 1: tear streaming down and start a new login. `failedSet` names the
// streaming set whose stream failed (0: none in particular). One failure
// gives at most one login: a failure of a set that has been replaced since
// (a login of the operator's, or an earlier restart, built a new one) is
// already answered, and after the operator's disconnect nothing logs in by
// itself.
bool RestartSession(AppGlobalState&, std::uint64_t failedSet) {
    const auto session = LockSessionControl();
    if (!SessionWanted()) {
        WriteTraceLine("stream failure after the disconnect: no new login");
        return true;
    }
    if (failedSet != 0 && failedSet != StreamingSetNumber()) {
        WriteTraceLine("stream failure of a replaced set: no new login");
        return true;
    }
    Media().StopAlarmAndScheduleRecords();
    WriteTraceLine("case Get_Image_TimeOut_Message");
    RequestStreamingTearDown(kTerminateReplyWait);
    LiveView().SetCommandButtonsState(kConnectButtonBit, kNotConnectedState);
    LiveView().ClearInfoTexts();
    StopSessionLoginThread();
    // Shutdown stops this thread while it waits: it starts nothing then.
    if (platform::CurrentStopToken().stop_requested())
        return true;
    return StartSessionLoginThread();
}

// Code 4. The events are replaced under the login-resource lock, which the
// tear-down holds while it closes them, and only once the sound thread that
// waits on them has ended; the play block keeps its own share of the done
// event for the output's callbacks.
void ReloadAlarmSound(AppGlobalState& app) {
    bool loaded = false;
    {
        const auto lock = LockLoginResources();
        if (app.h_StopAlarmAudioEvent)
            app.h_StopAlarmAudioEvent->Set();
        if (app.h_PlayAudioWavThread) {
            app.h_PlayAudioWavThread->Stop(kAlarmSoundThreadStop);
            app.h_PlayAudioWavThread.reset();
        }
        auto done = std::make_shared<platform::Event>(false, false);
        loaded = Media().LoadAlarmWave(app.CSettingINI.m_strTriggerWavPath.Get(), done);
        if (loaded) {
            app.h_WaveOutDoneEvent = std::move(done);
            app.h_StopAlarmAudioEvent = std::make_shared<platform::Event>(false, false);
        }
    }
    if (!loaded)
        ShowMessage(4096);
}

void StopReloadedAlarmSound(AppGlobalState& app) {
    if (!app.f_AlarmAudioReload.exchange(false))
        return;
    const auto lock = LockLoginResources();
    if (app.h_StopAlarmAudioEvent)
        app.h_StopAlarmAudioEvent->Set();
}

void PlayFile(AppGlobalState& app) {
    const std::filesystem::path player =
        std::filesystem::path(app.CSettingINI.m_strProgramDir.Get()) / kPlayerProgram;
    if (!platform::SpawnDetached(player, {app.str_KernelMessageText, "CONVERT=0"})) {
        ShowMessage(4108);
    }
}

}  // namespace

void CreateKernelMailbox() {
    std::lock_guard lock(g_lpApp->m_KernelMailboxLock);
    g_lpApp->h_KernelMessagePostSem = std::make_shared<platform::Semaphore>(0, 1);
    g_lpApp->h_KernelMessageMutexSem = std::make_shared<platform::Semaphore>(1, 1);
    g_lpApp->h_KernelMailboxClosedEvent = std::make_shared<platform::Event>(true, false);
}

void CloseKernelMailbox() {
    const Mailbox box = CurrentMailbox();
    if (box.closed)
        box.closed->Set();
}

void DestroyKernelMailbox() {
    if (g_lpApp == nullptr)
        return;
    std::lock_guard lock(g_lpApp->m_KernelMailboxLock);
    if (g_lpApp->h_KernelMailboxClosedEvent)
        g_lpApp->h_KernelMailboxClosedEvent->Set();
    g_lpApp->h_KernelMessagePostSem.reset();
    g_lpApp->h_KernelMessageMutexSem.reset();
    g_lpApp->h_KernelMailboxClosedEvent.reset();
}

bool PostKernelMessage(std::uint32_t code, std::uintptr_t arg0, std::uintptr_t arg1) {
    if (code == Get_Image_TimeOut_Message && platform::CurrentStopToken().stop_requested()) {
        return false;
    }
    const Mailbox box = CurrentMailbox();
    if (!AcquireMailbox(box))
        return false;
    g_lpApp->dw_KernelMessage = code;
    g_lpApp->dw_KernelMessageArg = {arg0, arg1};
    box.post->Release();
    return true;
}

bool PostPlayFileMessage(const std::string& path) {
    const Mailbox box = CurrentMailbox();
    if (!AcquireMailbox(box))
        return false;
    g_lpApp->dw_KernelMessage = kPlayFileMessage;
    g_lpApp->dw_KernelMessageArg = {0, 0};
    g_lpApp->str_KernelMessageText = path;
    box.post->Release();
    return true;
}

std::uint32_t Process_KernelMessageThread() {
    AppGlobalState& app = *g_lpApp;
    const Mailbox box = CurrentMailbox();
    if (!box.post || !box.free)
        return 0;
    for (;;) {
        const platform::WaitResult waited = box.post->Wait(platform::kInfinite);
        if (waited == platform::WaitResult::Stopped)
            break;
        if (waited != platform::WaitResult::Signaled)
            continue;

        const std::uint32_t code = app.dw_KernelMessage;
        bool endThread = false;
        switch (code) {
            case Get_Image_TimeOut_Message:
                endThread = !RestartSession(app, app.dw_KernelMessageArg[0]);
                break;
            case kDrawFrameMessage:
                LiveView().DrawVideoFrame();
                break;
            case kReloadAlarmSoundMessage:
                ReloadAlarmSound(app);
                break;
            case kStopReloadedAlarmSoundMessage:
                StopReloadedAlarmSound(app);
                break;
            case kEndKernelThreadMessage:
                endThread = true;
                break;
            case kPlayFileMessage:
                PlayFile(app);
                break;
            default:
                break;  // 3 and unknown codes do nothing
        }
        if (endThread)
            break;
        box.free->Release();
    }
    // Nobody carries requests out any more: waiting posters give up.
    if (box.closed)
        box.closed->Set();
    return 0;
}
