#include "media/alarm_wave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "core/state/app_global_state.h"
#include "core/state/global_state_setup.h"
#include "media/media_services.h"
#include "media/media_state.h"
#include "tests/media/wave_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace wavebytes;

std::string MonoFile(const std::string& samples) {
    return Riff(Chunk("fmt ", PcmBody(1, 8000, 8)) + Chunk("data", samples));
}

// count bytes of the endless loop of samples, starting at byte `from` of it.
std::vector<std::uint8_t> Looped(const std::string& samples, std::size_t from, std::size_t count) {
    std::vector<std::uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<std::uint8_t>(samples[(from + i) % samples.size()]);
    }
    return out;
}

std::vector<std::uint8_t> Buffer(const AlarmPlayBlock& block, std::size_t n) {
    return {block.buffers[n].begin(), block.buffers[n].end()};
}

// Buffer after buffer continues the sound where the previous one ended and
// wraps from its end to its start: a sound of exactly a buffer, of two, of
// two and a half, and sounds shorter than a buffer (several copies in each).
TEST(AlarmWaveFill, BuffersFollowTheLoop) {
    for (const std::size_t length : {std::size_t{20000}, std::size_t{16000}, std::size_t{8000},
                                     std::size_t{3000}, std::size_t{1}}) {
        SCOPED_TRACE(length);
        AlarmPlayBlock block;
        const std::string samples = Samples(length);
        block.samples = Bytes(samples);
        for (std::size_t k = 0; k < 11; ++k) {
            const std::size_t n = k % kAlarmWaveBufferCount;
            CAlarmWave::FillBuffer(block, n);
            EXPECT_EQ(Buffer(block, n), Looped(samples, k * 8000, 8000)) << k;
            // The position ends after the last byte copied: at the end of the
            // samples when a buffer ends there, not back at 0.
            EXPECT_EQ(block.playPosition, ((k + 1) * 8000 - 1) % length + 1) << k;
        }
    }
}

TEST(AlarmWaveFill, PointsHeaderAtItsBufferAndClearsDone) {
    AlarmPlayBlock block;
    block.samples = Bytes(Samples(100));
    block.headers[5].flags = platform::kWaveHeaderDone | platform::kWaveHeaderPrepared;
    CAlarmWave::FillBuffer(block, 5);
    EXPECT_EQ(block.headers[5].data, block.buffers[5].data());
    EXPECT_EQ(block.headers[5].bufferLength, kAlarmWaveBufferBytes);
    EXPECT_EQ(block.headers[5].flags.load(), platform::kWaveHeaderPrepared);
    // Only buffer 5 was touched.
    EXPECT_EQ(block.headers[4].data, nullptr);
    EXPECT_TRUE(std::ranges::all_of(block.buffers[4], [](std::uint8_t b) { return b == 0; }));
}

