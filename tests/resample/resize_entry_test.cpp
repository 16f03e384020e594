// The resize entry and the general driver: argument checks in their order,
// destination sizes, coordinate mapping, interpolation fallback, the pixels
// written, allocation failures, and the aligned allocator.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "resample/alloc_fault.h"
#include "resample/resize_general.h"
#include "resample/super_sampling.h"
#include "tests/resample/resample_test_util.h"

using namespace resample_test;

namespace {

// All arguments of one entry call, valid by default.
struct EntryArgs {
    bool nullSource = false;
    bool nullDestination = false;
    ResizeSize srcSize{8, 6};
    int srcStep = 8 * 3;
    ResizeRect roi{0, 0, 8, 6};
    int dstStep = 20 * 3;
    ResizeSize dstSize{20, 20};
    double xf = 0.5;
    double yf = 0.5;
    int interpolation = kResizeNearest;
};

struct OrderCase {
    const char* what;
    std::function<void(EntryArgs&)> change;
    ResizeStatus general;  // interpolation 1
    ResizeStatus super;    // interpolation 8, factors <= 1
};

// Each row breaks the check it names and, where possible, a later one too:
// the earlier check decides.
// clang-format off
const OrderCase kOrder[] = {
    {"null source, bad size", [](EntryArgs& a) { a.nullSource = true; a.srcSize.width = 0; }, kResizeNullPtrErr, kResizeNullPtrErr},
    {"null destination, bad step", [](EntryArgs& a) { a.nullDestination = true; a.srcStep = 0; }, kResizeNullPtrErr, kResizeNullPtrErr},
    {"source width 0, step 0", [](EntryArgs& a) { a.srcSize.width = 0; a.srcStep = 0; }, kResizeSizeErr, kResizeSizeErr},
    {"source height -1", [](EntryArgs& a) { a.srcSize.height = -1; }, kResizeSizeErr, kResizeSizeErr},
    {"source step 0, ROI x -1", [](EntryArgs& a) { a.srcStep = 0; a.roi.x = -1; }, kResizeStepErr, kResizeStepErr},
    {"destination step 0, ROI width 0", [](EntryArgs& a) { a.dstStep = 0; a.roi.width = 0; }, kResizeStepErr, kResizeStepErr},
    {"ROI x -1", [](EntryArgs& a) { a.roi.x = -1; }, kResizeSizeErr, kResizeSizeErr},
    {"ROI height 0, ROI x outside", [](EntryArgs& a) { a.roi.height = 0; a.roi.x = 8; }, kResizeSizeErr, kResizeSizeErr},
    {"ROI x = width, destination width 0", [](EntryArgs& a) { a.roi.x = 8; a.dstSize.width = 0; }, kResizeRoiOutside, kResizeRoiOutside},
    {"ROI y = height", [](EntryArgs& a) { a.roi.y = 6; }, kResizeRoiOutside, kResizeRoiOutside},
    {"destination width 0, factor 0", [](EntryArgs& a) { a.dstSize.width = 0; a.xf = 0.0; }, kResizeSizeErr, kResizeSizeErr},
    {"destination height -3", [](EntryArgs& a) { a.dstSize.height = -3; }, kResizeSizeErr, kResizeSizeErr},
    {"x factor 0", [](EntryArgs& a) { a.xf = 0.0; }, kResizeFactorErr, kResizeFactorErr},
    {"y factor -1", [](EntryArgs& a) { a.yf = -1.0; }, kResizeFactorErr, kResizeFactorErr},
    // A factor that is not a number is never "at most 1": supersampling goes
    // to the general driver, which refuses the factor before the code.
    {"x factor NaN", [](EntryArgs& a) { a.xf = std::nan(""); }, kResizeFactorErr, kResizeFactorErr},
    {"y factor 1.5", [](EntryArgs& a) { a.yf = 1.5; }, kResizeOk, kResizeInterpolationErr},
};
// clang-format on

ResizeStatus CallEntry(const EntryArgs& a, Picture& dst) {
    static const Picture src = RandomPicture(8, 6, 3);
    return ResizeImage_8u_C3R(a.nullSource ? nullptr : src.data(), a.srcSize, a.srcStep, a.roi,
                              a.nullDestination ? nullptr : dst.data(), a.dstStep, a.dstSize, a.xf,
                              a.yf, a.interpolation);
}

}  // namespace

