#include "media/frame_file_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/clock.h"
#include "tests/support/file_contents.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

namespace {

using test_support::ReadBytes;

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t U32At(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
                                      b.at(at + 3) << 24);
}

constexpr SystemTime kLeapDay{2024, 2, 4, 29, 13, 45, 59, 678};

class FrameFileWriterTest : public testing::Test {
protected:
    test_support::TempDir m_dir;
    fs::path m_path = m_dir / "frames.dat";
};

TEST_F(FrameFileWriterTest, HeaderMarksAndDataByteForByte) {
    {
        CFrameFileWriter writer(m_path, 0, 0, 0);
        EXPECT_FALSE(fs::exists(m_path));  // made by the first write
        ASSERT_EQ(writer.WriteFrame(Bytes{0xA1, 0xA2, 0xA3}, 1, 2, 3, 1234, kLeapDay), 0);
        ASSERT_EQ(writer.WriteFrame(Bytes{}, 0xFF, 0, 0x80, 0x12345678, SystemTime{}), 0);
    }
    // clang-format off
    const Bytes header = {
        2, 0, 0, 0,  0, 0, 0, 0,  0x0B, 0xA9, 0x04, 0,  // 2 frames; 0x12345678 ms = 305419 s = 0x4A90B
    };
    const Bytes firstMark = {
        0, 0, 0, 0,              // index 0
        0xD2, 0x04, 0, 0,        // 1234 ms
        3, 0, 0, 0,              // 3 bytes
        0x23, 0xCE, 0xFB, 0xAD,  // magic
        1, 2, 3,  0, 0, 0, 0, 0,
        0xE8, 0x07, 2, 0, 4, 0, 29, 0, 13, 0, 45, 0, 59, 0, 0xA6, 0x02,
    };
    const Bytes secondMark = {
        1, 0, 0, 0,  0x78, 0x56, 0x34, 0x12,  0, 0, 0, 0,  0x23, 0xCE, 0xFB, 0xAD,
        0xFF, 0, 0x80,  0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    };
    // clang-format on
    Bytes expected = header;
    expected.resize(CFrameFileWriter::kHeaderBytes, 0);
    expected.insert(expected.end(), firstMark.begin(), firstMark.end());
    expected.insert(expected.end(), {0xA1, 0xA2, 0xA3});
    expected.insert(expected.end(), firstMark.begin(), firstMark.end());
    expected.insert(expected.end(), secondMark.begin(), secondMark.end());
    expected.insert(expected.end(), secondMark.begin(), secondMark.end());
    EXPECT_EQ(ReadBytes(m_path), expected);
}

TEST_F(FrameFileWriterTest, HeaderOnDiskFollowsEveryTenthFrame) {
    struct Step {
        std::uint32_t frames;         // written so far
        std::uint32_t countOnDisk;    // the header's count meanwhile
        std::uint32_t secondsOnDisk;  // and its time
    };
    constexpr Step kSteps[] = {{1, 0, 0},    {9, 0, 0},    {10, 10, 10},
                               {11, 10, 10}, {19, 10, 10}, {20, 20, 20}};
    CFrameFileWriter writer(m_path, 0, 0, 0);
    std::uint32_t written = 0;
    for (const Step& step : kSteps) {
        for (; written < step.frames; ++written) {
            // Frame n carries the time n + 1 seconds (and 999 ms).
            ASSERT_EQ(writer.WriteFrame(Bytes{7}, 0, 0, 0, (written + 1) * 1000 + 999, kLeapDay),
                      0);
        }
        const Bytes file = ReadBytes(m_path);
        EXPECT_EQ(U32At(file, 0), step.countOnDisk) << step.frames;
        EXPECT_EQ(U32At(file, 8), step.secondsOnDisk) << step.frames;
        EXPECT_EQ(file.size(), CFrameFileWriter::kHeaderBytes + step.frames * (2 * 40 + 1));
        // Writing continues at the end after a header rewrite.
        EXPECT_EQ(U32At(file, file.size() - 40), step.frames - 1);
    }
    EXPECT_TRUE(writer.RewriteHeader());
    EXPECT_EQ(U32At(ReadBytes(m_path), 0), 20u);
}

TEST_F(FrameFileWriterTest, WriteFrameNowTakesTheTickCountAndTheLocalClock) {
    platform::ManualClock clock(123456);
    platform::ScopedClockSource useClock(clock);
    {
        CFrameFileWriter writer(m_path, 0, 0, 0);
        ASSERT_EQ(writer.WriteFrameNow(Bytes{1, 2}, 5, 6), 0);
    }
    const Bytes file = ReadBytes(m_path);
    ASSERT_EQ(file.size(), 80u + 40 + 2 + 40);
    EXPECT_EQ(U32At(file, 8), 123u);          // seconds in the header
    EXPECT_EQ(U32At(file, 80 + 4), 123456u);  // milliseconds in the mark
    EXPECT_EQ(file[80 + 16], 5);
    EXPECT_EQ(file[80 + 17], 0);
    EXPECT_EQ(file[80 + 18], 6);
    SystemTime date;
    date.year = static_cast<std::uint16_t>(file[80 + 24] | file[80 + 25] << 8);
    date.month = file[80 + 26];
    date.day = file[80 + 30];
    date.hour = file[80 + 32];
    date.minute = file[80 + 34];
    date.second = file[80 + 36];
    EXPECT_GE(date.year, 2020);
    EXPECT_TRUE(date.IsPlausible());
}

TEST_F(FrameFileWriterTest, AnExistingFileIsNeverOverwritten) {
    std::ofstream(m_path) << "keep me";
    {
        CFrameFileWriter writer(m_path, 0, 0, 0);
        EXPECT_EQ(writer.WriteFrame(Bytes{1}, 0, 0, 0, 0, kLeapDay), -1);
        EXPECT_EQ(writer.WriteFrame(Bytes{1}, 0, 0, 0, 0, kLeapDay), -1);
    }
    const Bytes file = ReadBytes(m_path);
    EXPECT_EQ(std::string(file.begin(), file.end()), "keep me");
}

TEST_F(FrameFileWriterTest, AFrameThatCannotBeWrittenWholeIsCutOff) {
    {
        CFrameFileWriter writer(m_path, 0, 0, 0);
        ASSERT_EQ(writer.WriteFrame(Bytes(10, 1), 0, 0, 0, 5000, kLeapDay), 0);
        {
            test_support::ScopedFileSizeLimit limit(80 + 90 + 60);  // room for half a frame
            EXPECT_EQ(writer.WriteFrame(Bytes(10, 2), 0, 0, 0, 9000, kLeapDay), -1);
        }
        EXPECT_EQ(writer.WriteFrame(Bytes(10, 3), 0, 0, 0, 9000, kLeapDay), -1);
    }
    const Bytes file = ReadBytes(m_path);
    ASSERT_EQ(file.size(), 80u + 90);
    EXPECT_EQ(U32At(file, 0), 1u);
    EXPECT_EQ(U32At(file, 8), 5u);
}

}  // namespace
