#include "platform/wave_out.h"

#include <gtest/gtest.h>

#include <ostream>

#include "platform/alsa_wave_out.h"
#include "platform/null_wave_out.h"
#include "tests/platform/wave_done_log.h"
#include "tests/support/recording_wave_out.h"

namespace platform {
namespace {

using test_support::RecordingWaveOut;
using wavetest::Buffers;
using wavetest::DoneLog;
using wavetest::kPromptly;
using wavetest::Pcm;

struct FormatCase {
    const char* name;
    WaveFormat format;
    bool playable;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

WaveFormat With(WaveFormat format, void (*change)(WaveFormat&)) {
    change(format);
    return format;
}

const FormatCase kFormatCases[] = {
    {"Mono8", Pcm(1, 8000, 8), true},
    {"Stereo16", Pcm(2, 44100, 16), true},
    {"LowestRate", Pcm(1, kMinSamplesPerSecond, 8), true},
    {"HighestRate", Pcm(2, kMaxSamplesPerSecond, 16), true},
    {"Float", With(Pcm(1, 8000, 16), [](WaveFormat& f) { f.formatTag = 3; }), false},
    {"Extensible", With(Pcm(2, 44100, 16), [](WaveFormat& f) { f.formatTag = 0xFFFE; }), false},
    {"NoChannels", With(Pcm(1, 8000, 8), [](WaveFormat& f) { f.channels = 0; }), false},
    {"ThreeChannels", Pcm(3, 8000, 16), false},
    {"Bits24", Pcm(1, 8000, 24), false},
    {"Bits12", With(Pcm(1, 8000, 16), [](WaveFormat& f) { f.bitsPerSample = 12; }), false},
    {"RateZero", Pcm(1, 0, 8), false},
    {"RateTooLow", Pcm(1, kMinSamplesPerSecond - 1, 8), false},
    {"RateTooHigh", Pcm(1, kMaxSamplesPerSecond + 1, 8), false},
    {"BlockAlignWrong", With(Pcm(2, 8000, 16), [](WaveFormat& f) { f.blockAlign = 2; }), false},
    {"BlockAlignZero", With(Pcm(1, 8000, 8), [](WaveFormat& f) { f.blockAlign = 0; }), false},
    {"ByteRateWrong", With(Pcm(2, 8000, 16), [](WaveFormat& f) { f.averageBytesPerSecond = 1; }),
     false},
};

class PlayableFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PlayableFormat, OnlyConsistentPcmPlays) {
    EXPECT_EQ(IsPlayablePcmFormat(GetParam().format), GetParam().playable);
    RecordingWaveOut recorder;
    WaveOutResult result = WaveOutResult::Ok;
    const bool opened = recorder.Open(GetParam().format, nullptr, &result) != nullptr;
    EXPECT_EQ(opened, GetParam().playable);
    EXPECT_EQ(result, GetParam().playable ? WaveOutResult::Ok : WaveOutResult::BadFormat);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlayableFormat, ::testing::ValuesIn(kFormatCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(WaveOutSystem, RefusesAFormatItCannotPlay) {
    WaveOutResult result = WaveOutResult::Ok;
    EXPECT_EQ(OpenSystemWaveOut("null", Pcm(1, 8000, 24), nullptr, &result), nullptr);
    EXPECT_EQ(result, WaveOutResult::BadFormat);
    EXPECT_THROW(NullWaveOut(Pcm(3, 8000, 8), nullptr), std::invalid_argument);
}

// With no such sound device the program still gets an output: a silent one.
TEST(WaveOutSystem, FallsBackToSilentOutputWithoutDevice) {
    WaveOutResult result = WaveOutResult::DeviceError;
    EXPECT_EQ(OpenAlsaWaveOut("kestrune_no_such_device", Pcm(1, 8000, 8), nullptr, &result),
              nullptr);
    EXPECT_EQ(result, WaveOutResult::NoDevice);

    result = WaveOutResult::DeviceError;
    auto output = OpenSystemWaveOut("kestrune_no_such_device", Pcm(1, 8000, 8), nullptr, &result);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(result, WaveOutResult::Ok);
    EXPECT_NE(dynamic_cast<NullWaveOut*>(output.get()), nullptr);
}

TEST(WaveOutSystem, InstalledProviderIsUsed) {
    RecordingWaveOut recorder;
    {
        ScopedWaveOutProvider installed(recorder);
        auto output = OpenWaveOut(Pcm(2, 22050, 16), nullptr);
        ASSERT_NE(output, nullptr);
        EXPECT_EQ(recorder.OpenCount(), 1);
    }
    EXPECT_EQ(recorder.CloseCount(), 1);
    EXPECT_EQ(recorder.OpenedFormats(), std::vector<WaveFormat>{Pcm(2, 22050, 16)});
}

// The header rules are the interface's, the same for every output.
TEST(WaveOutHeaders, PrepareAndWriteRefuseWhatCannotPlay) {
    RecordingWaveOut recorder;
    auto output = recorder.Open(Pcm(2, 8000, 16), nullptr, nullptr);
    ASSERT_NE(output, nullptr);

    std::vector<std::uint8_t> bytes(8000);
    WaveHeader none;
    EXPECT_EQ(output->Prepare(none), WaveOutResult::BadHeader);
    WaveHeader empty;
    empty.data = bytes.data();
    EXPECT_EQ(output->Prepare(empty), WaveOutResult::BadHeader);
    WaveHeader partialFrame;
    partialFrame.data = bytes.data();
    partialFrame.bufferLength = 4002;  // half a frame of 16-bit stereo at the end
    EXPECT_EQ(output->Prepare(partialFrame), WaveOutResult::BadHeader);

    WaveHeader header;
    header.data = bytes.data();
    header.bufferLength = 8000;
    EXPECT_EQ(output->Write(header), WaveOutResult::Unprepared);
    ASSERT_EQ(output->Prepare(header), WaveOutResult::Ok);
    ASSERT_EQ(output->Write(header), WaveOutResult::Ok);
    EXPECT_EQ(header.flags.load() & kWaveHeaderInQueue, kWaveHeaderInQueue);
    EXPECT_EQ(output->Write(header), WaveOutResult::StillQueued);
    EXPECT_EQ(output->Prepare(header), WaveOutResult::StillQueued);
    EXPECT_EQ(recorder.WriteCount(), 1u);
}

TEST(RecordingWaveOut, RecordsBytesAndHandsBuffersBackInOrder) {
    RecordingWaveOut recorder;
    DoneLog log;
    auto output = recorder.Open(Pcm(1, 8000, 8), log.Callback(), nullptr);
    ASSERT_NE(output, nullptr);
    Buffers<3> buffers(4);
    for (auto& header : buffers.headers) {
        ASSERT_EQ(output->Prepare(header), WaveOutResult::Ok);
        ASSERT_EQ(output->Write(header), WaveOutResult::Ok);
    }
    EXPECT_EQ(recorder.Writes(),
              (std::vector<std::vector<std::uint8_t>>{{1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}}));
    EXPECT_EQ(recorder.Pending(), 3u);

    ASSERT_TRUE(recorder.CompleteNext());
    EXPECT_EQ(log.Done(), std::vector<WaveHeader*>{&buffers.headers[0]});
    EXPECT_EQ(buffers.headers[0].flags.load() & (kWaveHeaderDone | kWaveHeaderInQueue),
              kWaveHeaderDone);

    EXPECT_EQ(output->Reset(), WaveOutResult::Ok);
    EXPECT_EQ(log.Done(), (std::vector<WaveHeader*>{&buffers.headers[0], &buffers.headers[1],
                                                    &buffers.headers[2]}));
    EXPECT_FALSE(recorder.CompleteNext());
    EXPECT_EQ(recorder.ResetCount(), 1);

    // Closing with a buffer still queued marks it done without a callback.
    ASSERT_EQ(output->Write(buffers.headers[1]), WaveOutResult::Ok);
    output.reset();
    EXPECT_EQ(log.Done().size(), 3u);
    EXPECT_EQ(buffers.headers[1].flags.load() & kWaveHeaderDone, kWaveHeaderDone);
    EXPECT_EQ(recorder.CloseCount(), 1);
    EXPECT_EQ(recorder.OpenCount(), 0);
}

TEST(RecordingWaveOut, OpenCanBeMadeToFail) {
    RecordingWaveOut recorder;
    recorder.SetOpenResult(WaveOutResult::NoDevice);
    WaveOutResult result = WaveOutResult::Ok;
    EXPECT_EQ(recorder.Open(Pcm(1, 8000, 8), nullptr, &result), nullptr);
    EXPECT_EQ(result, WaveOutResult::NoDevice);
    EXPECT_TRUE(recorder.OpenedFormats().empty());
}

}  // namespace
}  // namespace platform
