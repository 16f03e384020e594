#include "liveview/window/alarm_sound.h"

#include <atomic>
#include <chrono>
#include <memory>

#include "core/application/string_table.h"
#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "media/alarm_wave_player.h"
#include "media/media_state.h"

namespace {

// How long a stop waits for the playing thread to end.
constexpr std::chrono::milliseconds kPlayThreadStop{10};

// Set once the load failure of the current alarm was shown.
std::atomic<bool> g_loadFailureShown{false};

void StopPlayThread(AppGlobalState& app) {
    if (app.h_PlayAudioWavThread) {
        app.h_PlayAudioWavThread->Stop(kPlayThreadStop);
        app.h_PlayAudioWavThread.reset();
    }
}

}  // namespace

int StartAlarmSound() {
    if (g_lpApp == nullptr)
        return -1;
    AppGlobalState& app = *g_lpApp;
    bool loadFailed = false;
    {
        const auto lock = LockLoginResources();
        if (app.f_AlarmAudioStarted)
            return 0;
        if (app.h_StopAlarmAudioEvent)
            app.h_StopAlarmAudioEvent->Set();
        // The old thread ends before its block is retired by the new load.
        StopPlayThread(app);
        auto done = std::make_shared<platform::Event>(false, false);
        if (!Media().LoadAlarmWave(app.CSettingINI.m_strTriggerWavPath.Get(), done)) {
            loadFailed = true;
        } else {
            auto stop = std::make_shared<platform::Event>(false, false);
            app.h_WaveOutDoneEvent = done;
            app.h_StopAlarmAudioEvent = stop;
            auto thread = std::make_unique<platform::Thread>();
            std::shared_ptr<AlarmPlayBlock> block = GetMediaState().C_AlarmWave.CurrentBlock();
            if (!thread->Start(
                    [block, done, stop] { return PlayAlarmWavThread(block, *done, *stop); },
                    "alarm sound")) {
                WriteTraceLine("alarm sound: playing thread not started");
                return -1;
            }
            app.h_PlayAudioWavThread = std::move(thread);
            app.f_AlarmAudioPlaying = true;
            app.f_AlarmAudioStarted = true;
            return 0;
        }
    }
    // The box is shown outside the lock: a modal box must not hold up the
    // tear-down.
    if (loadFailed && !g_loadFailureShown.exchange(true))
        ShowMessage(4096);
    return -1;
}

int StopAlarmSound() {
    if (g_lpApp == nullptr)
        return 0;
    AppGlobalState& app = *g_lpApp;
    g_loadFailureShown = false;
    const auto lock = LockLoginResources();
    app.f_AlarmAudioStarted = false;
    if (app.f_AlarmAudioPlaying.exchange(false) && app.h_StopAlarmAudioEvent)
        app.h_StopAlarmAudioEvent->Set();
    StopPlayThread(app);
    return 0;
}

void StopAlarmSoundByClick() {
    if (g_lpApp == nullptr)
        return;
    AppGlobalState& app = *g_lpApp;
    if (!app.f_AlarmAudioPlaying)
        return;
    const auto lock = LockLoginResources();
    if (app.f_AlarmAudioPlaying.exchange(false) && app.h_StopAlarmAudioEvent)
        app.h_StopAlarmAudioEvent->Set();
}

int OnPostAlarmAudio(std::uint64_t lParam) {
    return lParam == 2 ? StopAlarmSound() : StartAlarmSound();
}
