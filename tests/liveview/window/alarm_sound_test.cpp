// The alarm sound's start and stop orders, from the window's message and
// from several threads, through the null sink of the tests.

#include "liveview/window/alarm_sound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "core/application/window_messages.h"
#include "core/state/app_global_state.h"
#include "media/media_services.h"
#include "platform/program_folder.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/media/wave_bytes.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/recording_wave_out.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

class AlarmSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_lpApp = new AppGlobalState();
        platform::SetProgramFolder(folder.path());
        wave = folder.path() / "siren.wav";
        wavebytes::WriteFile(
            wave, wavebytes::Riff(wavebytes::Chunk("fmt ", wavebytes::PcmBody(1, 8000, 8)) +
                                  wavebytes::Chunk("data", wavebytes::Samples(20000))));
        g_lpApp->CSettingINI.m_strTriggerWavPath = wave.string();
    }
    void TearDown() override {
        StopAlarmSound();
        delete g_lpApp;
        g_lpApp = nullptr;
        platform::ResetProgramFolder();
    }

    bool Playing() const { return g_lpApp->f_AlarmAudioPlaying.load(); }

    test_support::TempDir folder;
    std::filesystem::path wave;
    test_support::RecordingWaveOut output;
    platform::ScopedWaveOutProvider useOutput{output};
    ScopedMediaServices media;
    test_support::ScopedMessageBoxRecorder boxes;
};

TEST_F(AlarmSoundTest, StartPlaysOnceUntilStopped) {
    EXPECT_EQ(OnPostAlarmAudio(0), 0);
    ASSERT_TRUE(output.WaitForWrites(8, 5s));
    EXPECT_TRUE(Playing());
    EXPECT_EQ(OnPostAlarmAudio(0), 0);  // a second start is ignored
    EXPECT_EQ(output.OpenedFormats().size(), 1u);

    EXPECT_EQ(OnPostAlarmAudio(2), 0);
    EXPECT_TRUE(output.WaitForCloses(1, 5s));
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(g_lpApp->h_PlayAudioWavThread);

    EXPECT_EQ(OnPostAlarmAudio(7), 0);  // any other value starts
    ASSERT_TRUE(output.WaitForWrites(16, 5s));
    EXPECT_EQ(output.OpenedFormats().size(), 2u);
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(AlarmSoundTest, ClickStopsButTheNextAlarmWaitsForTheStop) {
    ASSERT_EQ(StartAlarmSound(), 0);
    ASSERT_TRUE(output.WaitForWrites(8, 5s));
    StopAlarmSoundByClick();
    StopAlarmSoundByClick();  // repeated clicks are harmless
    EXPECT_TRUE(output.WaitForCloses(1, 5s));
    EXPECT_FALSE(Playing());
    StartAlarmSound();  // still started: nothing plays
    EXPECT_EQ(output.OpenedFormats().size(), 1u);
    StopAlarmSound();
    StartAlarmSound();
    ASSERT_TRUE(output.WaitForWrites(16, 5s));
    EXPECT_EQ(output.OpenedFormats().size(), 2u);
}

TEST_F(AlarmSoundTest, UnreadableFileShowsItsMessageOncePerAlarm) {
    g_lpApp->CSettingINI.m_strTriggerWavPath = (folder.path() / "gone.wav").string();
    EXPECT_EQ(StartAlarmSound(), -1);
    EXPECT_EQ(StartAlarmSound(), -1);  // the next alarm frame tries again, quietly
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(g_lpApp->f_AlarmAudioStarted.load());
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4096});
    StopAlarmSound();
    EXPECT_EQ(StartAlarmSound(), -1);
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4096, 4096}));
    EXPECT_EQ(output.OpenedFormats().size(), 0u);
}

TEST_F(AlarmSoundTest, StartAndStopFromManyThreads) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 25; ++i) {
                if ((i + t) % 3 == 0)
                    StopAlarmSound();
                else if ((i + t) % 3 == 1)
                    StartAlarmSound();
                else
                    StopAlarmSoundByClick();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    StopAlarmSound();
    EXPECT_FALSE(g_lpApp->h_PlayAudioWavThread);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(output.OpenCount(), 0);
}

// The stream's alarm reaches the sound through the main window's message.
class AlarmSoundWindowTest : public window_test::WindowTest {};

TEST_F(AlarmSoundWindowTest, WindowMessageStartsAndStops) {
    test_support::RecordingWaveOut output;
    platform::ScopedWaveOutProvider useOutput{output};
    ScopedMediaServices media;
    ASSERT_EQ(Open("Q8A7"), 1);
    const auto wave = window_test::SkinFolder() / "alarm_test.wav";
    wavebytes::WriteFile(wave,
                         wavebytes::Riff(wavebytes::Chunk("fmt ", wavebytes::PcmBody(1, 8000, 8)) +
                                         wavebytes::Chunk("data", wavebytes::Samples(9000))));
    settings().m_strTriggerWavPath = wave.string();
    platform::PostWindowMessage(window->Handle(), WM_POSTALARMAUDIO, 0, 0);
    Pump();
    ASSERT_TRUE(output.WaitForWrites(8, 5s));
    platform::PostWindowMessage(window->Handle(), WM_POSTALARMAUDIO, 0, 2);
    Pump();
    EXPECT_TRUE(output.WaitForCloses(1, 5s));
    EXPECT_FALSE(g_lpApp->h_PlayAudioWavThread);
    window.reset();
}

}  // namespace
