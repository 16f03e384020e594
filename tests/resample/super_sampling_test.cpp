// Supersampling: block means, fractional ratios, the written rectangle,
// layouts, and the edge cases of the area formula.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "resample/super_sampling.h"
#include "tests/resample/resample_test_util.h"

using namespace resample_test;

namespace {

struct Impulse {
    int x, y, value;
    std::array<int, 4> expected;  // destination (0,0), (1,0), (0,1), (1,1)
};

}  // namespace

// Factors 1/2: the rounded mean of each 2 x 2 block (a half rounds up).
TEST(SuperSampling, HalfSizeRoundsBlockMeans) {
    // Block sums 1, 2, 3, 4 and 6.
    const int blocks[5][4] = {{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 1, 1, 0}, {1, 1, 1, 1}, {2, 2, 1, 1}};
    const int expected[5] = {0, 1, 1, 1, 2};
    Picture src(10, 2);
    for (int b = 0; b < 5; ++b) {
        std::memset(src.px(2 * b, 0), blocks[b][0], 3);
        std::memset(src.px(2 * b + 1, 0), blocks[b][1], 3);
        std::memset(src.px(2 * b, 1), blocks[b][2], 3);
        std::memset(src.px(2 * b + 1, 1), blocks[b][3], 3);
    }
    Picture dst(5, 1);
    ASSERT_EQ(Resize(src, src.all(), dst, 0.5, 0.5, kResizeSuper), kResizeOk);
    for (int b = 0; b < 5; ++b) {
        EXPECT_EQ(dst.px(b, 0)[0], expected[b]) << "block " << b;
        EXPECT_EQ(dst.px(b, 0)[2], expected[b]) << "block " << b;
    }
}

// Fractional ratios share the pixels on the span edges. On a 5 x 5 ROI with
// factors 0.4 the middle row and column count half in two destination
// pixels, the centre a quarter in four; each sum is multiplied by 0.16.
TEST(SuperSampling, SharedPixelsOnFractionalSpans) {
    const Impulse kImpulses[] = {
        {0, 0, 250, {40, 0, 0, 0}},  {4, 4, 250, {0, 0, 0, 40}},  {2, 2, 250, {10, 10, 10, 10}},
        {2, 0, 250, {20, 20, 0, 0}}, {0, 2, 250, {20, 0, 20, 0}}, {1, 3, 250, {0, 0, 40, 0}},
    };
    for (const Impulse& i : kImpulses) {
        Picture src(5, 5);
        std::memset(src.px(i.x, i.y), i.value, 3);
        ExpectWritesExactly(Picture(4, 4), 2, 2, [&](Picture& dst) {
            ASSERT_EQ(Resize(src, src.all(), dst, 0.4, 0.4, kResizeSuper), kResizeOk);
            const std::array<int, 4> got = {dst.px(0, 0)[1], dst.px(1, 0)[1], dst.px(0, 1)[1],
                                            dst.px(1, 1)[1]};
            EXPECT_EQ(got, i.expected) << "impulse at " << i.x << "," << i.y;
        });
    }
}

// Whole ratio across, fractional down (and the reverse): rows 0, 1 and half
// of row 2 make destination row 0.
TEST(SuperSampling, MixedRatios) {
    Picture src(4, 5);
    std::memset(src.px(1, 2), 200, 3);
    Picture dst(2, 2);
    ASSERT_EQ(Resize(src, src.all(), dst, 0.5, 0.4, kResizeSuper), kResizeOk);
    // 0.5 * 200 * (0.5 * 0.4) = 20.
    EXPECT_EQ(dst.px(0, 0)[0], 20);
    EXPECT_EQ(dst.px(0, 1)[0], 20);
    EXPECT_EQ(dst.px(1, 0)[0], 0);
    Picture across(2, 2);
    Picture tall(5, 4);
    std::memset(tall.px(2, 1), 200, 3);
    ASSERT_EQ(Resize(tall, tall.all(), across, 0.4, 0.5, kResizeSuper), kResizeOk);
    EXPECT_EQ(across.px(0, 0)[0], 20);
    EXPECT_EQ(across.px(1, 0)[0], 20);
    EXPECT_EQ(across.px(0, 1)[0], 0);
}

// The weights of one destination pixel add up to the ratio: flat pictures
// stay flat for every ratio case.
TEST(SuperSampling, FlatStaysFlat) {
    const double kFactors[] = {0.4, 0.5, 0.75, 1.0 / 3, 0.3, 1.0, 0.1};
    Picture src(60, 40, 3, 0, 77);
    for (const double xf : kFactors) {
        for (const double yf : kFactors) {
            Picture dst(60, 40, 3, 0, 77);
            ASSERT_EQ(Resize(src, src.all(), dst, xf, yf, kResizeSuper), kResizeOk);
            const int w = ExpectedExtent(60, xf, 60), h = ExpectedExtent(40, yf, 40);
            int off = 0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    off += dst.px(x, y)[0] != 77;
                }
            }
            EXPECT_EQ(off, 0) << xf << " x " << yf;
        }
    }
}

