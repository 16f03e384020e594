// Linear and cubic kernels on hand-checkable inputs, and the pixel layouts
// the row loops serve: stride 4 with three channels, four channels, one
// channel, planar images, 16-bit and float samples.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "resample/resize_general.h"
#include "tests/resample/resample_test_util.h"

using namespace resample_test;

namespace {

// A picture whose rows are all `row` (one value per column, all channels).
Picture RowsOf(const std::vector<int>& row, int height) {
    Picture p(static_cast<int>(row.size()), height);
    for (int y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < row.size(); ++x) {
            std::memset(p.px(static_cast<int>(x), y), row[x], 3);
        }
    }
    return p;
}

std::vector<int> FirstChannelOfRow(const Picture& p, int y, int w) {
    std::vector<int> v;
    for (int x = 0; x < w; ++x) {
        v.push_back(p.px(x, y)[0]);
    }
    return v;
}

}  // namespace

// Horizontal results on rows that repeat vertically (factor 1 rows reproduce
// them), so each destination row shows the horizontal kernel alone.
TEST(RowKernels, HandCheckedRows) {
    struct Case {
        const char* what;
        int kind;
        std::vector<int> row;
        double xf;
        std::vector<int> expected;
    };
    const Case kCases[] = {
        // Positions 0, 0.5, 1: the halfway weight 8192 gives (0 + 255 * 8192
        // + 128) >> 8 = 8160 in the row and 128 out of it.
        {"linear halfway", kResizeLinear, {0, 255}, 1.5, {0, 128, 255}},
        {"linear weight 0", kResizeLinear, {9, 200, 31, 77}, 1.0, {9, 200, 31, 77}},
        // Positions 0 .. 3 in halves. 0,0,255,255 halfway between the middle
        // two is 127.5, written as 127; at the edges the window shifts (fraction
        // -1, 1 or 2 reproduce a sample) and values outside 0 .. 255 saturate.
        {"cubic step", kResizeCubic, {0, 0, 255, 255}, 1.75, {0, 0, 0, 127, 255, 255, 255}},
        // 0,255,255,0 halfway between the middle two is 286.875: 255.
        {"cubic bump", kResizeCubic, {0, 255, 255, 0}, 1.75, {0, 159, 255, 255, 255, 159, 0}},
    };
    for (const Case& c : kCases) {
        const Picture src = RowsOf(c.row, 4);
        Picture dst(static_cast<int>(c.expected.size()) + 2, 6);
        ASSERT_EQ(Resize(src, src.all(), dst, c.xf, 1.0, c.kind), kResizeOk) << c.what;
        for (int y = 0; y < 4; ++y) {
            EXPECT_EQ(FirstChannelOfRow(dst, y, static_cast<int>(c.expected.size())), c.expected)
                << c.what << " row " << y;
        }
    }
}

