#include "tools/streamgen/device_jpeg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/jpeg_codec.h"
#include "tests/media/jpeg_test_images.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(StripApplicationSegments, LeavesTheTablesRightBehindTheStart) {
    const Bytes jfif = jpeg_test::SolidJpeg(16, 16, {1, 2, 3}, TJSAMP_420);
    ASSERT_EQ(jfif[3], 0xE0) << "TurboJPEG writes a JFIF segment first";
    const Bytes stripped = streamgen::StripApplicationSegments(jfif);
    ASSERT_GE(stripped.size(), 4u);
    EXPECT_EQ(Bytes(stripped.begin(), stripped.begin() + 4), (Bytes{0xFF, 0xD8, 0xFF, 0xDB}));
    platform::JpegDecoder decoder;
    EXPECT_TRUE(decoder.ReadHeader(stripped).has_value());

    // Several segments (an APP1, a comment) go as well.
    Bytes several = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x04, 0xAA, 0xBB, 0xFF, 0xFE, 0x00, 0x02};
    several.insert(several.end(), jfif.begin() + 2, jfif.end());
    EXPECT_EQ(streamgen::StripApplicationSegments(several), stripped);
}

TEST(StripApplicationSegments, RefusesWhatIsNotAJpegOrRunsPastTheEnd) {
    EXPECT_TRUE(streamgen::StripApplicationSegments(Bytes{}).empty());
    EXPECT_TRUE(streamgen::StripApplicationSegments(Bytes{0xFF, 0xD9, 0xFF, 0xDB}).empty());
    EXPECT_TRUE(streamgen::StripApplicationSegments(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A})
                    .empty());
    EXPECT_TRUE(
        streamgen::StripApplicationSegments(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01}).empty());
}

TEST(DeviceJpegCycle, RepeatsAfterItsLengthAndEveryFrameDiffers) {
    const streamgen::DeviceJpegCycle cycle(320, 120, 4);
    ASSERT_EQ(cycle.size(), 4u);
    EXPECT_EQ(cycle.width(), 320);
    EXPECT_EQ(cycle.height(), 120);
    for (std::uint64_t n = 0; n < 4; ++n) {
        const auto frame = cycle.Frame(n);
        EXPECT_EQ(Bytes(frame.begin(), frame.end()),
                  Bytes(cycle.Frame(n + 4).begin(), cycle.Frame(n + 4).end()));
        const auto next = cycle.Frame(n + 1);
        EXPECT_NE(Bytes(frame.begin(), frame.end()), Bytes(next.begin(), next.end()));
        EXPECT_LE(frame.size(), cycle.LargestFrameBytes());
    }
}

// A channel's picture carries its number, readable from the painted picture
// and after the trip through the encoder and decoder, at every size the
// devices send; a picture without a channel has no mark.
TEST(DeviceJpegCycle, ChannelMarkSurvivesTheCodecAtEverySize) {
    const struct {
        int width;
        int height;
    } sizes[] = {{640, 228}, {320, 276}, {704, 240}, {352, 288}, {640, 480}, {160, 120}};
    platform::JpegDecoder decoder;
    for (const auto& size : sizes) {
        for (const int channel : {-1, 0, 1, 7, 16, 31}) {
            SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) +
                         " channel " + std::to_string(channel));
            const streamgen::DeviceJpegCycle cycle(size.width, size.height, 1, 70,
                                                   streamgen::Chroma::k422, channel);
            const auto jpeg = cycle.Frame(0);
            Bytes picture(static_cast<std::size_t>(size.width) * size.height * 3);
            ASSERT_EQ(decoder.DecodeBgrBottomUp(jpeg, picture), platform::JpegDecodeResult::kOk);
            const int read = streamgen::ReadChannelMark(size.width, size.height, [&](int x, int y) {
                const std::size_t at =
                    (static_cast<std::size_t>(size.height - 1 - y) * size.width + x) * 3;
                return (picture[at] + picture[at + 1] + picture[at + 2]) / 3 > 128;
            });
            EXPECT_EQ(read, channel);
        }
    }
}

TEST(DeviceJpegEncoder, ChromaChoiceReachesTheHeader) {
    const struct {
        streamgen::Chroma chroma;
        platform::JpegSubsampling expected;
    } cases[] = {
        {streamgen::Chroma::k444, platform::JpegSubsampling::k444},
        {streamgen::Chroma::k422, platform::JpegSubsampling::k422},
        {streamgen::Chroma::k420, platform::JpegSubsampling::k420},
        {streamgen::Chroma::kGray, platform::JpegSubsampling::kGray},
    };
    platform::JpegDecoder decoder;
    for (const auto& c : cases) {
        streamgen::DeviceJpegEncoder encoder(80, c.chroma);
        const auto header = decoder.ReadHeader(encoder.EncodeFrame(64, 32, 1));
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(header->width, 64);
        EXPECT_EQ(header->height, 32);
        EXPECT_EQ(header->subsampling, c.expected);
    }
}

}  // namespace
