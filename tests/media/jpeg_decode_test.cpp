#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "media/jpeg_codec_adapter.h"
#include "platform/jpeg_codec.h"
#include "tests/media/jpeg_test_images.h"
#include "tools/streamgen/device_jpeg.h"

namespace {

using jpeg_test::Colour;

constexpr std::uint8_t kSentinel = 0xA5;

// A fresh image ring slot, filled with a sentinel so that untouched bytes
// can be told from written ones.
std::vector<std::uint8_t> Slot(std::size_t bytes = kImageSlotBytes) {
    return std::vector<std::uint8_t>(bytes, kSentinel);
}

bool AllSentinel(const std::vector<std::uint8_t>& buffer) {
    return std::all_of(buffer.begin(), buffer.end(), [](std::uint8_t b) { return b == kSentinel; });
}

// Largest difference of any byte of `picture`'s first width × height pixels
// from one colour.
int LargestDeviation(const std::vector<std::uint8_t>& picture, int width, int height, Colour c) {
    int largest = 0;
    const std::size_t bytes = static_cast<std::size_t>(width) * height * 3;
    for (std::size_t i = 0; i < bytes; i += 3) {
        largest = std::max({largest, std::abs(picture[i] - c.b), std::abs(picture[i + 1] - c.g),
                            std::abs(picture[i + 2] - c.r)});
    }
    return largest;
}

// ------------------------------------------------------------------ device frames

class DeviceFrameDecode : public ::testing::TestWithParam<streamgen::FrameSize> {};

TEST_P(DeviceFrameDecode, DecodesIntoTheSlotAsTheTestPicture) {
    const auto [width, height] = GetParam();
    streamgen::DeviceJpegEncoder encoder;
    const std::vector<std::uint8_t> jpeg = encoder.EncodeFrame(width, height, 7);

    // As the device sends it: no application segment, and small enough for
    // a socket slot.
    EXPECT_EQ(IsJpegStart(jpeg), 1);
    EXPECT_LE(jpeg.size(), kSocketSlotBytes);

    std::vector<std::uint8_t> slot = Slot();
    std::uint16_t w = 0;
    std::uint16_t h = 0;
    ASSERT_EQ(DecodeJpegFrame(jpeg, slot, w, h), 1);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);

    const std::size_t bytes = static_cast<std::size_t>(width) * height * 3;
    std::vector<std::uint8_t> expected(bytes);
    streamgen::PaintTestPicture(expected, width, height, 7);
    double sum = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        sum += std::abs(slot[i] - expected[i]);
    }
    EXPECT_LT(sum / static_cast<double>(bytes), 6.0) << "decoded picture differs from the source";
    EXPECT_TRUE(std::all_of(slot.begin() + static_cast<std::ptrdiff_t>(bytes), slot.end(),
                            [](std::uint8_t b) { return b == kSentinel; }))
        << "bytes behind the picture were written";

    // The next frame looks different.
    std::vector<std::uint8_t> next = Slot();
    ASSERT_EQ(DecodeJpegFrame(encoder.EncodeFrame(width, height, 8), next, w, h), 1);
    EXPECT_FALSE(
        std::equal(slot.begin(), slot.begin() + static_cast<std::ptrdiff_t>(bytes), next.begin()));
}

INSTANTIATE_TEST_SUITE_P(ViewModeSizes, DeviceFrameDecode,
                         ::testing::ValuesIn(streamgen::kDeviceFrameSizes),
                         [](const auto& instance) {
                             return std::to_string(instance.param.width) + "x" +
                                    std::to_string(instance.param.height);
                         });

TEST(DeviceFrame, SolidColourDecodesToItsBlueGreenRedBytes) {
    const Colour colour{30, 140, 220};
    streamgen::DeviceJpegEncoder encoder;
    const auto jpeg = encoder.EncodeSolid(352, 240, {colour.b, colour.g, colour.r});
    std::vector<std::uint8_t> slot = Slot();
    std::uint16_t w = 0;
    std::uint16_t h = 0;
    ASSERT_EQ(DecodeJpegFrame(jpeg, slot, w, h), 1);
    EXPECT_LE(LargestDeviation(slot, w, h, colour), 3);
}