// The same kernels on 16-bit and float samples: the halfway column between
// the extremes of the range.
TEST(RowKernels, OtherSampleTypes) {
    const std::uint16_t src16[4] = {0, 65535, 0, 65535};  // 2 x 2, one channel
    std::uint16_t dst16[6] = {};
    ASSERT_EQ(resample::ResizeGeneral(src16, {2, 2}, 4, {0, 0, 2, 2}, dst16, 6, {3, 2}, 1.5, 1.0,
                                      kResizeLinear, 0.0, 0.0, 1, 1, 1, 0, 1),
              kResizeOk);
    EXPECT_EQ((std::array<int, 3>{dst16[0], dst16[1], dst16[2]}),
              (std::array<int, 3>{0, 32768, 65535}));

    const float srcF[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    float dstF[6] = {};
    ASSERT_EQ(resample::ResizeGeneral(srcF, {2, 2}, 8, {0, 0, 2, 2}, dstF, 12, {3, 2}, 1.5, 1.0,
                                      kResizeLinear, 0.0, 0.0, 1, 1, 2, 0, 1),
              kResizeOk);
    EXPECT_EQ((std::array<float, 3>{dstF[0], dstF[1], dstF[2]}),
              (std::array<float, 3>{0.0f, 0.5f, 1.0f}));

    // Cubic on floats keeps values beyond the sample range.
    const float bump[16] = {0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0};
    float out[7 * 4] = {};
    ASSERT_EQ(resample::ResizeGeneral(bump, {4, 4}, 16, {0, 0, 4, 4}, out, 28, {7, 4}, 1.75, 1.0,
                                      kResizeCubic, 0.0, 0.0, 1, 1, 2, 0, 1),
              kResizeOk);
    EXPECT_FLOAT_EQ(out[3], 1.125f);  // 286.875 / 255
}

// One source, every layout: stride 4 with four channels and planar images
// give each channel what a one-channel picture of that channel gives; stride
// 3 and stride 4 with three channels give the first three of them and leave
// the fourth element of each destination pixel alone.
TEST(RowLayouts, EveryLayoutAgrees) {
    constexpr int kW = 17, kH = 11, kDW = 29, kDH = 19;
    const Picture four = RandomPicture(kW, kH, 7, 4);
    std::array<Picture, 4> planes;
    for (int c = 0; c < 4; ++c) {
        planes[c] = Picture(kW, kH, 1);
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                planes[c].px(x, y)[0] = four.px(x, y)[c];
            }
        }
    }
    Picture three(kW, kH, 3);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            std::memcpy(three.px(x, y), four.px(x, y), 3);
        }
    }
    const ResizeRect roi{2, 1, 14, 9};
    const auto general = [&](const void* s, int srcStep, void* d, int dstStep, int stride,
                             int channels, int planar, int kind) {
        return resample::ResizeGeneral(s, {kW, kH}, srcStep, roi, d, dstStep, {kDW, kDH}, 1.9, 1.7,
                                       kind, 0.0, 0.0, stride, channels, 0, planar, 1);
    };
    for (const int kind : {kResizeNearest, kResizeLinear, kResizeCubic, kResizeLanczos}) {
        std::array<Picture, 4> single;
        for (int c = 0; c < 4; ++c) {
            single[c] = Picture(kDW, kDH, 1);
            ASSERT_EQ(general(planes[c].data(), planes[c].step, single[c].data(), single[c].step, 1,
                              1, 0, kind),
                      kResizeOk);
        }
        Picture c4(kDW, kDH, 4), c34(kDW, kDH, 4, 0, 0xD7), c33(kDW, kDH, 3);
        ASSERT_EQ(general(four.data(), four.step, c4.data(), c4.step, 4, 4, 0, kind), kResizeOk);
        ASSERT_EQ(general(four.data(), four.step, c34.data(), c34.step, 4, 3, 0, kind), kResizeOk);
        ASSERT_EQ(general(three.data(), three.step, c33.data(), c33.step, 3, 3, 0, kind),
                  kResizeOk);
        std::array<Picture, 4> planar;
        const void* srcPlanes[4];
        void* dstPlanes[4];
        for (int c = 0; c < 4; ++c) {
            planar[c] = Picture(kDW, kDH, 1);
            srcPlanes[c] = planes[c].data();
            dstPlanes[c] = planar[c].data();
        }
        ASSERT_EQ(general(srcPlanes, planes[0].step, dstPlanes, planar[0].step, 1, 4, 1, kind),
                  kResizeOk);
        int mismatches = 0;
        const int w = ExpectedExtent(roi.width, 1.9, kDW);
        const int h = ExpectedExtent(roi.height, 1.7, kDH);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                for (int c = 0; c < 4; ++c) {
                    const int v = single[c].px(x, y)[0];
                    mismatches += c4.px(x, y)[c] != v;
                    mismatches += planar[c].px(x, y)[0] != v;
                    if (c < 3) {
                        mismatches += c34.px(x, y)[c] != v;
                        mismatches += c33.px(x, y)[c] != v;
                    }
                }
                mismatches += c34.px(x, y)[3] != 0xD7;
            }
        }
        EXPECT_EQ(mismatches, 0) << "kind " << kind;
    }
}

// The row step only addresses rows: a picture with padding after each row
// gives what the same picture without it gives. For kinds whose taps stay
// inside the ROI (nearest, supersampling), a ROI gives what the cut-out
// rectangle gives; the interpolating kinds read on into the image there.
TEST(RowLayouts, StepsAndOriginsOnlyAddress) {
    const Picture padded = RandomPicture(40, 30, 9, 3, 7);
    Picture tight(40, 30, 3);
    for (int y = 0; y < 30; ++y) {
        std::memcpy(tight.px(0, y), padded.px(0, y), 40 * 3);
    }
    const ResizeRect roi{11, 7, 20, 15};
    Picture cut(20, 15, 3);
    for (int y = 0; y < 15; ++y) {
        std::memcpy(cut.px(0, y), padded.px(11, 7 + y), 20 * 3);
    }
    for (const int kind :
         {kResizeNearest, kResizeLinear, kResizeCubic, kResizeLanczos, kResizeSuper}) {
        const double f = kind == kResizeSuper ? 0.5 : 1.3;
        Picture a(40, 40), b(40, 40);
        ASSERT_EQ(Resize(padded, padded.all(), a, f, f, kind), kResizeOk);
        ASSERT_EQ(Resize(tight, tight.all(), b, f, f, kind), kResizeOk);
        EXPECT_EQ(a.bytes, b.bytes) << "kind " << kind;
        if (kind == kResizeNearest || kind == kResizeSuper) {
            Picture c(30, 30), d(30, 30);
            ASSERT_EQ(Resize(padded, roi, c, f, f, kind), kResizeOk);
            ASSERT_EQ(Resize(cut, cut.all(), d, f, f, kind), kResizeOk);
            EXPECT_EQ(c.bytes, d.bytes) << "kind " << kind;
        }
    }
}