TEST(AlarmWaveFill, NothingToPlayGivesSilenceAndBadIndexIsIgnored) {
    AlarmPlayBlock block;
    block.buffers[0].fill(0x55);
    CAlarmWave::FillBuffer(block, 0);
    EXPECT_TRUE(std::ranges::all_of(block.buffers[0], [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(block.playPosition, 0u);
    CAlarmWave::FillBuffer(block, kAlarmWaveBufferCount);  // no such buffer: nothing happens
}

class AlarmWaveLoad : public ::testing::Test {
protected:
    test_support::TempDir m_dir;
    CAlarmWave m_wave;
};

TEST_F(AlarmWaveLoad, LoadsTheNamedFile) {
    WriteFile(m_dir / "alarm.wav", MonoFile(Samples(50, 9)));  // the fallback, not used
    WriteFile(m_dir / "named.wav",
              Riff(Chunk("fmt ", PcmBody(2, 22050, 16)) + Chunk("data", Samples(400))));
    const std::string path = (m_dir / "named.wav").string();
    ASSERT_EQ(m_wave.LoadWave(path, m_dir.path()), 1);
    const auto block = m_wave.CurrentBlock();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->format, (platform::WaveFormat{1, 2, 22050, 88200, 4, 16, 0}));
    EXPECT_EQ(block->samples, Bytes(Samples(400)));
    EXPECT_EQ(block->playPosition, 0u);
    EXPECT_EQ(m_wave.Path(), path);
}

TEST_F(AlarmWaveLoad, FallsBackToAlarmWavInProgramFolder) {
    WriteFile(m_dir / "alarm.wav", MonoFile(Samples(50, 9)));
    const std::string path = (m_dir / "missing.wav").string();
    ASSERT_EQ(m_wave.LoadWave(path, m_dir.path()), 1);
    EXPECT_EQ(m_wave.CurrentBlock()->samples, Bytes(Samples(50, 9)));
    EXPECT_EQ(m_wave.Path(), path);
}

TEST_F(AlarmWaveLoad, FailsWhenNeitherFileOpens) {
    ASSERT_EQ(m_wave.LoadWave((m_dir / "named.wav").string(), m_dir.path()), 0);
    EXPECT_EQ(m_wave.CurrentBlock(), nullptr);
}

// Only a file that cannot be opened falls back; a broken one fails.
TEST_F(AlarmWaveLoad, BrokenNamedFileDoesNotFallBack) {
    WriteFile(m_dir / "alarm.wav", MonoFile(Samples(50)));
    WriteFile(m_dir / "named.wav", Riff(Chunk("fmt ", PcmBody(1, 8000, 8))));
    EXPECT_EQ(m_wave.LoadWave((m_dir / "named.wav").string(), m_dir.path()), 0);
    EXPECT_EQ(m_wave.CurrentBlock(), nullptr);
}

// Each load replaces the block; the one before is retired (its player, if
// any, stops) and freed, also when the new load fails.
TEST_F(AlarmWaveLoad, NewLoadRetiresAndFreesThePreviousBlock) {
    WriteFile(m_dir / "a.wav", MonoFile(Samples(10)));
    ASSERT_EQ(m_wave.LoadWave((m_dir / "a.wav").string(), m_dir.path()), 1);
    std::weak_ptr<AlarmPlayBlock> first = m_wave.CurrentBlock();
    ASSERT_EQ(m_wave.LoadWave((m_dir / "a.wav").string(), m_dir.path()), 1);
    EXPECT_TRUE(first.expired());

    std::shared_ptr<AlarmPlayBlock> second = m_wave.CurrentBlock();
    ASSERT_EQ(m_wave.LoadWave((m_dir / "gone.wav").string(), m_dir.path()), 0);
    EXPECT_TRUE(second->gate.IsRetired());
    EXPECT_TRUE(second->gate.RetiredEvent().IsSet());
    EXPECT_EQ(second.use_count(), 1);
}

TEST_F(AlarmWaveLoad, DoneEventIsStoredInTheCurrentBlock) {
    const auto done = std::make_shared<platform::Event>(false, false);
    m_wave.SetDoneEvent(done);  // no block yet: nothing to store it in
    WriteFile(m_dir / "a.wav", MonoFile(Samples(10)));
    ASSERT_EQ(m_wave.LoadWave((m_dir / "a.wav").string(), m_dir.path()), 1);
    EXPECT_EQ(m_wave.CurrentBlock()->doneEvent.Load(), nullptr);
    m_wave.SetDoneEvent(done);
    EXPECT_EQ(m_wave.CurrentBlock()->doneEvent.Load(), done);
}

// The core's request (kernel message 4): the fallback folder is the
// program's folder from the settings, and the done event goes with the block.
class AlarmWaveService : public ::testing::Test {
protected:
    void SetUp() override {
        CreateGlobalState();
        g_lpApp->CSettingINI.m_strProgramDir = (m_dir.path() / "").string();
    }
    void TearDown() override {
        GetMediaState().C_AlarmWave.LoadWave((m_dir / "none.wav").string(), m_dir.path());
        DeleteGlobalState();
    }

    test_support::TempDir m_dir;
    ScopedMediaServices m_services;
};

TEST_F(AlarmWaveService, LoadsAndHandsTheDoneEventOver) {
    const auto done = std::make_shared<platform::Event>(false, false);
    EXPECT_FALSE(Media().LoadAlarmWave((m_dir / "trigger.wav").string(), done));

    WriteFile(m_dir / "alarm.wav", MonoFile(Samples(30)));
    ASSERT_TRUE(Media().LoadAlarmWave((m_dir / "trigger.wav").string(), done));
    const auto block = GetMediaState().C_AlarmWave.CurrentBlock();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->samples, Bytes(Samples(30)));
    EXPECT_EQ(block->doneEvent.Load(), done);
}

}  // namespace
