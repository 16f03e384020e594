// The Lanczos kernel table and weights, and Lanczos resizing on flat
// pictures, hard edges and at the image's borders.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>

#include "resample/lanczos.h"
#include "tests/resample/resample_test_util.h"

using namespace resample_test;

TEST(LanczosTable, SamplesTheKernel) {
    using resample::LanczosTable;
    EXPECT_EQ(LanczosTable[0], 1.0f);
    EXPECT_EQ(LanczosTable[100], 0.0f);
    EXPECT_EQ(LanczosTable[200], 0.0f);
    EXPECT_EQ(LanczosTable[300], 0.0f);
    for (int i = 1; i < 301; ++i) {
        const double x = i / 100.0;
        const double px = std::numbers::pi * x;
        const double exact = 3.0 * std::sin(px) * std::sin(px / 3.0) / (px * px);
        EXPECT_NEAR(LanczosTable[i], exact, 1e-7) << i;
    }
}

TEST(LanczosWeights, SixTapsPerPosition) {
    const float fractions[3] = {0.0f, 0.5f, 0.25f};
    std::array<float, 18> w{};
    resample::LanczosWeights(fractions, 3, w.data());
    EXPECT_EQ((std::array<float, 6>{w[0], w[1], w[2], w[3], w[4], w[5]}),
              (std::array<float, 6>{0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f}));
    // Halfway: symmetric, negative second lobes, not normalised.
    EXPECT_EQ(w[6], w[11]);
    EXPECT_EQ(w[7], w[10]);
    EXPECT_EQ(w[8], w[9]);
    EXPECT_LT(w[7], 0.0f);
    EXPECT_GT(w[6], 0.0f);
    EXPECT_NEAR(w[6] + w[7] + w[8] + w[9] + w[10] + w[11], 0.9943, 5e-4);
    // A quarter: the nearest tap weighs most.
    EXPECT_GT(w[14], w[15]);
    EXPECT_NEAR(w[14], static_cast<float>(resample::LanczosTable[25]), 1e-7);
}

// Factor 1.9 on 10 pixels moves positions by exactly 0.5. Whole positions
// give the value itself, half positions 0.9943 of it per direction.
TEST(LanczosResize, FlatPictureShowsTheUnnormalisedWeights) {
    Picture src(10, 10, 3, 0, 200);
    Picture dst(19, 19);
    ASSERT_EQ(Resize(src, src.all(), dst, 1.9, 1.9, kResizeLanczos), kResizeOk);
    for (int y = 0; y < 19; ++y) {
        for (int x = 0; x < 19; ++x) {
            const int odd = (x % 2) + (y % 2);
            const int expected = odd == 0 ? 200 : odd == 1 ? 198 : 197;
            ASSERT_EQ(dst.px(x, y)[0], expected) << x << "," << y;
            ASSERT_EQ(dst.px(x, y)[2], expected) << x << "," << y;
        }
    }
}

// Positions advance by 0.5 over 0,0,0,0,255,255,255,255. At 2.5 only the
// taps at +2 and +3 see 255 and their weights sum below zero; at 4.5 the
// sum exceeds 255. The output saturates at both.
TEST(LanczosResize, HardEdgeSaturates) {
    const float half = 0.5f;
    std::array<float, 6> w{};
    resample::LanczosWeights(&half, 1, w.data());
    ASSERT_LT(w[4] + w[5], 0.0f);
    ASSERT_GT((w[2] + w[3] + w[4] + w[5]) * 255.0f, 255.0f);

    Picture src(8, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 4; x < 8; ++x) {
            std::memset(src.px(x, y), 255, 3);
        }
    }
    Picture dst(15, 8);
    ASSERT_EQ(Resize(src, src.all(), dst, 15.0 / 8, 1.0, kResizeLanczos), kResizeOk);
    for (int y = 0; y < 8; ++y) {
        EXPECT_EQ(dst.px(5, y)[0], 0);    // position 2.5
        EXPECT_EQ(dst.px(9, y)[1], 255);  // position 4.5
        EXPECT_EQ(dst.px(8, y)[2], 255);  // position 4.0, the edge itself
        EXPECT_EQ(dst.px(6, y)[0], 0);    // position 3.0
    }
}

// Taps beyond the image repeat its edge pixels: a picture resized from its
// first column and row equals the picture with its first column twice and
// its first row once more in front, resized from the copies' end. The
// same holds on the right and at the bottom.
TEST(LanczosResize, TapsBeyondTheImageRepeatTheEdge) {
    constexpr int kW = 14, kH = 11;
    const Picture src = RandomPicture(kW, kH, 71);
    const auto widened = [&](int left, int top) {
        Picture p(kW + left, kH + top);
        for (int y = 0; y < kH + top; ++y) {
            const int sy = std::max(0, y - top);
            for (int x = 0; x < kW + left; ++x) {
                std::memcpy(p.px(x, y), src.px(std::max(0, x - left), sy), 3);
            }
        }
        return p;
    };
    for (const double f : {1.7, 0.6, 2.0}) {
        // ROI at column 0 and row 0 against two copies in front.
        Picture a(40, 40), b(40, 40);
        ASSERT_EQ(Resize(src, src.all(), a, f, f, kResizeLanczos), kResizeOk);
        const Picture wide = widened(2, 2);
        ASSERT_EQ(Resize(wide, {2, 2, kW, kH}, b, f, f, kResizeLanczos), kResizeOk);
        EXPECT_EQ(a.bytes, b.bytes) << "factor " << f;
        // ROI one row below the top: both taps above it take row 0.
        Picture c(40, 40), d(40, 40);
        ASSERT_EQ(Resize(src, {0, 1, kW, kH - 1}, c, f, f, kResizeLanczos), kResizeOk);
        const Picture taller = widened(0, 1);
        ASSERT_EQ(Resize(taller, {0, 2, kW, kH - 1}, d, f, f, kResizeLanczos), kResizeOk);
        EXPECT_EQ(c.bytes, d.bytes) << "factor " << f;
    }
}