TEST(DeviceFrame, TopRowOfTheImageIsTheLastRowOfThePicture) {
    // Made top row first by TurboJPEG itself: red above, blue below.
    constexpr int kWidth = 64;
    constexpr int kHeight = 32;
    const Colour red{0, 0, 255};
    const Colour blue{255, 0, 0};
    std::vector<std::uint8_t> topDown = jpeg_test::SolidPicture(kWidth, kHeight, blue);
    const auto redHalf = jpeg_test::SolidPicture(kWidth, kHeight / 2, red);
    std::copy(redHalf.begin(), redHalf.end(), topDown.begin());
    const auto jpeg = jpeg_test::Encode(topDown, kWidth, kHeight, TJPF_BGR, TJSAMP_444, 95);

    std::vector<std::uint8_t> slot = Slot();
    std::uint16_t w = 0;
    std::uint16_t h = 0;
    ASSERT_EQ(DecodeJpegFrame(jpeg, slot, w, h), 1);
    const std::size_t row = kWidth * 3;
    const std::vector<std::uint8_t> first(slot.begin(), slot.begin() + row);
    const std::vector<std::uint8_t> last(slot.begin() + (kHeight - 1) * row,
                                         slot.begin() + kHeight * row);
    EXPECT_LE(LargestDeviation(first, kWidth, 1, blue), 3) << "first row is the image's bottom";
    EXPECT_LE(LargestDeviation(last, kWidth, 1, red), 3) << "last row is the image's top";
}

// ------------------------------------------------------------------ layouts

struct LayoutCase {
    const char* name;
    int subsampling;
    int flags;
    platform::JpegSubsampling expected;
};

class AcceptedLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(AcceptedLayout, DecodesToBlueGreenRed) {
    const LayoutCase& c = GetParam();
    const Colour colour{60, 120, 200};
    const auto jpeg = jpeg_test::SolidJpeg(48, 32, colour, c.subsampling, c.flags);
    platform::JpegDecoder decoder;
    const auto header = decoder.ReadHeader(jpeg);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->subsampling, c.expected);
    EXPECT_EQ(header->colourSpace, c.subsampling == TJSAMP_GRAY
                                       ? platform::JpegColourSpace::kGray
                                       : platform::JpegColourSpace::kYCbCr);

    std::vector<std::uint8_t> slot = Slot();
    std::uint16_t w = 0;
    std::uint16_t h = 0;
    ASSERT_EQ(DecodeJpegFrame(jpeg, slot, w, h), 1);
    EXPECT_EQ(w, 48);
    EXPECT_EQ(h, 32);
    if (c.subsampling == TJSAMP_GRAY) {
        // Luminance only: every channel carries it.
        const int y = (299 * colour.r + 587 * colour.g + 114 * colour.b) / 1000;
        const auto luma = static_cast<std::uint8_t>(y);
        EXPECT_LE(LargestDeviation(slot, w, h, {luma, luma, luma}), 2);
    } else {
        EXPECT_LE(LargestDeviation(slot, w, h, colour), 3);
    }
}

const LayoutCase kAcceptedLayouts[] = {
    {"s444", TJSAMP_444, 0, platform::JpegSubsampling::k444},
    {"s422", TJSAMP_422, 0, platform::JpegSubsampling::k422},
    {"s420", TJSAMP_420, 0, platform::JpegSubsampling::k420},
    {"s440", TJSAMP_440, 0, platform::JpegSubsampling::k440},
    {"s411", TJSAMP_411, 0, platform::JpegSubsampling::k411},
    {"grey", TJSAMP_GRAY, 0, platform::JpegSubsampling::kGray},
    {"progressive", TJSAMP_420, TJFLAG_PROGRESSIVE, platform::JpegSubsampling::k420},
};

INSTANTIATE_TEST_SUITE_P(Layouts, AcceptedLayout, ::testing::ValuesIn(kAcceptedLayouts),
                         [](const auto& instance) { return std::string(instance.param.name); });

// ------------------------------------------------------------------ refusals

// An image with sampling factors the decoder cannot name (luminance 3 × 1).
std::vector<std::uint8_t> OddSamplingJpeg() {
    auto jpeg = jpeg_test::SolidJpeg(64, 48, {1, 2, 3}, TJSAMP_420);
    const std::size_t sof = jpeg_test::MarkerAt(jpeg, 0xC0);
    // FF C0, length (2), precision, height (2), width (2), count, then the
    // first component's id and its sampling factors.
    jpeg.at(sof + 11) = 0x31;
    return jpeg;
}

