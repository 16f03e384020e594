#include "platform/null_wave_out.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/clock.h"
#include "tests/platform/wave_done_log.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using wavetest::Buffers;
using wavetest::DoneLog;
using wavetest::kPromptly;
using wavetest::Pcm;

void QueueAll(WaveOut& output, std::span<WaveHeader> headers) {
    for (WaveHeader& header : headers) {
        ASSERT_EQ(output.Prepare(header), WaveOutResult::Ok);
        ASSERT_EQ(output.Write(header), WaveOutResult::Ok);
    }
}

// Each buffer takes its playing time on the clock source; remainders of a
// millisecond carry over, so three buffers of 8,000 bytes at 176,400 bytes a
// second take 136 ms in all (8,000,000 / 176,400 = 45.35 ms each).
TEST(NullWaveOut, KeepsEachBufferForItsPlayingTime) {
    struct Case {
        WaveFormat format;
        std::vector<std::chrono::milliseconds> sleeps;
    };
    const Case cases[] = {
        {Pcm(1, 8000, 8), {1000ms, 1000ms, 1000ms}},
        {Pcm(2, 44100, 16), {45ms, 45ms, 46ms}},
    };
    for (const Case& c : cases) {
        ManualClock clock;
        ScopedClockSource installed(clock);
        DoneLog log;
        Buffers<3> buffers(8000);
        {
            NullWaveOut output(c.format, log.Callback());
            QueueAll(output, buffers.headers);
            ASSERT_TRUE(log.WaitFor(3, kPromptly));
        }
        EXPECT_EQ(clock.Sleeps(), c.sleeps);
        EXPECT_EQ(log.Done(), (std::vector<WaveHeader*>{&buffers.headers[0], &buffers.headers[1],
                                                        &buffers.headers[2]}));
        for (const WaveHeader& header : buffers.headers) {
            EXPECT_EQ(header.flags.load() & (kWaveHeaderDone | kWaveHeaderInQueue),
                      kWaveHeaderDone);
        }
    }
}

TEST(NullWaveOut, InstantPaceDoesNotSleep) {
    ManualClock clock;
    ScopedClockSource installed(clock);
    DoneLog log;
    Buffers<2> buffers(8000);
    NullWaveOut output(Pcm(1, 8000, 8), log.Callback(), NullWaveOut::Pace::Instant);
    QueueAll(output, buffers.headers);
    ASSERT_TRUE(log.WaitFor(2, kPromptly));
    EXPECT_TRUE(clock.Sleeps().empty());
    EXPECT_NE(log.Threads()[0], std::this_thread::get_id());
}

// Reset does not wait out the buffer being played: both buffers (16 s of
// sound each on the real clock) come back at once, through callbacks on the
// caller's thread, and the output goes on taking buffers afterwards.
TEST(NullWaveOut, ResetHandsBackWhatIsQueued) {
    DoneLog log;
    Buffers<2> buffers(16000);
    NullWaveOut output(Pcm(1, 1000, 8), log.Callback());
    QueueAll(output, buffers.headers);
    ASSERT_EQ(output.Reset(), WaveOutResult::Ok);
    ASSERT_EQ(log.Done().size(), 2u);
    EXPECT_EQ(log.Done()[0], &buffers.headers[0]);
    for (const std::thread::id& id : log.Threads()) {
        EXPECT_EQ(id, std::this_thread::get_id());
    }

    Buffers<1> small(2);  // 2 ms
    QueueAll(output, small.headers);
    EXPECT_TRUE(log.WaitFor(3, kPromptly));
}

// Closing with buffers queued neither waits for them nor calls back.
TEST(NullWaveOut, ClosingMarksQueuedBuffersDone) {
    DoneLog log;
    Buffers<2> buffers(16000);
    {
        NullWaveOut output(Pcm(1, 1000, 8), log.Callback());
        QueueAll(output, buffers.headers);
    }
    EXPECT_TRUE(log.Done().empty());
    for (const WaveHeader& header : buffers.headers) {
        EXPECT_EQ(header.flags.load() & (kWaveHeaderDone | kWaveHeaderInQueue), kWaveHeaderDone);
    }
}

}  // namespace
}  // namespace platform