TEST(ResizeChecks, FirstFailingCheckDecidesAndNothingIsWritten) {
    for (const OrderCase& c : kOrder) {
        for (const bool super : {false, true}) {
            EntryArgs a;
            a.interpolation = super ? kResizeSuper : kResizeNearest;
            c.change(a);
            Picture dst(20, 20, 3, 0, 0x77);
            const Picture before = dst;
            EXPECT_EQ(CallEntry(a, dst), super ? c.super : c.general)
                << c.what << (super ? " (supersampling)" : "");
            if ((super ? c.super : c.general) != kResizeOk) {
                EXPECT_EQ(dst.bytes, before.bytes) << c.what;
            }
        }
    }
}

TEST(ResizeChecks, InterpolationCodes) {
    for (const int code : {0, 3, 5, 32, -1, 8}) {
        EntryArgs a;
        a.interpolation = code;
        a.xf = 2.0;  // supersampling that enlarges reaches the general driver
        Picture dst(20, 20);
        EXPECT_EQ(CallEntry(a, dst), kResizeInterpolationErr) << code;
    }
    EntryArgs a;
    a.interpolation = kResizeSuper;
    a.xf = 2.0;
    a.dstSize.width = 0;
    Picture dst(20, 20);
    EXPECT_EQ(CallEntry(a, dst), kResizeSizeErr) << "the size check comes first";
}

// Layouts no row loop serves are refused instead of reaching past the kernel
// table.
TEST(ResizeChecks, UnsupportedLayoutsAreRefused) {
    struct Layout {
        int stride, channels, dataType, planar, coordMode;
    };
    constexpr Layout kBad[] = {{3, 3, 3, 0, 1}, {3, 3, -1, 0, 1}, {2, 1, 0, 0, 1}, {3, 4, 0, 0, 1},
                               {1, 3, 0, 0, 1}, {3, 3, 0, 2, 1},  {3, 3, 0, 0, 2}, {1, 2, 0, 1, 1}};
    const Picture src = RandomPicture(8, 8, 1, 4);
    for (const Layout& l : kBad) {
        Picture dst(8, 8, 4, 0, 0x33);
        const Picture before = dst;
        const void* planes[4] = {src.data(), src.data(), src.data(), src.data()};
        void* dstPlanes[4] = {dst.data(), dst.data(), dst.data(), dst.data()};
        const void* s = l.planar != 0 ? static_cast<const void*>(planes) : src.data();
        void* d = l.planar != 0 ? static_cast<void*>(dstPlanes) : dst.data();
        EXPECT_EQ(resample::ResizeGeneral(s, {8, 8}, src.step, {0, 0, 8, 8}, d, dst.step, {8, 8},
                                          1.0, 1.0, kResizeLinear, 0.0, 0.0, l.stride, l.channels,
                                          l.dataType, l.planar, l.coordMode),
                  kResizeDataTypeErr)
            << l.stride << " " << l.channels << " " << l.dataType << " " << l.planar << " "
            << l.coordMode;
        EXPECT_EQ(dst.bytes, before.bytes);
    }
    Picture dst(8, 8, 4);
    EXPECT_EQ(resample::ResizeSuper(src.data(), {8, 8}, src.step, {0, 0, 8, 8}, dst.data(),
                                    dst.step, {8, 8}, 0.5, 0.5, 3, 3, 7, 0, 1),
              kResizeDataTypeErr);
}

