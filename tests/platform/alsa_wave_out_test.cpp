#include "platform/alsa_wave_out.h"

#include <gtest/gtest.h>

#include "tests/platform/wave_done_log.h"

namespace platform {
namespace {

using wavetest::Buffers;
using wavetest::DoneLog;
using wavetest::kPromptly;
using wavetest::Pcm;

// ALSA's own "null" device takes samples like a sound card and discards
// them, so the real output path runs on machines without sound hardware.
std::unique_ptr<WaveOut> OpenAlsaNull(const WaveFormat& format, DoneLog& log) {
    WaveOutResult result = WaveOutResult::Ok;
    auto output = OpenAlsaWaveOut("null", format, log.Callback(), &result);
    if (!output) {
        EXPECT_EQ(result, WaveOutResult::NoDevice);
    }
    return output;
}

TEST(AlsaWaveOut, PlaysQueuedBuffersInOrder) {
    for (const WaveFormat& format : {Pcm(1, 8000, 8), Pcm(2, 44100, 16)}) {
        DoneLog log;
        Buffers<4> buffers(8000);
        auto output = OpenAlsaNull(format, log);
        if (!output) {
            GTEST_SKIP() << "ALSA has no \"null\" device here";
        }
        for (WaveHeader& header : buffers.headers) {
            ASSERT_EQ(output->Prepare(header), WaveOutResult::Ok);
            ASSERT_EQ(output->Write(header), WaveOutResult::Ok);
        }
        ASSERT_TRUE(log.WaitFor(4, kPromptly));
        EXPECT_EQ(log.Done(), (std::vector<WaveHeader*>{&buffers.headers[0], &buffers.headers[1],
                                                        &buffers.headers[2], &buffers.headers[3]}));
        for (const WaveHeader& header : buffers.headers) {
            EXPECT_EQ(header.flags.load() & (kWaveHeaderDone | kWaveHeaderInQueue),
                      kWaveHeaderDone);
        }
    }
}

// Whatever the output still holds when it is reset comes back done before
// Reset returns, and the output plays on afterwards.
TEST(AlsaWaveOut, ResetReturnsEveryQueuedBuffer) {
    DoneLog log;
    Buffers<8> buffers(8000);
    auto output = OpenAlsaNull(Pcm(2, 44100, 16), log);
    if (!output) {
        GTEST_SKIP() << "ALSA has no \"null\" device here";
    }
    for (WaveHeader& header : buffers.headers) {
        ASSERT_EQ(output->Prepare(header), WaveOutResult::Ok);
        ASSERT_EQ(output->Write(header), WaveOutResult::Ok);
    }
    ASSERT_EQ(output->Reset(), WaveOutResult::Ok);
    EXPECT_EQ(log.Done().size(), 8u);
    for (const WaveHeader& header : buffers.headers) {
        EXPECT_EQ(header.flags.load() & kWaveHeaderInQueue, 0u);
    }
    ASSERT_EQ(output->Write(buffers.headers[0]), WaveOutResult::Ok);
    EXPECT_TRUE(log.WaitFor(9, kPromptly));
}

}  // namespace
}  // namespace platform
