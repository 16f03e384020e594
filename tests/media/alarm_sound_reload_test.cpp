// Kernel message 4 (reload the alarm sound) against the real media services:
// the alarm sound's events are replaced under the login-resource lock, the
// playing thread ends before its events go, and the play block shares the
// done event, so that neither a tear-down nor a reload frees it under the
// output's callback.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "core/application/subsystem_services.h"
#include "core/login/kernel_message.h"
#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "core/state/global_state_setup.h"
#include "media/alarm_wave_player.h"
#include "media/media_services.h"
#include "media/media_state.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/thread.h"
#include "tests/media/wave_bytes.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/recording_wave_out.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using namespace wavebytes;

constexpr auto kPromptly = 10s;

class AlarmSoundReloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateGlobalState();
        g_lpApp->CSettingINI.m_strProgramDir = (m_dir.path() / "").string();
        g_lpApp->CSettingINI.m_strTriggerWavPath = (m_dir / "trigger.wav").string();
        WriteFile(m_dir / "trigger.wav",
                  Riff(Chunk("fmt ", PcmBody(1, 8000, 8)) + Chunk("data", Samples(12000))));
        ASSERT_EQ(InitProcessResource(), 1);
    }
    void TearDown() override {
        ExitLoginResource();
        ExitProcessResource();
        GetMediaState().C_AlarmWave.LoadWave((m_dir / "none.wav").string(), m_dir.path());
        DeleteGlobalState();
    }

    // Posts code 4 and returns once it has been carried out: the mailbox
    // takes the next request only then.
    static void Reload() {
        ASSERT_TRUE(PostKernelMessage(kReloadAlarmSoundMessage));
        ASSERT_TRUE(PostKernelMessage(3));
    }

    // Starts the playing thread on the current sound, as the main window's
    // alarm-sound handler does.
    static void StartSound() {
        AppGlobalState& app = *g_lpApp;
        const auto lock = LockLoginResources();
        app.h_PlayAudioWavThread = std::make_unique<platform::Thread>();
        ASSERT_TRUE(app.h_PlayAudioWavThread->Start(
            [block = GetMediaState().C_AlarmWave.CurrentBlock(), done = app.h_WaveOutDoneEvent,
             stop = app.h_StopAlarmAudioEvent] { return PlayAlarmWavThread(block, *done, *stop); },
            "alarm-wave"));
    }

    test_support::TempDir m_dir;
    test_support::RecordingWaveOut m_output;
    platform::ScopedWaveOutProvider m_installed{m_output};
    test_support::ScopedMessageBoxRecorder m_boxes;
    ScopedMediaServices m_services;
};

// The output may still report a finished buffer after the tear-down has
// closed the program's handle of the done event: the block's share keeps it.
TEST_F(AlarmSoundReloadTest, DoneEventOutlivesTheTearDown) {
    Reload();
    AppGlobalState& app = *g_lpApp;
    const auto block = GetMediaState().C_AlarmWave.CurrentBlock();
    ASSERT_TRUE(block);
    ASSERT_TRUE(app.h_WaveOutDoneEvent);
    ASSERT_TRUE(app.h_StopAlarmAudioEvent);
    EXPECT_EQ(block->doneEvent.Load(), app.h_WaveOutDoneEvent);

    EXPECT_EQ(ExitLoginResource(), 1);
    EXPECT_FALSE(app.h_WaveOutDoneEvent);
    WaveOutCallback(*block, block->headers[0]);
    const auto done = block->doneEvent.Load();
    ASSERT_TRUE(done);
    EXPECT_TRUE(done->IsSet());
    EXPECT_TRUE(m_boxes.Ids().empty());
}

// A reload while the sound plays ends the playing thread before it replaces
// the events the thread waits on; the new sound then plays on new events.
TEST_F(AlarmSoundReloadTest, ReloadEndsThePlayingThreadFirst) {
    Reload();
    AppGlobalState& app = *g_lpApp;
    StartSound();
    ASSERT_TRUE(m_output.WaitForWrites(8, kPromptly));
    const auto oldDone = app.h_WaveOutDoneEvent;
    const auto oldStop = app.h_StopAlarmAudioEvent;

    Reload();
    EXPECT_FALSE(app.h_PlayAudioWavThread);
    EXPECT_EQ(m_output.CloseCount(), 1);
    ASSERT_TRUE(app.h_WaveOutDoneEvent);
    EXPECT_NE(app.h_WaveOutDoneEvent, oldDone);
    EXPECT_NE(app.h_StopAlarmAudioEvent, oldStop);

    StartSound();
    ASSERT_TRUE(m_output.WaitForWrites(16, kPromptly));
    EXPECT_EQ(ExitLoginResource(), 1);
    EXPECT_FALSE(app.h_PlayAudioWavThread);
    EXPECT_EQ(m_output.CloseCount(), 2);
}

// A file that does not load shows message 4096 and keeps the events.
TEST_F(AlarmSoundReloadTest, UnloadableFileKeepsTheEvents) {
    Reload();
    AppGlobalState& app = *g_lpApp;
    const auto done = app.h_WaveOutDoneEvent;
    std::filesystem::remove(m_dir / "trigger.wav");
    Reload();
    EXPECT_EQ(m_boxes.Ids(), std::vector<unsigned>{4096});
    EXPECT_EQ(app.h_WaveOutDoneEvent, done);
}

// Reloads racing with tear-downs: each replaces or closes the events whole
// (run under the sanitizers and the thread checker).
TEST_F(AlarmSoundReloadTest, ReloadsRacingWithTearDownsLeaveNoHalfState) {
    platform::ManualClock clock;  // the tear-down's pause passes at once
    platform::ScopedClockSource useClock(clock);
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(PostKernelMessage(kReloadAlarmSoundMessage));
        EXPECT_EQ(ExitLoginResource(), 1);
    }
    ASSERT_TRUE(PostKernelMessage(3));
    AppGlobalState& app = *g_lpApp;
    const auto lock = LockLoginResources();
    EXPECT_EQ(static_cast<bool>(app.h_WaveOutDoneEvent),
              static_cast<bool>(app.h_StopAlarmAudioEvent));
    EXPECT_TRUE(m_boxes.Ids().empty());
}

}  // namespace
