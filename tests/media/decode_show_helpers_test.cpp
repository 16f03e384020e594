// The decode stage's small byte and picture routines, and the stream error
// as the core reads it from the pipeline.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/login/session_login.h"
#include "core/state/app_global_state.h"
#include "media/decode_show.h"
#include "media/media_services.h"
#include "media/stream_receiver.h"

namespace {

TEST(ByteOrderHelpers, BigEndianStoreAndSwap) {
    const std::uint32_t values[] = {0x00000000u, 0x01020304u, 0xA1B2C3D4u, 0xFFFFFFFFu};
    for (const std::uint32_t value : values) {
        SCOPED_TRACE(value);
        std::array<std::uint8_t, 4> out{};
        PutBigEndian32(out, value);
        EXPECT_EQ(out[0], value >> 24);
        EXPECT_EQ(out[3], value & 0xFF);
        std::uint32_t swapped = value;
        SwapByteOrder32(swapped);
        std::uint32_t fromBytes = 0;
        std::memcpy(&fromBytes, out.data(), 4);
        if constexpr (std::endian::native == std::endian::little) {
            EXPECT_EQ(swapped, fromBytes);
        }
        SwapByteOrder32(swapped);
        EXPECT_EQ(swapped, value);
    }
    std::uint32_t v = 0x11223344u;
    SwapByteOrder32(v);
    EXPECT_EQ(v, 0x44332211u);
}

struct FrameSizeCase {
    const char* name;
    std::vector<std::uint8_t> jpeg;
    bool written;
    std::size_t heightAt;  // where the height goes when written
};

std::vector<std::uint8_t> WithMarkerAt(std::size_t at, std::size_t size) {
    std::vector<std::uint8_t> bytes(size, 0x11);
    bytes[at] = 0xFF;
    bytes[at + 1] = 0xC0;
    return bytes;
}

TEST(WriteJpegFrameSize, WritesIntoTheFirstStartOfFrame) {
    auto twoMarkers = WithMarkerAt(10, 200);
    twoMarkers[40] = 0xFF;
    twoMarkers[41] = 0xC0;
    const FrameSizeCase cases[] = {
        {"marker at the start", WithMarkerAt(0, 64), true, 5},
        {"first of two markers", twoMarkers, true, 15},
        {"marker starting at byte 99", WithMarkerAt(99, 200), true, 104},
        {"marker starting at byte 100 is not looked for", WithMarkerAt(100, 200), false, 0},
        {"fields end exactly with the bytes", WithMarkerAt(0, 9), true, 5},
        {"fields would run past the bytes", WithMarkerAt(0, 8), false, 0},
        {"no marker", std::vector<std::uint8_t>(120, 0xFF), false, 0},
        {"empty", {}, false, 0},
    };
    for (const FrameSizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> jpeg = c.jpeg;
        EXPECT_EQ(WriteJpegFrameSize(jpeg, 0x01E0, 0x0280), c.written);
        if (c.written) {
            EXPECT_EQ(jpeg[c.heightAt], 0x01);
            EXPECT_EQ(jpeg[c.heightAt + 1], 0xE0);
            EXPECT_EQ(jpeg[c.heightAt + 2], 0x02);
            EXPECT_EQ(jpeg[c.heightAt + 3], 0x80);
            jpeg[c.heightAt] = jpeg[c.heightAt + 1] = jpeg[c.heightAt + 2] = jpeg[c.heightAt + 3] =
                0x11;
        }
        std::vector<std::uint8_t> untouched = c.jpeg;
        if (c.written) {
            for (std::size_t i = 0; i < 4; ++i) untouched[c.heightAt + i] = 0x11;
        }
        EXPECT_EQ(jpeg, untouched);  // nothing else changed
    }
}

TEST(WriteJpegFrameSize, OnTheImageRing) {
    EXPECT_FALSE(SetImageRingFrameSize(1, 2));  // no state at all
    g_lpApp = new AppGlobalState();
    EXPECT_FALSE(SetImageRingFrameSize(1, 2));  // ring not allocated
    g_lpApp->lp_ImageBuffer = std::make_unique<std::uint8_t[]>(kImageSlotBytes);
    g_lpApp->lp_ImageBuffer[3] = 0xFF;
    g_lpApp->lp_ImageBuffer[4] = 0xC0;
    EXPECT_TRUE(SetImageRingFrameSize(0x0102, 0x0304));
    EXPECT_EQ(g_lpApp->lp_ImageBuffer[8], 0x01);
    EXPECT_EQ(g_lpApp->lp_ImageBuffer[11], 0x04);
    delete g_lpApp;
    g_lpApp = nullptr;
}

TEST(InternetChecksumNetworkOrder, StoresAsThePacketBytes) {
    const std::vector<std::uint8_t> rfcExample{0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    const std::uint16_t stored = InternetChecksumNetworkOrder(rfcExample);
    std::array<std::uint8_t, 2> bytes{};
    std::memcpy(bytes.data(), &stored, 2);
    EXPECT_EQ(bytes[0], 0x22);
    EXPECT_EQ(bytes[1], 0x0D);
}

// A field of `rows` rows of one byte each, with the given values.
struct DoubleCase {
    const char* name;
    std::vector<std::uint8_t> field;
    std::vector<std::uint8_t> expected;
};

TEST(DoubleLines, CopiesEvenRowsAndInterpolatesOddOnes) {
    const DoubleCase cases[] = {
        {"one row repeats", {7}, {7, 7}},
        {"two rows: average then repeat", {10, 21}, {10, 15, 21, 21}},
        // Six rows: only the odd row between rows 2 and 3 has all six
        // neighbours: (4*0 - 11*0 + 32*100 + 32*100 - 11*0 + 4*0) / 50 = 128.
        {"step in the middle overshoots",
         {0, 0, 100, 100, 0, 0},
         {0, 0, 0, 50, 100, 128, 100, 50, 0, 0, 0, 0}},
        // Negative sums clamp to 0, large ones to 255.
        {"clamped low",
         {255, 255, 0, 0, 255, 255},
         {255, 255, 255, 127, 0, 0, 0, 127, 255, 255, 255, 255}},
        {"clamped high", {0, 0, 255, 255, 0, 0}, {0, 0, 0, 127, 255, 255, 255, 127, 0, 0, 0, 0}},
        {"rounded to nearest", {0, 0, 1, 0, 0, 0}, {0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0}},
        {"no rows", {}, {}},
    };
    for (const DoubleCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> target(c.expected.size() + 1, 0xEE);
        ASSERT_TRUE(DoubleLines(c.field, 1, c.field.size(), target));
        EXPECT_EQ(std::vector<std::uint8_t>(target.begin(), target.end() - 1), c.expected);
        EXPECT_EQ(target.back(), 0xEE);
    }
}

TEST(DoubleLines, RefusesBuffersThatAreTooSmall) {
    const std::vector<std::uint8_t> field(3 * 4, 9);
    std::vector<std::uint8_t> target(2 * field.size());
    EXPECT_TRUE(DoubleLines(field, 3, 4, target));
    std::vector<std::uint8_t> small(2 * field.size() - 1, 0xEE);
    EXPECT_FALSE(DoubleLines(field, 3, 4, small));
    EXPECT_EQ(small, std::vector<std::uint8_t>(small.size(), 0xEE));
    EXPECT_FALSE(DoubleLines(field, 3, 5, target));             // the field is shorter
    EXPECT_FALSE(DoubleLines(field, SIZE_MAX / 2, 3, target));  // sizes that overflow
    EXPECT_TRUE(DoubleLines(field, 0, 1000, target));           // empty rows
}

TEST(LaneHelpers, SaturateAndClamp) {
    using Lanes = std::array<std::uint16_t, 4>;
    EXPECT_EQ(SubtractSaturatingU16x4(Lanes{5, 0, 65535, 100}, Lanes{3, 1, 1, 100}),
              (Lanes{2, 0, 65534, 0}));
    struct Clamp {
        std::int16_t in;
        std::uint8_t out;
    };
    for (const Clamp c : {Clamp{-32768, 0}, Clamp{-1, 0}, Clamp{0, 0}, Clamp{128, 128},
                          Clamp{255, 255}, Clamp{256, 255}, Clamp{32767, 255}}) {
        EXPECT_EQ(ClampToByte(c.in), c.out) << c.in;
    }
    EXPECT_EQ(SecondArgument(1, 2), 2u);
}

TEST(GetStreamError, ReadsTheReceiveThreadsReason) {
    ScopedMediaServices media;
    g_dwStreamError = kStreamErrorConnect;
    EXPECT_EQ(GetStreamError(), kStreamErrorConnect);
    g_dwStreamError = 0;
    EXPECT_EQ(GetStreamError(), 0u);
}

}  // namespace
