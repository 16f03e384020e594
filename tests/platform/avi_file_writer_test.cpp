#include "platform/avi_file_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <vector>

#include "tests/support/avi_reader.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using test_support::ReadAvi;
using test_support::TempDir;

constexpr FourCC kChunk00dc = MakeFourCC('0', '0', 'd', 'c');

BitmapInfoHeader Format() {
    BitmapInfoHeader format;
    format.width = 4;
    format.height = 2;
    format.bitCount = 24;
    format.sizeImage = 24;
    return format;
}

AviStreamInfo Stream() {
    AviStreamInfo info;
    info.handler = MakeFourCC('D', 'I', 'B', ' ');
    info.scale = 100;
    info.rate = 2500;  // 25 frames per second
    info.quality = 7500;
    info.suggestedBufferSize = 6;
    info.frame = {0, 0, 4, 2};
    info.name = "Video Stream";
    return info;
}

std::vector<std::uint8_t> Frame(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> data(size);
    std::iota(data.begin(), data.end(), seed);
    return data;
}

class AviWriterTest : public testing::Test {
protected:
    TempDir m_dir;
    fs::path m_path = m_dir / "movie.avi";
};

TEST_F(AviWriterTest, ChunksSizesAndIndexReadBack) {
    const std::vector<std::vector<std::uint8_t>> frames = {Frame(8, 1), Frame(5, 50), Frame(0, 0),
                                                           Frame(13, 90)};
    const std::vector<bool> keys = {true, false, false, true};
    {
        AviFileWriter writer;
        ASSERT_TRUE(writer.Create(m_path));
        ASSERT_TRUE(writer.SetVideoStream(Stream(), Format()));
        for (std::size_t i = 0; i < frames.size(); ++i) {
            ASSERT_EQ(writer.WriteFrame(frames[i], keys[i]), AviFileWriter::FrameResult::Written);
        }
        EXPECT_EQ(writer.FrameCount(), 4u);
        ASSERT_TRUE(writer.Close());
    }
    const auto avi = ReadAvi(m_path);
    ASSERT_EQ(avi.error, "");
    EXPECT_EQ(avi.microSecPerFrame, 40000u);
    EXPECT_EQ(avi.maxBytesPerSec, 13u * 25);
    EXPECT_EQ(avi.flags, kAviHasIndex);
    EXPECT_EQ(avi.totalFrames, 4u);
    EXPECT_EQ(avi.streams, 1u);
    EXPECT_EQ(avi.suggestedBufferSize, 13u);  // the largest frame beats the 6 asked for
    EXPECT_EQ(avi.width, 4u);
    EXPECT_EQ(avi.height, 2u);
    EXPECT_EQ(avi.type, kStreamTypeVideo);
    EXPECT_EQ(avi.handler, MakeFourCC('D', 'I', 'B', ' '));
    EXPECT_EQ(avi.scale, 100u);
    EXPECT_EQ(avi.rate, 2500u);
    EXPECT_EQ(avi.length, 4u);
    EXPECT_EQ(avi.streamSuggestedBufferSize, 13u);
    EXPECT_EQ(avi.quality, 7500u);
    EXPECT_EQ((std::vector<int>{avi.frame[0], avi.frame[1], avi.frame[2], avi.frame[3]}),
              (std::vector<int>{0, 0, 4, 2}));
    EXPECT_EQ(avi.format, Format().Serialize());
    EXPECT_EQ(avi.format.size(), 40u);
    EXPECT_TRUE(avi.hasName);
    EXPECT_EQ(avi.name, "Video Stream");
    ASSERT_EQ(avi.frames.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(avi.frames[i].id, kChunk00dc);
        EXPECT_EQ(avi.frames[i].data, frames[i]);
        EXPECT_EQ(avi.frames[i].indexFlags, keys[i] ? kAviIndexKeyFrame : 0u);
    }
}

TEST_F(AviWriterTest, HeaderBytesAreLaidOutAsExpected) {
    {
        AviFileWriter writer;
        ASSERT_TRUE(writer.Create(m_path));
        AviStreamInfo info = Stream();
        info.name.clear();
        ASSERT_TRUE(writer.SetVideoStream(info, Format()));
        ASSERT_TRUE(writer.Close());
    }
    std::ifstream in(m_path, std::ios::binary);
    const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    // RIFF(12) + LIST hdrl(12) + avih(64) + LIST strl(12) + strh(64) + strf(48)
    // + LIST movi(12) + idx1(8) = 232.
    ASSERT_EQ(bytes.size(), 232u);
    const auto text = [&](std::size_t at) {
        return std::string(bytes.begin() + at, bytes.begin() + at + 4);
    };
    const auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                          bytes[at + 3] << 24);
    };
    EXPECT_EQ(text(0), "RIFF");
    EXPECT_EQ(u32(4), 224u);
    EXPECT_EQ(text(8), "AVI ");
    EXPECT_EQ(text(12), "LIST");
    EXPECT_EQ(u32(16), 4u + 64 + 12 + 64 + 48);
    EXPECT_EQ(text(20), "hdrl");
    EXPECT_EQ(text(24), "avih");
    EXPECT_EQ(u32(28), 56u);
    EXPECT_EQ(text(88), "LIST");
    EXPECT_EQ(u32(92), 4u + 64 + 48);
    EXPECT_EQ(text(96), "strl");
    EXPECT_EQ(text(100), "strh");
    EXPECT_EQ(text(164), "strf");
    EXPECT_EQ(u32(168), 40u);
    EXPECT_EQ(u32(172), 40u);  // biSize
    EXPECT_EQ(text(212), "LIST");
    EXPECT_EQ(u32(216), 4u);
    EXPECT_EQ(text(220), "movi");
    EXPECT_EQ(text(224), "idx1");
    EXPECT_EQ(u32(228), 0u);
}