// Destination extents: trunc(ROI * factor + 1e-7), at least 1, at most the
// request; pixels beyond are untouched.
TEST(ResizeExtent, WrittenRectangle) {
    struct Case {
        const char* what;
        int srcW, srcH;
        ResizeRect roi;
        double xf, yf;
        int dstW, dstH;      // requested
        int wroteW, wroteH;  // expected
    };
    const Case kCases[] = {
        {"factors 1/3 on 100 x 50", 100, 50, {0, 0, 100, 50}, 1.0 / 3, 1.0 / 3, 200, 200, 33, 16},
        // 25 * 1.16 is just below 29 in double arithmetic.
        {"the bias counts", 25, 4, {0, 0, 25, 4}, 1.16, 1.0, 40, 8, 29, 4},
        {"ROI clipped at the right", 30, 4, {20, 0, 100, 4}, 1.0, 1.0, 40, 8, 10, 4},
        {"ROI clipped at the bottom", 6, 30, {0, 25, 6, 100}, 1.0, 1.0, 8, 40, 6, 5},
        {"destination smaller than the span", 10, 10, {0, 0, 10, 10}, 3.0, 3.0, 7, 5, 7, 5},
        {"span below one pixel", 10, 10, {0, 0, 10, 10}, 0.01, 0.05, 7, 5, 1, 1},
        {"704 wide to 1920", 704, 2, {0, 0, 704, 2}, 1920.0 / 704, 1.0, 1930, 2, 1920, 2},
    };
    ASSERT_LT(25 * 1.16, 29.0);
    for (const Case& c : kCases) {
        for (const int kind : {kResizeNearest, kResizeLinear, kResizeCubic, kResizeLanczos}) {
            const Picture src = RandomPicture(c.srcW, c.srcH, 11);
            ExpectWritesExactly(
                Picture(c.dstW, c.dstH, 3, 2), c.wroteW, c.wroteH, [&](Picture& dst) {
                    ASSERT_EQ(Resize(src, c.roi, dst, c.xf, c.yf, kind), kResizeOk) << c.what;
                });
        }
    }
}

// Nearest neighbour takes the pixel under the position 0.5 / f + k / f.
TEST(ResizeNearest, SourceColumns) {
    struct Case {
        double factor;
        std::array<int, 6> columns;
    };
    constexpr Case kCases[] = {{2.0, {0, 0, 1, 1, 2, 2}},
                               {0.5, {1, 3, 5, 7, 9, 11}},
                               {1.0, {0, 1, 2, 3, 4, 5}},
                               {1.5, {0, 1, 1, 2, 3, 3}}};
    Picture src(12, 2);
    for (int x = 0; x < 12; ++x) {
        for (int y = 0; y < 2; ++y) {
            src.px(x, y)[0] = static_cast<std::uint8_t>(x);
            src.px(x, y)[1] = static_cast<std::uint8_t>(100 + y);
            src.px(x, y)[2] = static_cast<std::uint8_t>(200 - x);
        }
    }
    for (const Case& c : kCases) {
        Picture dst(6, 1);
        ASSERT_EQ(Resize(src, src.all(), dst, c.factor, 0.5, kResizeNearest), kResizeOk);
        for (int k = 0; k < 6; ++k) {
            EXPECT_EQ(dst.px(k, 0)[0], c.columns[k]) << "factor " << c.factor << " column " << k;
            EXPECT_EQ(dst.px(k, 0)[1], 101);
            EXPECT_EQ(dst.px(k, 0)[2], 200 - c.columns[k]);
        }
    }
}

// Factors whose spans or positions cannot be held by an integer are decided
// in double: a huge factor fills the request from the first pixel, a tiny
// one writes one pixel from inside the ROI.
TEST(ResizeNearest, HugeAndTinyFactors) {
    const Picture src = RandomPicture(9, 7, 21);
    const ResizeRect roi{2, 1, 5, 4};
    for (const double tiny : {1e-30, 1e-300, 4e-320}) {
        for (const int kind : {kResizeNearest, kResizeLinear, kResizeCubic, kResizeLanczos}) {
            ExpectWritesExactly(Picture(4, 3), 1, 1, [&](Picture& d) {
                ASSERT_EQ(Resize(src, roi, d, tiny, tiny, kind), kResizeOk);
            });
            Picture dst(4, 3);
            ASSERT_EQ(Resize(src, roi, dst, tiny, tiny, kind), kResizeOk);
            // Nearest takes the ROI's last pixel; the others the first.
            const std::uint8_t* expected = kind == kResizeNearest ? src.px(6, 4) : src.px(2, 1);
            EXPECT_EQ(0, std::memcmp(dst.px(0, 0), expected, 3)) << tiny << " kind " << kind;
        }
    }
    Picture dst(4, 3);
    ASSERT_EQ(Resize(src, roi, dst, 1e300, std::numeric_limits<double>::infinity(), kResizeNearest),
              kResizeOk);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(0, std::memcmp(dst.px(x, y), src.px(2, 1), 3));
        }
    }
}

