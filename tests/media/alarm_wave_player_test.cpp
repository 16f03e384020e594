#include "media/alarm_wave_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "platform/thread.h"
#include "tests/media/wave_bytes.h"
#include "tests/support/recording_wave_out.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace wavebytes;
using namespace std::chrono_literals;

// Generous bound for what must happen because the test caused it.
constexpr auto kPromptly = 10s;

std::vector<std::uint8_t> Looped(const std::string& samples, std::size_t from, std::size_t count) {
    std::vector<std::uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<std::uint8_t>(samples[(from + i) % samples.size()]);
    }
    return out;
}

// The playing thread against the recording output: the test decides when
// each buffer is done.
class AlarmWavePlayer : public ::testing::Test {
protected:
    void TearDown() override { m_thread.Stop(kPromptly); }

    std::shared_ptr<AlarmPlayBlock> Load(const std::string& name, const std::string& file) {
        WriteFile(m_dir / name, file);
        EXPECT_EQ(m_wave.LoadWave((m_dir / name).string(), m_dir.path()), 1);
        m_wave.SetDoneEvent(m_doneShared);
        return m_wave.CurrentBlock();
    }

    void Start(std::shared_ptr<AlarmPlayBlock> block) {
        ASSERT_TRUE(m_thread.Start(
            [block = std::move(block), this] { return PlayAlarmWavThread(block, m_done, m_stop); },
            "alarm-wave"));
    }

    test_support::TempDir m_dir;
    test_support::RecordingWaveOut m_output;
    platform::ScopedWaveOutProvider m_installed{m_output};
    CAlarmWave m_wave;
    std::shared_ptr<platform::Event> m_doneShared = std::make_shared<platform::Event>(false, false);
    platform::Event& m_done = *m_doneShared;
    platform::Event m_stop{false, false};
    platform::Thread m_thread;  // last: stopped before the rest goes
};

// The 8 buffers go out first, then every buffer the output finishes is
// refilled and queued again; the bytes, in order, are the sound looped
// without a gap.
TEST_F(AlarmWavePlayer, FeedsTheLoopUntilStopped) {
    const std::string samples = Samples(20000);
    Start(Load("loop.wav", Riff(Chunk("fmt ", PcmBody(1, 8000, 8)) + Chunk("data", samples))));
    ASSERT_TRUE(m_output.WaitForWrites(8, kPromptly));
    const platform::WaveFormat mono8{1, 1, 8000, 8000, 1, 8, 0};
    EXPECT_EQ(m_output.OpenedFormats(), std::vector<platform::WaveFormat>{mono8});
    EXPECT_EQ(m_output.Pending(), 8u);

    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(m_output.CompleteNext());
    }
    ASSERT_TRUE(m_output.WaitForWrites(13, kPromptly));
    const auto writes = m_output.Writes();
    for (std::size_t k = 0; k < writes.size(); ++k) {
        EXPECT_EQ(writes[k], Looped(samples, k * 8000, 8000)) << k;
    }

    m_stop.Set();
    ASSERT_EQ(m_thread.Stop(kPromptly), platform::StopOutcome::Ended);
    EXPECT_EQ(m_thread.ExitCode(), kAlarmWavStopped);
    EXPECT_EQ(m_output.ResetCount(), 1);
    EXPECT_EQ(m_output.CloseCount(), 1);
    EXPECT_EQ(m_output.Pending(), 0u);
    EXPECT_EQ(m_output.WriteCount(), 13u);
}

// Stopping the thread itself (as the program's shutdown does) ends it the
// same way, without the stop event.
TEST_F(AlarmWavePlayer, ThreadStopEndsIt) {
    Start(Load("a.wav", Riff(Chunk("fmt ", PcmBody(2, 44100, 16)) + Chunk("data", Samples(4000)))));
    ASSERT_TRUE(m_output.WaitForWrites(8, kPromptly));
    ASSERT_EQ(m_thread.Stop(kPromptly), platform::StopOutcome::Ended);
    EXPECT_EQ(m_thread.ExitCode(), kAlarmWavStopped);
    EXPECT_EQ(m_output.ResetCount(), 1);
    EXPECT_EQ(m_output.OpenCount(), 0);
}

TEST_F(AlarmWavePlayer, EndsWithMinusOneWhenTheOutputCannotOpen) {
    m_output.SetOpenResult(platform::WaveOutResult::NoDevice);
    Start(Load("a.wav", Riff(Chunk("fmt ", PcmBody(1, 8000, 8)) + Chunk("data", Samples(10)))));
    ASSERT_EQ(m_thread.Stop(kPromptly), platform::StopOutcome::Ended);
    EXPECT_EQ(m_thread.ExitCode(), kAlarmWavOpenFailed);
    EXPECT_EQ(m_output.WriteCount(), 0u);

    EXPECT_EQ(PlayAlarmWavThread(nullptr, m_done, m_stop), kAlarmWavOpenFailed);
}

// Loading a new sound stops the one playing: by the time the load returns
// the old output is closed and the old player has let go of its block; the
// block is freed as soon as the thread has ended.
TEST_F(AlarmWavePlayer, NewSoundStopsThePreviousOne) {
    const std::string second = Samples(3000, 5);
    std::weak_ptr<AlarmPlayBlock> first =
        Load("first.wav", Riff(Chunk("fmt ", PcmBody(1, 8000, 8)) + Chunk("data", Samples(100))));
    Start(first.lock());
    ASSERT_TRUE(m_output.WaitForWrites(8, kPromptly));

    auto next =
        Load("second.wav", Riff(Chunk("fmt ", PcmBody(1, 11025, 8)) + Chunk("data", second)));
    EXPECT_EQ(m_output.CloseCount(), 1);
    EXPECT_EQ(m_output.OpenCount(), 0);
    ASSERT_EQ(m_thread.Stop(kPromptly), platform::StopOutcome::Ended);
    EXPECT_EQ(m_thread.ExitCode(), kAlarmWavStopped);
    EXPECT_TRUE(first.expired());

    Start(next);
    ASSERT_TRUE(m_output.WaitForWrites(16, kPromptly));
    const auto writes = m_output.Writes();
    for (std::size_t k = 8; k < 16; ++k) {
        EXPECT_EQ(writes[k], Looped(second, (k - 8) * 8000, 8000)) << k;
    }
}

// A player started on a block that was already replaced ends at once
// without opening the output.
TEST_F(AlarmWavePlayer, RetiredBlockIsNotPlayed) {
    auto old = Load("a.wav", Riff(Chunk("fmt ", PcmBody(1, 8000, 8)) + Chunk("data", Samples(10))));
    Load("b.wav", Riff(Chunk("fmt ", PcmBody(1, 8000, 8)) + Chunk("data", Samples(10))));
    platform::Event ended(true, false);
    ASSERT_TRUE(m_thread.Start(
        [&] {
            const std::uint32_t code = PlayAlarmWavThread(old, m_done, m_stop);
            ended.Set();
            return code;
        },
        "alarm-wave"));
    ASSERT_EQ(ended.Wait(kPromptly), platform::WaitResult::Signaled);
    m_thread.Stop(kPromptly);
    EXPECT_EQ(m_thread.ExitCode(), kAlarmWavStopped);
    EXPECT_TRUE(m_output.OpenedFormats().empty());
}

}  // namespace