struct RefusalCase {
    const char* name;
    std::vector<std::uint8_t> (*make)();
    std::size_t buffer;
    // The size reported back, or 0 when width and height stay as they were.
    int reportedWidth;
    int reportedHeight;
};

const RefusalCase kRefusals[] = {
    // 1024 × 513 × 3 = 1,575,936, just over the 1,572,864 of the slot; the
    // buffer offered is larger still, but the slot is the limit.
    {"larger_than_slot",
     [] {
         return jpeg_test::SolidJpeg(1024, 513, {0, 0, 0}, TJSAMP_420);
     },
     kImageSlotBytes + 8192, 0, 0},
    {"larger_than_buffer",
     [] {
         return jpeg_test::SolidJpeg(320, 240, {0, 0, 0}, TJSAMP_420);
     },
     320 * 240 * 3 - 1, 0, 0},
    {"cmyk", [] { return jpeg_test::CmykJpeg(64, 48); }, kImageSlotBytes, 64, 48},
    {"odd_sampling", OddSamplingJpeg, kImageSlotBytes, 0, 0},
};

class RefusedBeforeDecoding : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedBeforeDecoding, LeavesThePictureUntouched) {
    const RefusalCase& c = GetParam();
    const auto jpeg = c.make();
    std::vector<std::uint8_t> buffer = Slot(c.buffer);
    std::uint16_t w = 11;
    std::uint16_t h = 22;
    EXPECT_EQ(DecodeJpegFrame(jpeg, buffer, w, h), 0);
    EXPECT_TRUE(AllSentinel(buffer)) << "something was decoded";
    EXPECT_EQ(w, c.reportedWidth == 0 ? 11 : c.reportedWidth);
    EXPECT_EQ(h, c.reportedHeight == 0 ? 22 : c.reportedHeight);

    std::vector<std::uint8_t> slot = Slot();
    EXPECT_EQ(DecodeJpegFrame(jpeg_test::SolidJpeg(64, 48, {1, 2, 3}, TJSAMP_422), slot, w, h), 1)
        << "the decoder is fit for the next frame";
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusedBeforeDecoding, ::testing::ValuesIn(kRefusals),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(DecodeLimits, PictureFillingTheSlotExactlyDecodes) {
    // 1024 × 512 × 3 = 1,572,864.
    const auto jpeg = jpeg_test::SolidJpeg(1024, 512, {90, 90, 90}, TJSAMP_420);
    std::vector<std::uint8_t> slot = Slot();
    std::uint16_t w = 0;
    std::uint16_t h = 0;
    EXPECT_EQ(DecodeJpegFrame(jpeg, slot, w, h), 1);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 512);
}

// ------------------------------------------------------------------ damaged input

std::vector<std::uint8_t> DeviceFrame() {
    streamgen::DeviceJpegEncoder encoder;
    return encoder.EncodeFrame(320, 240, 3);
}

std::vector<std::uint8_t> WithJunk(std::vector<std::uint8_t> start, std::size_t junk) {
    std::uint32_t x = 12345;
    for (std::size_t i = 0; i < junk; ++i) {
        x = x * 1103515245u + 12345u;
        start.push_back(static_cast<std::uint8_t>(x >> 16));
    }
    return start;
}

std::vector<std::uint8_t> WithoutEndMarker(std::vector<std::uint8_t> jpeg) {
    if (jpeg.size() < 2 || jpeg[jpeg.size() - 2] != 0xFF || jpeg.back() != 0xD9) {
        throw std::runtime_error("image does not end with FF D9");
    }
    jpeg.resize(jpeg.size() - 2);
    return jpeg;
}

std::vector<std::uint8_t> WithEndMarker(std::vector<std::uint8_t> jpeg) {
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});
    return jpeg;
}

// Bytes that are no part of the image; none is FF, so none starts a marker.
std::vector<std::uint8_t> WithStrayBytes(std::vector<std::uint8_t> jpeg, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        jpeg.push_back(static_cast<std::uint8_t>(0x11 * (i % 14 + 1)));
    }
    return jpeg;
}

struct DamageCase {
    const char* name;
    std::vector<std::uint8_t> (*make)();
};