// With the factor (float)(1/3) the ratio is 2.99999991: the share of a row
// left for the next destination row is below 1e-7. It is passed over, in
// both directions, so no row or column counts twice and a flat picture stays
// flat (counting the row again would give 120 in the second row).
TEST(SuperSampling, TinyLeadingShareIsPassedOver) {
    const double f = static_cast<float>(1.0 / 3);
    Picture src(30, 30, 3, 0, 90);
    ExpectWritesExactly(Picture(12, 12), 10, 10, [&](Picture& dst) {
        ASSERT_EQ(Resize(src, src.all(), dst, f, f, kResizeSuper), kResizeOk);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                ASSERT_EQ(dst.px(x, y)[0], 90) << x << "," << y;
            }
        }
    });
}

// Only the pixels the ROI fills are written.
TEST(SuperSampling, WritesOnlyWhatTheRoiFills) {
    const Picture src = RandomPicture(700, 500, 81);
    ExpectWritesExactly(Picture(400, 300), 320, 240, [&](Picture& dst) {
        ASSERT_EQ(Resize(src, {30, 10, 640, 480}, dst, 0.5, 0.5, kResizeSuper), kResizeOk);
    });
    // Factors 1: the clipped ROI copied, cut to the destination.
    ExpectWritesExactly(Picture(6, 5), 6, 5, [&](Picture& dst) {
        ASSERT_EQ(Resize(src, {690, 495, 10, 8}, dst, 1.0, 1.0, kResizeSuper), kResizeOk);
        for (int y = 0; y < 5; ++y) {
            EXPECT_EQ(0, std::memcmp(dst.px(0, y), src.px(690, 495 + y), 18));
        }
    });
}

// A ROI narrower than one destination pixel's span: the one pixel written
// counts the missing part as zero; nothing outside the ROI is read.
TEST(SuperSampling, SpanLargerThanTheRoi) {
    Picture src(6, 6, 3, 0, 10);
    std::memset(src.px(2, 3), 200, 3);
    Picture dst(3, 3, 3, 0, 0xAA);
    ASSERT_EQ(Resize(src, {2, 3, 1, 1}, dst, 0.5, 0.5, kResizeSuper), kResizeOk);
    EXPECT_EQ(dst.px(0, 0)[0], 50);  // 200 / 4
    EXPECT_EQ(dst.px(1, 0)[0], 0xAA);
    // Factors whose ratio exceeds any integer: one pixel, no overflow.
    for (const double tiny : {1e-12, 1e-300, 4e-320}) {
        Picture one(2, 2, 3, 0, 0xAA);
        ASSERT_EQ(Resize(src, src.all(), one, tiny, tiny, kResizeSuper), kResizeOk);
        EXPECT_EQ(one.px(0, 0)[0], 0);
        EXPECT_EQ(one.px(1, 1)[0], 0xAA);
    }
}

// The output saturates instead of keeping the low bits: with an area factor
// that doubles the mean, 200 gives 255, not 400 mod 256.
TEST(SuperSampling, OutputSaturates) {
    Picture src(2, 2, 3, 0, 200);
    Picture dst(2, 2);
    resample::SuperRowArgs a;
    a.src = src.data();
    a.dst = dst.data();
    a.srcStep = src.step;
    a.dstStep = dst.step;
    a.usedW = 2;
    a.roiH = 2;
    a.dstW = 2;
    a.dstH = 2;
    a.af = 2.0;
    a.pixelStride = 3;
    for (const int ratioCase : {0, 3}) {
        a.ratioCase = ratioCase;
        ASSERT_EQ(resample::SuperRow_8u_C3(a), kResizeOk);
        EXPECT_EQ(dst.px(1, 1)[2], 255) << "case " << ratioCase;
    }
    std::uint16_t src16[4] = {40000, 40000, 40000, 40000};
    std::uint16_t dst16[4] = {};
    a.src = src16;
    a.dst = dst16;
    a.srcStep = 4;
    a.dstStep = 4;
    a.ratioCase = 0;
    ASSERT_EQ(resample::SuperRow_16u_C1(a), kResizeOk);
    EXPECT_EQ(dst16[3], 65535);
}