// A one-pixel source behaves as nearest for every kind.
TEST(ResizeFallback, OnePixelSource) {
    Picture src(1, 1);
    src.px(0, 0)[0] = 10;
    src.px(0, 0)[1] = 20;
    src.px(0, 0)[2] = 30;
    for (const int kind : {kResizeNearest, kResizeLinear, kResizeCubic, kResizeLanczos}) {
        for (const double f : {1.0, 2.0, 3.7}) {
            const int w = ExpectedExtent(1, f, 5);
            ExpectWritesExactly(Picture(5, 5), w, 4, [&](Picture& d) {
                ASSERT_EQ(Resize(src, src.all(), d, f, 4.0, kind), kResizeOk);
            });
            Picture dst(5, 5);
            ASSERT_EQ(Resize(src, src.all(), dst, f, 4.0, kind), kResizeOk);
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < w; ++x) {
                    EXPECT_EQ(dst.px(x, y)[0], 10);
                    EXPECT_EQ(dst.px(x, y)[1], 20);
                    EXPECT_EQ(dst.px(x, y)[2], 30);
                }
            }
        }
    }
}

// Kinds the image is too small for fall back silently: the result equals
// the fallback kind's.
TEST(ResizeFallback, SmallImagesUseSimplerKinds) {
    struct Case {
        int w, h, asked, runs;
    };
    constexpr Case kCases[] = {
        {3, 100, kResizeCubic, kResizeLinear},    {100, 3, kResizeCubic, kResizeLinear},
        {5, 100, kResizeLanczos, kResizeCubic},   {3, 100, kResizeLanczos, kResizeLinear},
        {1, 100, kResizeLanczos, kResizeNearest}, {100, 1, kResizeLinear, kResizeNearest},
    };
    for (const Case& c : kCases) {
        const Picture src = RandomPicture(c.w, c.h, 31);
        Picture asked(40, 40, 3, 0, 1), runs(40, 40, 3, 0, 1);
        ASSERT_EQ(Resize(src, src.all(), asked, 1.7, 0.37, c.asked), kResizeOk);
        ASSERT_EQ(Resize(src, src.all(), runs, 1.7, 0.37, c.runs), kResizeOk);
        EXPECT_EQ(asked.bytes, runs.bytes) << c.w << "x" << c.h << " asked " << c.asked;
    }
    // And the larger kinds do differ on images big enough for them.
    const Picture src = RandomPicture(8, 8, 32);
    Picture cubic(40, 40), lanczos(40, 40);
    ASSERT_EQ(Resize(src, src.all(), cubic, 1.7, 1.7, kResizeCubic), kResizeOk);
    ASSERT_EQ(Resize(src, src.all(), lanczos, 1.7, 1.7, kResizeLanczos), kResizeOk);
    EXPECT_NE(cubic.bytes, lanczos.bytes);
}

// Factors 1 reproduce the ROI with every kind (nearest, linear and cubic on
// any image of at least 2 x 2; Lanczos from 6 x 6; supersampling always).
TEST(ResizeIdentity, FactorOneReproducesTheRoi) {
    const Picture src = RandomPicture(13, 9, 41, 3, 5);
    for (const ResizeRect roi :
         {ResizeRect{0, 0, 13, 9}, ResizeRect{3, 2, 7, 6}, ResizeRect{6, 3, 50, 50}}) {
        for (const int kind :
             {kResizeNearest, kResizeLinear, kResizeCubic, kResizeLanczos, kResizeSuper}) {
            Picture dst(20, 20, 3, 0, 0x99);
            ASSERT_EQ(Resize(src, roi, dst, 1.0, 1.0, kind), kResizeOk);
            const int w = std::min(roi.width, 13 - roi.x);
            const int h = std::min(roi.height, 9 - roi.y);
            for (int y = 0; y < h; ++y) {
                EXPECT_EQ(0, std::memcmp(dst.px(0, y), src.px(roi.x, roi.y + y), 3 * w))
                    << "kind " << kind << " row " << y;
            }
        }
    }
}