const DamageCase kDamaged[] = {
    {"empty", [] { return std::vector<std::uint8_t>{}; }},
    {"start_of_image_only",
     [] {
         return std::vector<std::uint8_t>{0xFF, 0xD8};
     }},
    {"garbage_after_start",
     [] {
         return WithJunk({0xFF, 0xD8}, 4000);
     }},
    {"garbage_after_tables_marker",
     [] {
         return WithJunk({0xFF, 0xD8, 0xFF, 0xDB}, 4000);
     }},
    {"not_a_jpeg", [] { return WithJunk({}, 4000); }},
    {"tables_only",
     [] {
         auto jpeg = DeviceFrame();
         jpeg.resize(jpeg_test::MarkerAt(jpeg, 0xC0));
         jpeg.insert(jpeg.end(), {0xFF, 0xD9});
         return jpeg;
     }},
    {"cut_after_scan_header",
     [] {
         auto jpeg = DeviceFrame();
         const std::size_t sos = jpeg_test::MarkerAt(jpeg, 0xDA);
         jpeg.resize(sos + 2 + ((jpeg[sos + 2] << 8) | jpeg[sos + 3]));
         return jpeg;
     }},
    {"cut_in_scan_data",
     [] {
         auto jpeg = DeviceFrame();
         jpeg.resize(jpeg.size() * 6 / 10);
         return jpeg;
     }},
    // Scan data cut short by one byte: the library would fill the last
    // blocks with made-up data and only warn, with or without the end
    // marker behind the cut.
    {"last_scan_byte_missing",
     [] {
         auto jpeg = WithoutEndMarker(DeviceFrame());
         jpeg.pop_back();
         return WithEndMarker(jpeg);
     }},
    {"last_scan_byte_and_end_marker_missing",
     [] {
         auto jpeg = WithoutEndMarker(DeviceFrame());
         jpeg.pop_back();
         return jpeg;
     }},
    {"cut_in_scan_data_with_end_marker",
     [] {
         auto jpeg = DeviceFrame();
         jpeg.resize(jpeg.size() * 6 / 10);
         return WithEndMarker(jpeg);
     }},
    // What a scan that lost its place looks like: it runs out of blocks
    // long before its data ends.
    {"hundreds_of_bytes_before_end_marker",
     [] { return WithEndMarker(WithStrayBytes(WithoutEndMarker(DeviceFrame()), 300)); }},
    {"stray_bytes_before_a_later_scan",
     [] {
         auto jpeg = jpeg_test::Encode(jpeg_test::SolidPicture(64, 48, {9, 99, 199}), 64, 48,
                                       TJPF_BGR, TJSAMP_420, 90, TJFLAG_PROGRESSIVE);
         const std::size_t firstScan = jpeg_test::MarkerAt(jpeg, 0xDA);
         const std::size_t secondScan = jpeg_test::FindMarker(jpeg, 0xDA, firstScan + 2);
         jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(secondScan), {0x11, 0x22, 0x33});
         return jpeg;
     }},
};

class DamagedInput : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedInput, FailsWithoutHarm) {
    const auto jpeg = GetParam().make();
    std::vector<std::uint8_t> slot = Slot();
    std::uint16_t w = 0;
    std::uint16_t h = 0;
    EXPECT_EQ(DecodeJpegFrame(jpeg, slot, w, h), 0);
    // The thread's decoder is fit for the next frame.
    EXPECT_EQ(DecodeJpegFrame(DeviceFrame(), slot, w, h), 1);
}

INSTANTIATE_TEST_SUITE_P(Damage, DamagedInput, ::testing::ValuesIn(kDamaged),
                         [](const auto& instance) { return std::string(instance.param.name); });

// ------------------------------------------------------------------ flaws behind the scan

// Images whose scan data is whole, with a flaw the library only warns
// about after the last block: each decodes to exactly the picture of the
// intact image.
struct WarningCase {
    const char* name;
    std::vector<std::uint8_t> (*flaw)(std::vector<std::uint8_t>);
};

