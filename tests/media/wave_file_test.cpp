#include "media/wave_file.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <ostream>

#include "tests/media/wave_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace wavebytes;

const std::string kMono8 = PcmBody(1, 8000, 8);
const std::string kStereo16 = PcmBody(2, 44100, 16);

platform::WaveFormat Format(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    return {1, channels, rate, rate * align, align, bits, 0};
}

struct ValidCase {
    const char* name;
    std::string file;
    platform::WaveFormat format;
    std::string samples;
};

void PrintTo(const ValidCase& c, std::ostream* os) {
    *os << c.name;
}

// Files that are unusual but valid: each loads exactly its samples.
const ValidCase kValidCases[] = {
    {"Mono8", Riff(Chunk("fmt ", kMono8) + Chunk("data", Samples(1000))), Format(1, 8000, 8),
     Samples(1000)},
    {"Stereo16", Riff(Chunk("fmt ", kStereo16) + Chunk("data", Samples(4000))),
     Format(2, 44100, 16), Samples(4000)},
    // A chunk of odd size before the format, with its pad byte, and a list
    // after the samples.
    {"ChunksAroundFormatAndData",
     Riff(Chunk("JUNK", "abc") + Chunk("fmt ", kMono8) + Chunk("data", Samples(300)) +
          Chunk("LIST", "INFOtext")),
     Format(1, 8000, 8), Samples(300)},
    {"FactBetweenFormatAndData",
     Riff(Chunk("fmt ", kMono8) + Chunk("fact", U32(300)) + Chunk("data", Samples(300))),
     Format(1, 8000, 8), Samples(300)},
    // Format chunks longer than 16 bytes: an extra-size field, and more.
    {"FormatWithExtraSize", Riff(Chunk("fmt ", kStereo16 + U16(0)) + Chunk("data", Samples(8))),
     Format(2, 44100, 16), Samples(8)},
    {"FormatWithExtraBytes",
     Riff(Chunk("fmt ", kMono8 + U16(3) + "xyz") + Chunk("data", Samples(9))), Format(1, 8000, 8),
     Samples(9)},
    // Odd data followed by its pad byte and another chunk; odd data at the
    // very end with no pad byte.
    {"OddDataWithPad", Riff(Chunk("fmt ", kMono8) + Chunk("data", Samples(5)) + Chunk("note", "n")),
     Format(1, 8000, 8), Samples(5)},
    {"OddDataLastWithoutPad",
     Riff(Chunk("fmt ", kMono8) + Chunk("data", Samples(7), std::nullopt, false)),
     Format(1, 8000, 8), Samples(7)},
    {"CapitalDataId", Riff(Chunk("fmt ", kMono8) + Chunk("DATA", Samples(64))), Format(1, 8000, 8),
     Samples(64)},
    {"DataBeforeFormat", Riff(Chunk("data", Samples(64)) + Chunk("fmt ", kMono8)),
     Format(1, 8000, 8), Samples(64)},
    // The RIFF size is not trusted: the file's own size bounds the walk.
    {"WrongRiffSize",
     "RIFF" + U32(0xFFFFFFF0u) + "WAVE" + Chunk("fmt ", kMono8) + Chunk("data", Samples(10)),
     Format(1, 8000, 8), Samples(10)},
    // Only the first data chunk counts.
    {"SecondDataIgnored",
     Riff(Chunk("fmt ", kMono8) + Chunk("data", Samples(10)) + Chunk("data", Samples(20, 3))),
     Format(1, 8000, 8), Samples(10)},
};

class WaveFileValid : public ::testing::TestWithParam<ValidCase> {
protected:
    test_support::TempDir m_dir;
};

TEST_P(WaveFileValid, LoadsExactlyTheSamples) {
    const auto path = m_dir / "sound.wav";
    WriteFile(path, GetParam().file);
    const WaveFileContents read = ReadWaveFile(path);
    ASSERT_EQ(read.status, WaveReadStatus::Loaded);
    EXPECT_EQ(read.format, GetParam().format);
    EXPECT_EQ(read.samples, Bytes(GetParam().samples));
}

