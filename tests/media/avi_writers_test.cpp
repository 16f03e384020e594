#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

#include "media/avi_movie_writer.h"
#include "media/avi_writer.h"
#include "platform/message_box.h"
#include "platform/video_compressor.h"
#include "tests/support/avi_reader.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test_support::ReadAvi;

// Answers the compressor choice as a test says, counting the questions.
class ScopedChooser {
public:
    explicit ScopedChooser(std::optional<platform::FourCC> answer) {
        platform::SetCompressionChooser([this, answer](platform::CompressionOptions& options) {
            ++asked;
            offered = options;
            if (!answer) {
                return false;
            }
            options.handler = *answer;
            return true;
        });
    }
    ~ScopedChooser() { platform::SetCompressionChooser({}); }
    ScopedChooser(const ScopedChooser&) = delete;
    ScopedChooser& operator=(const ScopedChooser&) = delete;

    int asked = 0;
    platform::CompressionOptions offered;
};

// Red, green over blue, white.
QImage FourColours() {
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 255, 0));
    image.setPixel(0, 1, qRgb(0, 0, 255));
    image.setPixel(1, 1, qRgb(255, 255, 255));
    return image;
}

QImage Plain(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

class AviWritersTest : public testing::Test {
protected:
    test_support::TempDir m_dir;
    fs::path m_path = m_dir / "movie.avi";
    test_support::ScopedMessageBoxRecorder m_boxes;
};

// ------------------------------------------------------------------ CAviWriter

TEST_F(AviWritersTest, FramesAreStoredAsBottomUp32BitKeyFrames) {
    ScopedChooser chooser(platform::kCompressorFullFrames);
    {
        CAviWriter writer(m_path, -1, -1);
        ASSERT_TRUE(writer.AddFrame(FourColours(), 12.5));
        EXPECT_FALSE(writer.AddFrame(Plain(3, 2, qRgb(1, 2, 3)), 12.5));  // another size
        EXPECT_TRUE(writer.IsOK());
        ASSERT_TRUE(writer.AddFrame(Plain(2, 2, qRgb(1, 2, 3)), 99));
    }
    EXPECT_EQ(chooser.asked, 1);
    EXPECT_EQ(chooser.offered.handler, platform::MakeFourCC('m', 'p', 'g', '4'));
    EXPECT_EQ(chooser.offered.flags, platform::kCompressValid);

    const auto avi = ReadAvi(m_path);
    ASSERT_EQ(avi.error, "");
    EXPECT_EQ(avi.handler, 0u);
    EXPECT_EQ(avi.scale, 100u);
    EXPECT_EQ(avi.rate, 1250u);  // the first frame's rate holds
    EXPECT_EQ(avi.length, 2u);
    EXPECT_EQ(avi.streamSuggestedBufferSize, 16u);
    EXPECT_EQ((std::vector<int>{avi.frame[0], avi.frame[1], avi.frame[2], avi.frame[3]}),
              (std::vector<int>{0, 0, 2, 2}));
    platform::BitmapInfoHeader format;
    format.width = 2;
    format.height = 2;
    format.bitCount = 32;
    format.sizeImage = 16;
    EXPECT_EQ(avi.format, format.Serialize());
    ASSERT_EQ(avi.frames.size(), 2u);
    EXPECT_EQ(avi.frames[0].data, (Bytes{0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0,  // blue, white
                                         0, 0, 0xFF, 0, 0, 0xFF, 0, 0}));     // red, green
    EXPECT_EQ(avi.frames[1].data, (Bytes{3, 2, 1, 0, 3, 2, 1, 0, 3, 2, 1, 0, 3, 2, 1, 0}));
    for (const auto& frame : avi.frames) {
        EXPECT_EQ(frame.indexFlags, platform::kAviIndexKeyFrame);
    }
}

TEST_F(AviWritersTest, FixedSizeRefusesOtherFramesWithoutFailing) {
    ScopedChooser chooser(platform::kCompressorFullFrames);
    CAviWriter writer(m_path, 3, 1);
    EXPECT_FALSE(writer.AddFrame(Plain(3, 2, 0), 10));
    EXPECT_FALSE(writer.AddFrame(Plain(2, 1, 0), 10));
    EXPECT_TRUE(writer.IsOK());
    EXPECT_FALSE(fs::exists(m_path));
    EXPECT_TRUE(writer.AddFrame(Plain(3, 1, 0), 10));
}

TEST_F(AviWritersTest, FailuresClearTheOkFlagForGood) {
    struct Case {
        const char* name;
        std::optional<platform::FourCC> choice;
        bool fileExists;
        QImage frame;
    };
    const Case cases[] = {
        {"choice cancelled", std::nullopt, false, Plain(2, 2, 0)},
        {"compressor not on this machine", platform::MakeFourCC('m', 'p', 'g', '4'), false,
         Plain(2, 2, 0)},
        {"file exists", platform::kCompressorFullFrames, true, Plain(2, 2, 0)},
        {"no picture", platform::kCompressorFullFrames, false, QImage()},
    };
    for (const Case& c : cases) {
        fs::remove(m_path);
        if (c.fileExists) {
            std::ofstream(m_path) << "keep";
        }
        ScopedChooser chooser(c.choice);
        CAviWriter writer(m_path, -1, -1);
        EXPECT_FALSE(writer.AddFrame(c.frame, 25)) << c.name;
        EXPECT_FALSE(writer.IsOK()) << c.name;
        EXPECT_FALSE(writer.AddFrame(Plain(2, 2, 0), 25)) << c.name;
        EXPECT_LE(chooser.asked, 1) << c.name;
        EXPECT_EQ(fs::exists(m_path), c.fileExists) << c.name;
        if (c.fileExists) {
            EXPECT_EQ(fs::file_size(m_path), 4u) << c.name;
        }
    }
    EXPECT_TRUE(m_boxes.Ids().empty());
}

TEST_F(AviWritersTest, WriteFailureKeepsTheMovieSoFar) {
    ScopedChooser chooser(platform::kCompressorFullFrames);
    {
        CAviWriter writer(m_path, -1, -1);
        ASSERT_TRUE(writer.AddFrame(Plain(8, 8, qRgb(9, 9, 9)), 5));
        {
            test_support::ScopedFileSizeLimit limit(fs::file_size(m_path) + 100);
            EXPECT_FALSE(writer.AddFrame(Plain(8, 8, qRgb(9, 9, 9)), 5));
        }
        EXPECT_FALSE(writer.IsOK());
        EXPECT_FALSE(writer.AddFrame(Plain(8, 8, qRgb(9, 9, 9)), 5));
    }
    const auto avi = ReadAvi(m_path);
    ASSERT_EQ(avi.error, "");
    EXPECT_EQ(avi.frames.size(), 1u);
}

TEST_F(AviWritersTest, RateIsFramesPerSecondTimes100Truncated) {
    struct Case {
        double fps;
        std::uint32_t rate;
    };
    const Case cases[] = {
        {25, 2500},        {7.999, 799},
        {0.25, 25},        {0, 1},
        {0.004, 1},        {-5, 1},
        {std::nan(""), 1}, {1e12, std::numeric_limits<std::uint32_t>::max()},
    };
    ScopedChooser chooser(platform::kCompressorFullFrames);
    for (const Case& c : cases) {
        fs::remove(m_path);
        {
            CAviWriter writer(m_path, -1, -1);
            ASSERT_TRUE(writer.AddFrame(Plain(1, 1, 0), c.fps)) << c.fps;
        }
        const auto avi = ReadAvi(m_path);
        ASSERT_EQ(avi.error, "");
        EXPECT_EQ(avi.rate, c.rate) << c.fps;
    }
}

// ------------------------------------------------------------- CAviMovieWriter

TEST_F(AviWritersTest, MovieWriterWithoutMpeg4CompressorTakesTheFailurePath) {
    const Bytes raw(4 * 2 * 3, 0x40);
    const std::function<HRESULT(CAviMovieWriter&)> appends[] = {
        [](CAviMovieWriter& w) { return w.AppendBitmap(Plain(4, 2, qRgb(1, 2, 3))); },
        [](CAviMovieWriter& w) {
            return w.AppendBitmap(FourColours().convertToFormat(QImage::Format_RGB888));
        },
        [&raw](CAviMovieWriter& w) { return w.AppendBuffer(4, 2, raw, 24); },
        // Frames that cannot be described fail the same way.
        [&raw](CAviMovieWriter& w) { return w.AppendBuffer(-4, 2, raw, 24); },
        [&raw](CAviMovieWriter& w) { return w.AppendBuffer(4, 2, raw, 16); },
        [](CAviMovieWriter& w) { return w.AppendBitmap(QImage()); },
    };
    for (std::size_t i = 0; i < std::size(appends); ++i) {
        m_boxes.sink().Clear();
        CAviMovieWriter writer(m_path);
        EXPECT_EQ(writer.GetState(), CAviMovieWriter::kStateNotOpened);
        EXPECT_EQ(appends[i](writer), kResultFail) << i;
        EXPECT_EQ(writer.GetState(), CAviMovieWriter::kStateFailed) << i;
        EXPECT_EQ(m_boxes.Ids(), std::vector<unsigned>{4025}) << i;
        EXPECT_FALSE(fs::exists(m_path)) << i;  // nothing half-made is left
        // From now on every append fails quietly.
        EXPECT_EQ(writer.AppendBitmap(Plain(4, 2, 0)), kResultFail);
        EXPECT_EQ(writer.AppendBuffer(4, 2, raw, 24), kResultFail);
        EXPECT_EQ(m_boxes.Ids().size(), 1u) << i;
    }
    EXPECT_EQ(kResultFail, static_cast<HRESULT>(0x80004005u));
}

TEST_F(AviWritersTest, MovieWriterNeverReplacesAFile) {
    std::ofstream(m_path) << "keep";
    CAviMovieWriter writer(m_path);
    EXPECT_EQ(writer.AppendBitmap(Plain(4, 2, 0)), kResultFail);
    EXPECT_EQ(m_boxes.Ids(), std::vector<unsigned>{4025});
    EXPECT_EQ(fs::file_size(m_path), 4u);
}

}  // namespace