// Whole ratios whose sums would pass 32 bits are added in 64 bits: a 257 x
// 256 block of 65535 averages to 65535.
TEST(SuperSampling, LargeBlocksDoNotWrap) {
    const double xf = 1.0 / 257, yf = 1.0 / 256;
    ASSERT_EQ(1.0 / xf, 257.0);
    ASSERT_EQ(1.0 / yf, 256.0);
    std::vector<std::uint16_t> src(257 * 256, 65535);
    std::uint16_t dst[2] = {1, 1};
    ASSERT_EQ(resample::ResizeSuper(src.data(), {257, 256}, 257 * 2, {0, 0, 257, 256}, dst, 4,
                                    {2, 1}, xf, yf, 1, 1, 1, 0, 1),
              kResizeOk);
    EXPECT_EQ(dst[0], 65535);
    EXPECT_EQ(dst[1], 1);
}

// One source, every layout (as for the row loops): four channels, planes,
// three channels with stride 4 (fourth element untouched) and stride 3, and
// 16-bit and float samples of the same values.
TEST(SuperSampling, EveryLayoutAgrees) {
    constexpr int kW = 23, kH = 17, kDW = 12, kDH = 9;
    const Picture four = RandomPicture(kW, kH, 91, 4);
    const ResizeRect roi{1, 2, 21, 14};
    const double xf = 0.4, yf = 1.0 / 3;
    std::array<Picture, 4> planes, single;
    for (int c = 0; c < 4; ++c) {
        planes[c] = Picture(kW, kH, 1);
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                planes[c].px(x, y)[0] = four.px(x, y)[c];
            }
        }
        single[c] = Picture(kDW, kDH, 1);
        ASSERT_EQ(
            resample::ResizeSuper(planes[c].data(), {kW, kH}, planes[c].step, roi, single[c].data(),
                                  single[c].step, {kDW, kDH}, xf, yf, 1, 1, 0, 0, 1),
            kResizeOk);
    }
    Picture c4(kDW, kDH, 4), c34(kDW, kDH, 4, 0, 0xD7);
    ASSERT_EQ(resample::ResizeSuper(four.data(), {kW, kH}, four.step, roi, c4.data(), c4.step,
                                    {kDW, kDH}, xf, yf, 4, 4, 0, 0, 1),
              kResizeOk);
    ASSERT_EQ(resample::ResizeSuper(four.data(), {kW, kH}, four.step, roi, c34.data(), c34.step,
                                    {kDW, kDH}, xf, yf, 4, 3, 0, 0, 1),
              kResizeOk);
    std::array<Picture, 4> planar;
    const void* srcPlanes[4];
    void* dstPlanes[4];
    for (int c = 0; c < 4; ++c) {
        planar[c] = Picture(kDW, kDH, 1);
        srcPlanes[c] = planes[c].data();
        dstPlanes[c] = planar[c].data();
    }
    ASSERT_EQ(resample::ResizeSuper(srcPlanes, {kW, kH}, planes[0].step, roi, dstPlanes,
                                    planar[0].step, {kDW, kDH}, xf, yf, 1, 4, 0, 1, 1),
              kResizeOk);
    // 16-bit and float copies of channel 0.
    std::vector<std::uint16_t> s16(kW * kH);
    std::vector<float> s32(kW * kH);
    for (int i = 0; i < kW * kH; ++i) {
        s16[i] = planes[0].bytes[i];
        s32[i] = planes[0].bytes[i];
    }
    std::vector<std::uint16_t> d16(kDW * kDH);
    std::vector<float> d32(kDW * kDH);
    ASSERT_EQ(resample::ResizeSuper(s16.data(), {kW, kH}, kW * 2, roi, d16.data(), kDW * 2,
                                    {kDW, kDH}, xf, yf, 1, 1, 1, 0, 1),
              kResizeOk);
    ASSERT_EQ(resample::ResizeSuper(s32.data(), {kW, kH}, kW * 4, roi, d32.data(), kDW * 4,
                                    {kDW, kDH}, xf, yf, 1, 1, 2, 0, 1),
              kResizeOk);
    const int w = ExpectedExtent(21, xf, kDW), h = ExpectedExtent(14, yf, kDH);
    int mismatches = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 4; ++c) {
                const int v = single[c].px(x, y)[0];
                mismatches += c4.px(x, y)[c] != v;
                mismatches += planar[c].px(x, y)[0] != v;
                mismatches += c < 3 && c34.px(x, y)[c] != v;
            }
            mismatches += c34.px(x, y)[3] != 0xD7;
            mismatches += d16[y * kDW + x] != single[0].px(x, y)[0];
            // The float result unrounded: within half a unit of the 8-bit one.
            mismatches += std::abs(d32[y * kDW + x] - single[0].px(x, y)[0]) > 0.5f + 1e-3f;
        }
    }
    EXPECT_EQ(mismatches, 0);
}