INSTANTIATE_TEST_SUITE_P(Files, WaveFileValid, ::testing::ValuesIn(kValidCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

struct HostileCase {
    const char* name;
    std::string file;
    WaveReadStatus status;
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kGoodData = Chunk("data", Samples(100));

// Files that must be refused, each for its reason, without reading out of
// bounds or looping.
const HostileCase kHostileCases[] = {
    {"Empty", "", WaveReadStatus::NotWave},
    {"ShorterThanRiffHeader", "RIFF" + U32(4) + "WAV", WaveReadStatus::NotWave},
    {"NotRiff", "RIFX" + U32(4) + "WAVE" + Chunk("fmt ", kMono8) + kGoodData,
     WaveReadStatus::NotWave},
    {"NotWave", "RIFF" + U32(4) + "AVI " + Chunk("fmt ", kMono8) + kGoodData,
     WaveReadStatus::NotWave},
    {"NoFormat", Riff(kGoodData), WaveReadStatus::BadFormat},
    {"FormatTooShort", Riff(Chunk("fmt ", kMono8.substr(0, 14)) + kGoodData),
     WaveReadStatus::BadFormat},
    {"FloatSamples", Riff(Chunk("fmt ", FmtBody(3, 1, 8000, 32000, 4, 32)) + kGoodData),
     WaveReadStatus::BadFormat},
    {"Extensible",
     Riff(Chunk("fmt ", FmtBody(0xFFFE, 2, 44100, 176400, 4, 16) + U16(22) + std::string(22, 'x')) +
          kGoodData),
     WaveReadStatus::BadFormat},
    {"ZeroChannels", Riff(Chunk("fmt ", FmtBody(1, 0, 8000, 8000, 1, 8)) + kGoodData),
     WaveReadStatus::BadFormat},
    {"ZeroRate", Riff(Chunk("fmt ", FmtBody(1, 1, 0, 0, 1, 8)) + kGoodData),
     WaveReadStatus::BadFormat},
    {"HugeRate", Riff(Chunk("fmt ", FmtBody(1, 1, 0xFFFFFFFFu, 0xFFFFFFFFu, 1, 8)) + kGoodData),
     WaveReadStatus::BadFormat},
    {"BlockAlignInconsistent", Riff(Chunk("fmt ", FmtBody(1, 2, 8000, 16000, 2, 16)) + kGoodData),
     WaveReadStatus::BadFormat},
    {"NoData", Riff(Chunk("fmt ", kMono8) + Chunk("LIST", "INFO")), WaveReadStatus::NoData},
    {"EmptyData", Riff(Chunk("fmt ", kMono8) + Chunk("data", "")), WaveReadStatus::NoData},
    {"ChunkHeaderCut", Riff(Chunk("fmt ", kMono8) + "dat"), WaveReadStatus::NoData},
    {"DataLargerThanFile", Riff(Chunk("fmt ", kMono8) + Chunk("data", Samples(100), 101)),
     WaveReadStatus::Truncated},
    {"DataSizeHuge", Riff(Chunk("fmt ", kMono8) + Chunk("data", Samples(100), 0xFFFFFFFFu)),
     WaveReadStatus::Truncated},
    {"FormatSizeHuge", Riff(Chunk("fmt ", kMono8, 0xFFFFFFF0u) + kGoodData),
     WaveReadStatus::Truncated},
    {"UnknownChunkSizeHuge",
     Riff(Chunk("JUNK", "abcd", 0xFFFFFFFEu) + Chunk("fmt ", kMono8) + kGoodData),
     WaveReadStatus::BadFormat},
    {"PartialFrame", Riff(Chunk("fmt ", kStereo16) + Chunk("data", Samples(6))),
     WaveReadStatus::Truncated},
};

class WaveFileHostile : public ::testing::TestWithParam<HostileCase> {
protected:
    test_support::TempDir m_dir;
};

TEST_P(WaveFileHostile, IsRefusedCleanly) {
    const auto path = m_dir / "sound.wav";
    WriteFile(path, GetParam().file);
    const WaveFileContents read = ReadWaveFile(path);
    EXPECT_EQ(read.status, GetParam().status);
    EXPECT_TRUE(read.samples.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, WaveFileHostile, ::testing::ValuesIn(kHostileCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

// A file cut short anywhere is refused, never read past its end.
TEST(WaveFile, EveryTruncationIsRefused) {
    test_support::TempDir dir;
    const std::string whole = Riff(Chunk("fmt ", kStereo16) + Chunk("data", Samples(64)));
    for (std::size_t size = 0; size < whole.size(); ++size) {
        WriteFile(dir / "cut.wav", whole.substr(0, size));
        EXPECT_NE(ReadWaveFile(dir / "cut.wav").status, WaveReadStatus::Loaded) << size;
    }
    WriteFile(dir / "whole.wav", whole);
    EXPECT_EQ(ReadWaveFile(dir / "whole.wav").status, WaveReadStatus::Loaded);
}

// More samples than any alarm needs are refused before anything is
// allocated for them; the file is sparse, so the test writes almost nothing.
TEST(WaveFile, TooManySamplesAreRefused) {
    test_support::TempDir dir;
    const auto path = dir / "long.wav";
    const std::uint32_t dataSize = kMaxWaveSampleBytes + 2;
    const std::string head = Riff(Chunk("fmt ", kMono8)) + "data" + U32(dataSize);
    WriteFile(path, head);
    std::filesystem::resize_file(path, head.size() + dataSize);
    EXPECT_EQ(ReadWaveFile(path).status, WaveReadStatus::TooLarge);
}

TEST(WaveFile, WhatCannotBeOpenedIsReportedAsSuch) {
    test_support::TempDir dir;
    EXPECT_EQ(ReadWaveFile(dir / "missing.wav").status, WaveReadStatus::CannotOpen);
    std::filesystem::create_directory(dir / "folder.wav");
    EXPECT_EQ(ReadWaveFile(dir / "folder.wav").status, WaveReadStatus::CannotOpen);
    // A FIFO must neither block the open nor be read.
    ASSERT_EQ(::mkfifo((dir / "fifo.wav").c_str(), 0600), 0);
    EXPECT_EQ(ReadWaveFile(dir / "fifo.wav").status, WaveReadStatus::CannotOpen);
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                      std::filesystem::directory_iterator()));
}

// Every path, loaded or refused, closes the file again.
TEST(WaveFile, NoPathLeavesTheFileOpen) {
    test_support::TempDir dir;
    const std::size_t before = OpenDescriptors();
    for (const auto& c : kValidCases) {
        WriteFile(dir / "f.wav", c.file);
        EXPECT_EQ(ReadWaveFile(dir / "f.wav").status, WaveReadStatus::Loaded);
    }
    for (const auto& c : kHostileCases) {
        WriteFile(dir / "f.wav", c.file);
        EXPECT_EQ(ReadWaveFile(dir / "f.wav").status, c.status);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

// The file is opened for reading only and closed again: the kernel's file
// events show one open and one close without writing.
TEST(WaveFile, FileIsOpenedReadOnlyAndClosed) {
    test_support::TempDir dir;
    const auto path = dir / "sound.wav";
    WriteFile(path, Riff(Chunk("fmt ", kMono8) + Chunk("data", Samples(10))));
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, path.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE),
              0);
    EXPECT_EQ(ReadWaveFile(path).status, WaveReadStatus::Loaded);

    alignas(inotify_event) char events[4096];
    const ssize_t got = ::read(watch, events, sizeof events);
    ::close(watch);
    ASSERT_GT(got, 0);
    int opens = 0;
    int closesAfterReading = 0;
    int closesAfterWriting = 0;
    for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        opens += (event->mask & IN_OPEN) != 0;
        closesAfterReading += (event->mask & IN_CLOSE_NOWRITE) != 0;
        closesAfterWriting += (event->mask & IN_CLOSE_WRITE) != 0;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(closesAfterReading, 1);
    EXPECT_EQ(closesAfterWriting, 0);
}

}  // namespace