const WarningCase kWarningOnly[] = {
    {"end_marker_missing", WithoutEndMarker},
    {"half_end_marker",
     [](std::vector<std::uint8_t> jpeg) {
         jpeg.pop_back();
         return jpeg;
     }},
    {"stray_bytes_before_end_marker",
     [](std::vector<std::uint8_t> jpeg) {
         return WithEndMarker(WithStrayBytes(WithoutEndMarker(std::move(jpeg)), 3));
     }},
    {"zero_padding_before_end_marker",
     [](std::vector<std::uint8_t> jpeg) {
         jpeg = WithoutEndMarker(std::move(jpeg));
         jpeg.insert(jpeg.end(), 8, 0x00);
         return WithEndMarker(jpeg);
     }},
    {"stray_bytes_and_end_marker_missing",
     [](std::vector<std::uint8_t> jpeg) {
         return WithStrayBytes(WithoutEndMarker(std::move(jpeg)), 3);
     }},
    {"bytes_behind_a_missing_end_marker_not_ending_in_it",
     [](std::vector<std::uint8_t> jpeg) {
         jpeg = WithoutEndMarker(std::move(jpeg));
         jpeg.insert(jpeg.end(), {0x00, 0xFF});
         return jpeg;
     }},
};

struct WarningImage {
    const char* name;
    std::vector<std::uint8_t> (*make)();
};

const WarningImage kWarningImages[] = {
    {"device_frame", DeviceFrame},
    {"progressive",
     [] {
         std::vector<std::uint8_t> picture(160 * 120 * 3);
         streamgen::PaintTestPicture(picture, 160, 120, 4);
         return jpeg_test::Encode(picture, 160, 120, TJPF_BGR, TJSAMP_420, 80,
                                  TJFLAG_PROGRESSIVE | TJFLAG_BOTTOMUP);
     }},
};

class WarningOnlyImage : public ::testing::TestWithParam<std::tuple<WarningImage, WarningCase>> {};

TEST_P(WarningOnlyImage, DecodesToThePictureOfTheIntactImage) {
    const auto& [image, c] = GetParam();
    const auto intact = image.make();
    std::vector<std::uint8_t> expected = Slot();
    std::uint16_t w = 0;
    std::uint16_t h = 0;
    ASSERT_EQ(DecodeJpegFrame(intact, expected, w, h), 1);

    std::vector<std::uint8_t> slot = Slot();
    std::uint16_t flawedWidth = 0;
    std::uint16_t flawedHeight = 0;
    EXPECT_EQ(DecodeJpegFrame(c.flaw(intact), slot, flawedWidth, flawedHeight), 1);
    EXPECT_EQ(flawedWidth, w);
    EXPECT_EQ(flawedHeight, h);
    EXPECT_TRUE(slot == expected) << "the picture differs from the intact image's";

    // The decoder goes on with the next frame as before.
    std::vector<std::uint8_t> next = Slot();
    EXPECT_EQ(DecodeJpegFrame(intact, next, w, h), 1);
    EXPECT_TRUE(next == expected);
}

INSTANTIATE_TEST_SUITE_P(Flaws, WarningOnlyImage,
                         ::testing::Combine(::testing::ValuesIn(kWarningImages),
                                            ::testing::ValuesIn(kWarningOnly)),
                         [](const auto& instance) {
                             return std::string(std::get<0>(instance.param).name) + "_" +
                                    std::get<1>(instance.param).name;
                         });

TEST(DamagedInput, FlippedBytesNeverWriteOutsideThePicture) {
    // Each variant changes one byte of a good frame; whatever the decoder
    // makes of it, it stays within the picture (the sanitizers watch the
    // rest) and the decoder keeps working for the next good frame.
    streamgen::DeviceJpegEncoder encoder;
    const auto good = encoder.EncodeFrame(160, 120, 5);
    const std::size_t pictureBytes = 160 * 120 * 3;
    std::vector<std::uint8_t> slot = Slot(pictureBytes);
    std::uint16_t w = 0;
    std::uint16_t h = 0;
    for (std::size_t i = 0; i < 300; ++i) {
        auto bad = good;
        bad[2 + (i * 7919) % (bad.size() - 2)] ^= static_cast<std::uint8_t>(i * 13 + 1);
        const int result = DecodeJpegFrame(bad, slot, w, h);
        EXPECT_TRUE(result == 0 || result == 1);
    }
    EXPECT_EQ(DecodeJpegFrame(good, slot, w, h), 1);
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 120);
}

}  // namespace