TEST_F(AviWriterTest, FramesPastTheFileLimitAreRefusedAndTheMovieStaysValid) {
    // Headers with the name: 224 + strn(8 + 14) = 246 bytes, and the index
    // header 8. Each 100-byte frame takes 108 bytes of 'movi' and 16 of
    // index: two make 502, a third 626; a 1-byte one after them 528.
    {
        AviFileWriter writer(530);
        ASSERT_TRUE(writer.Create(m_path));
        ASSERT_TRUE(writer.SetVideoStream(Stream(), Format()));
        EXPECT_EQ(writer.WriteFrame(Frame(100, 1), true), AviFileWriter::FrameResult::Written);
        EXPECT_EQ(writer.WriteFrame(Frame(100, 2), true), AviFileWriter::FrameResult::Written);
        EXPECT_EQ(writer.WriteFrame(Frame(100, 3), true), AviFileWriter::FrameResult::Full);
        // A smaller frame may still fit: the writer is not broken by a refusal.
        EXPECT_EQ(writer.WriteFrame(Frame(1, 4), true), AviFileWriter::FrameResult::Written);
        EXPECT_EQ(writer.WriteFrame(Frame(1, 5), true), AviFileWriter::FrameResult::Full);
        ASSERT_TRUE(writer.Close());
    }
    EXPECT_EQ(fs::file_size(m_path), 528u);
    const auto avi = ReadAvi(m_path);
    ASSERT_EQ(avi.error, "");
    EXPECT_EQ(avi.frames.size(), 3u);
    EXPECT_EQ(avi.totalFrames, 3u);
    EXPECT_EQ(avi.frames[2].data, Frame(1, 4));
}

TEST_F(AviWriterTest, TheDefaultLimitIsOneGigabyte) {
    EXPECT_EQ(AviFileWriter::kMaxRiffBytes, 1024u * 1024 * 1024);
}

TEST_F(AviWriterTest, FailedWriteKeepsTheFramesBeforeIt) {
    {
        AviFileWriter writer;
        ASSERT_TRUE(writer.Create(m_path));
        ASSERT_TRUE(writer.SetVideoStream(Stream(), Format()));
        ASSERT_EQ(writer.WriteFrame(Frame(100, 1), true), AviFileWriter::FrameResult::Written);
        {
            // The disk fills up in the middle of the next frame.
            test_support::ScopedFileSizeLimit limit(fs::file_size(m_path) + 50);
            EXPECT_EQ(writer.WriteFrame(Frame(100, 2), true), AviFileWriter::FrameResult::Failed);
        }
        EXPECT_EQ(writer.WriteFrame(Frame(10, 3), true), AviFileWriter::FrameResult::Failed);
        EXPECT_FALSE(writer.Close());  // reports the failure, but completes the file
    }
    const auto avi = ReadAvi(m_path);
    ASSERT_EQ(avi.error, "");
    ASSERT_EQ(avi.frames.size(), 1u);
    EXPECT_EQ(avi.frames[0].data, Frame(100, 1));
}

TEST_F(AviWriterTest, FilesAreCreatedNewOnly) {
    std::ofstream(m_path) << "precious";
    AviFileWriter writer;
    EXPECT_FALSE(writer.Create(m_path));
    EXPECT_FALSE(writer.SetVideoStream(Stream(), Format()));
    EXPECT_EQ(writer.WriteFrame(Frame(4, 0), true), AviFileWriter::FrameResult::Failed);
    EXPECT_EQ(fs::file_size(m_path), 8u);
}

TEST_F(AviWriterTest, MovieWithoutStreamIsNotKept) {
    {
        AviFileWriter writer;
        ASSERT_TRUE(writer.Create(m_path));
        EXPECT_EQ(writer.WriteFrame(Frame(4, 0), true), AviFileWriter::FrameResult::Failed);
        EXPECT_FALSE(writer.Close());
    }
    EXPECT_FALSE(fs::exists(m_path));
    {
        AviFileWriter writer;
        ASSERT_TRUE(writer.Create(m_path));
        ASSERT_TRUE(writer.SetVideoStream(Stream(), Format()));
        writer.Discard();
        EXPECT_FALSE(writer.IsOpen());
    }
    EXPECT_FALSE(fs::exists(m_path));
}

TEST_F(AviWriterTest, StreamSettingsThatCannotWork) {
    AviFileWriter writer;
    ASSERT_TRUE(writer.Create(m_path));
    AviStreamInfo info = Stream();
    info.rate = 0;
    EXPECT_FALSE(writer.SetVideoStream(info, Format()));
    info = Stream();
    info.scale = 0;
    EXPECT_FALSE(writer.SetVideoStream(info, Format()));
    info = Stream();
    info.name = std::string("a\0b", 3);
    EXPECT_FALSE(writer.SetVideoStream(info, Format()));
    ASSERT_TRUE(writer.SetVideoStream(Stream(), Format()));
    EXPECT_FALSE(writer.SetVideoStream(Stream(), Format()));  // one stream only
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(ReadAvi(m_path).error, "");
}

}  // namespace
}  // namespace platform