// Line doubling: linear with factors 1 and 2. Columns are never mixed, the
// first and last rows are the source's first and last.
TEST(ResizeLinear, LineDoubling) {
    constexpr int kW = 11, kH = 7;
    Picture columns(kW, kH);  // each column one value
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            std::memset(columns.px(x, y), 17 * x + 3, 3);
        }
    }
    ExpectWritesExactly(Picture(kW + 3, 2 * kH + 3), kW, 2 * kH, [&](Picture& d) {
        ASSERT_EQ(Resize(columns, columns.all(), d, 1.0, 2.0, kResizeLinear), kResizeOk);
    });
    Picture dst(kW + 3, 2 * kH + 3);
    ASSERT_EQ(Resize(columns, columns.all(), dst, 1.0, 2.0, kResizeLinear), kResizeOk);
    for (int y = 0; y < 2 * kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            EXPECT_EQ(dst.px(x, y)[1], 17 * x + 3) << x << "," << y;
        }
    }
    const Picture src = RandomPicture(kW, kH, 51);
    ASSERT_EQ(Resize(src, src.all(), dst, 1.0, 2.0, kResizeLinear), kResizeOk);
    EXPECT_EQ(0, std::memcmp(dst.px(0, 0), src.px(0, 0), 3 * kW));
    EXPECT_EQ(0, std::memcmp(dst.px(0, 2 * kH - 1), src.px(0, kH - 1), 3 * kW));
}

// A failed allocation of any table or buffer gives -9, releases what was
// obtained (the leak checker watches) and writes nothing; for every kind and
// both kernel sets.
TEST(ResizeAllocation, EveryFailureIsReported) {
    const Picture src = RandomPicture(40, 30, 61);
    std::vector<const resample::ResizeKernels*> sets = resample::VectorKernels();
    sets.push_back(&resample::ReferenceKernels());
    for (const resample::ResizeKernels* set : sets) {
        for (const int kind :
             {kResizeNearest, kResizeLinear, kResizeCubic, kResizeLanczos, kResizeSuper}) {
            const double f = kind == kResizeSuper ? 0.5 : 1.7;
            Picture dst(70, 60, 3, 0, 0x21);
            const Picture before = dst;
            const auto call = [&] {
                return resample::ResizeGenericEntry(src.data(), src.size(), src.step, src.all(),
                                                    dst.data(), dst.step, dst.size(), f, f, kind,
                                                    *set);
            };
            resample::ResetAllocationRequestCount();
            ASSERT_EQ(call(), kResizeOk);
            const int requests = resample::AllocationRequestCount();
            EXPECT_GT(requests, 0);
            for (int allowed = 0; allowed < requests; ++allowed) {
                dst = before;
                resample::SetAllocationFailureAfter(allowed);
                const ResizeStatus s = call();
                resample::SetAllocationFailureAfter(-1);
                EXPECT_EQ(s, kResizeMemAllocErr)
                    << set->name << " kind " << kind << " failing request " << allowed;
                EXPECT_EQ(dst.bytes, before.bytes) << set->name << " kind " << kind;
            }
        }
    }
}

TEST(AlignedAlloc, AlignmentSizesAndRefusals) {
    for (const std::size_t size : {1u, 2u, 4u, 8u}) {
        for (const std::ptrdiff_t count : {1, 3, 31, 1000}) {
            void* p = AlignedAlloc32(count, size);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 32, 0u);
            std::memset(p, 0xAB, count * size);  // the whole block is usable
            AlignedFree32(p);
        }
    }
    EXPECT_EQ(AlignedAlloc32(0, 4), nullptr);
    EXPECT_EQ(AlignedAlloc32(-5, 4), nullptr);
    // Sizes whose byte count does not fit are refused before the heap is asked.
    EXPECT_EQ(AlignedAlloc32(std::numeric_limits<std::ptrdiff_t>::max() / 2, 4), nullptr);
    EXPECT_EQ(AlignedAlloc32(std::numeric_limits<std::ptrdiff_t>::max(), 1), nullptr);
    AlignedFree32(nullptr);
    // Typed form.
    float* f = AlignedAlloc32<float>(10);
    ASSERT_NE(f, nullptr);
    AlignedFree32(f);
}
