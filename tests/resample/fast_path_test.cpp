// Every vector path against the scalar reference, bit for bit, on random
// sizes, regions, factors and steps; and reads that must stay inside the
// source image, checked with an inaccessible page after (and before) it.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "resample/resize_general.h"
#include "resample/resize_internal.h"
#include "resample/super_sampling.h"
#include "tests/resample/resample_test_util.h"

using namespace resample_test;
using resample::ReferenceKernels;
using resample::ResizeKernels;

namespace {

struct Call {
    int srcW, srcH, srcExtra;
    ResizeRect roi;
    int dstW, dstH, dstExtra;
    double xf, yf;
    int interpolation;
};

std::string Describe(const Call& c) {
    std::ostringstream s;
    s << "src " << c.srcW << "x" << c.srcH << "+" << c.srcExtra << " roi {" << c.roi.x << ","
      << c.roi.y << "," << c.roi.width << "," << c.roi.height << "} dst " << c.dstW << "x" << c.dstH
      << " f " << c.xf << "," << c.yf << " interp " << c.interpolation;
    return s.str();
}

// Runs one call with both kernel sets on the same source and destination
// contents and expects the same status and the same destination bytes.
void ExpectSameAsReference(const Call& c, const ResizeKernels& fast, std::uint32_t seed) {
    const Picture src = RandomPicture(c.srcW, c.srcH, seed, 3, c.srcExtra);
    Picture expected = RandomPicture(c.dstW, c.dstH, seed + 1, 3, c.dstExtra);
    Picture actual = expected;
    const ResizeStatus se = resample::ResizeGenericEntry(
        src.data(), src.size(), src.step, c.roi, expected.data(), expected.step, expected.size(),
        c.xf, c.yf, c.interpolation, ReferenceKernels());
    const ResizeStatus sa =
        resample::ResizeGenericEntry(src.data(), src.size(), src.step, c.roi, actual.data(),
                                     actual.step, actual.size(), c.xf, c.yf, c.interpolation, fast);
    ASSERT_EQ(se, kResizeOk) << Describe(c);
    ASSERT_EQ(sa, se) << Describe(c);
    const auto diff =
        std::mismatch(expected.bytes.begin(), expected.bytes.end(), actual.bytes.begin());
    if (diff.first != expected.bytes.end()) {
        const auto at = diff.first - expected.bytes.begin();
        ADD_FAILURE() << Describe(c) << ": first difference at row " << at / expected.step
                      << " byte " << at % expected.step << ": " << int{*diff.first} << " vs "
                      << int{*diff.second};
    }
}

// Runs each test once per vector implementation the processor has.
class FastPath : public ::testing::Test {
protected:
    void SetUp() override {
        m_sets = resample::VectorKernels();
        if (m_sets.empty()) {
            GTEST_SKIP() << "no vector implementation on this processor";
        }
    }
    std::vector<const ResizeKernels*> m_sets;
};

}  // namespace

// The sizes of the live view and of the benchmark, cut to fewer rows.
TEST_F(FastPath, NamedCasesMatchReference) {
    const std::array<Call, 9> calls = {{
        {704, 240, 0, {0, 0, 704, 240}, 704, 480, 0, 1.0, 2.0, kResizeLinear},
        {704, 40, 0, {0, 0, 704, 40}, 1920, 90, 0, 1920.0 / 704, 90.0 / 40, kResizeNearest},
        {704, 40, 0, {0, 0, 704, 40}, 1920, 90, 0, 1920.0 / 704, 90.0 / 40, kResizeLinear},
        {704, 40, 0, {0, 0, 704, 40}, 1920, 90, 0, 1920.0 / 704, 90.0 / 40, kResizeCubic},
        {704, 40, 0, {0, 0, 704, 40}, 1920, 90, 0, 1920.0 / 704, 90.0 / 40, kResizeLanczos},
        {1920, 60, 0, {0, 0, 1920, 60}, 960, 30, 0, 0.5, 0.5, kResizeSuper},
        {1920, 60, 0, {0, 0, 1920, 60}, 640, 20, 0, 640.0 / 1920, 20.0 / 60, kResizeSuper},
        {1920, 60, 5, {7, 3, 1900, 50}, 640, 20, 9, 1.0 / 3, 0.25, kResizeSuper},
        {352, 120, 0, {0, 0, 352, 120}, 352, 240, 0, 1.0, 2.0, kResizeLinear},
    }};
    for (const ResizeKernels* fast : m_sets) {
        std::uint32_t seed = 1;
        for (const Call& c : calls) {
            SCOPED_TRACE(fast->name);
            ExpectSameAsReference(c, *fast, seed++);
        }
    }
}

// Horizontal factor 1.0 with linear interpolation skips the horizontal pass:
// widths around the vector rounds of 16 bytes, regions off the origin,
// padded rows, vertical factors that enlarge, keep and shrink.
TEST_F(FastPath, IdentityColumnsMatchReference) {
    const std::array<Call, 12> calls = {{
        {704, 240, 0, {0, 0, 704, 240}, 704, 480, 0, 1.0, 2.0, kResizeLinear},
        {720, 288, 0, {0, 0, 720, 288}, 720, 576, 0, 1.0, 2.0, kResizeLinear},
        {640, 228, 0, {0, 0, 640, 228}, 640, 456, 0, 1.0, 2.0, kResizeLinear},
        {5, 9, 0, {0, 0, 5, 9}, 5, 18, 0, 1.0, 2.0, kResizeLinear},
        {6, 4, 2, {0, 0, 6, 4}, 6, 8, 1, 1.0, 2.0, kResizeLinear},
        {11, 17, 3, {0, 0, 11, 17}, 11, 23, 5, 1.0, 23.0 / 17, kResizeLinear},
        {16, 7, 0, {0, 0, 16, 7}, 16, 7, 0, 1.0, 1.0, kResizeLinear},
        {33, 20, 0, {0, 0, 33, 20}, 33, 9, 0, 1.0, 0.45, kResizeLinear},
        {50, 30, 4, {9, 5, 30, 20}, 30, 50, 7, 1.0, 2.5, kResizeLinear},
        {50, 30, 0, {20, 3, 30, 27}, 30, 31, 0, 1.0, 31.0 / 27, kResizeLinear},
        {50, 30, 0, {45, 0, 9, 30}, 9, 60, 0, 1.0, 2.0, kResizeLinear},
        {2, 2, 0, {0, 0, 2, 2}, 2, 4, 0, 1.0, 2.0, kResizeLinear},
    }};
    for (const ResizeKernels* fast : m_sets) {
        std::uint32_t seed = 300;
        for (const Call& c : calls) {
            SCOPED_TRACE(fast->name);
            ExpectSameAsReference(c, *fast, seed++);
        }
    }
}

TEST_F(FastPath, EntryUsesTheFastestSet) {
    EXPECT_EQ(&resample::SelectedKernels(), m_sets.back());
}

TEST_F(FastPath, RandomCallsMatchReference) {
    std::mt19937 rng(20240611);
    const auto uniform = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const auto real = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    };
    constexpr std::array<double, 12> kExact = {1.0,  2.0,  0.5, 1.0 / 3, 0.25, 1920.0 / 704,
                                               2.25, 1.16, 3.0, 1.5,     0.4,  0.75};
    constexpr std::array<double, 6> kShrink = {1.0, 0.5, 1.0 / 3, 0.25, 0.2, 0.4};
    constexpr std::array<int, 5> kKinds = {kResizeNearest, kResizeLinear, kResizeCubic,
                                           kResizeLanczos, kResizeSuper};
    for (int iteration = 0; iteration < 700; ++iteration) {
        Call c{};
        c.interpolation = kKinds[iteration % kKinds.size()];
        const bool wide = uniform(0, 5) == 0;
        c.srcW = wide ? uniform(100, 420) : uniform(1, 90);
        c.srcH = uniform(1, 48);
        c.srcExtra = uniform(0, 1) * uniform(0, 7);
        c.roi.x = uniform(0, c.srcW - 1);
        c.roi.y = uniform(0, c.srcH - 1);
        c.roi.width = uniform(1, c.srcW - c.roi.x + 4);
        c.roi.height = uniform(1, c.srcH - c.roi.y + 4);
        if (uniform(0, 3) == 0) {
            c.roi = {0, 0, c.srcW, c.srcH};
        }
        const auto factor = [&] {
            if (c.interpolation == kResizeSuper) {
                return uniform(0, 1) == 0 ? kShrink[uniform(0, kShrink.size() - 1)]
                                          : real(0.1, 1.0);
            }
            return uniform(0, 1) == 0 ? kExact[uniform(0, kExact.size() - 1)] : real(0.15, 3.5);
        };
        c.xf = factor();
        c.yf = factor();
        const int roiW = std::min(c.roi.width, c.srcW - c.roi.x);
        const int roiH = std::min(c.roi.height, c.srcH - c.roi.y);
        c.dstW = std::max(1, ExpectedExtent(roiW, c.xf, 1 << 20) + uniform(-3, 3));
        c.dstH = std::max(1, ExpectedExtent(roiH, c.yf, 1 << 20) + uniform(-3, 3));
        c.dstExtra = uniform(0, 1) * uniform(0, 9);
        for (const ResizeKernels* fast : m_sets) {
            SCOPED_TRACE(fast->name);
            ExpectSameAsReference(c, *fast, 1000 + iteration);
        }
        if (HasFailure()) {
            return;
        }
    }
}

// The other layouts go through the same tables; the vector set must leave
// them to (or match) the reference too.
TEST_F(FastPath, OtherLayoutsMatchReference) {
    struct Layout {
        int stride, channels, dataType, planar;
    };
    constexpr std::array<Layout, 6> kLayouts = {
        {{4, 3, 0, 0}, {4, 4, 0, 0}, {1, 1, 0, 0}, {3, 3, 1, 0}, {4, 4, 2, 0}, {1, 3, 0, 1}}};
    constexpr std::array<int, 4> kKinds = {kResizeNearest, kResizeLinear, kResizeCubic,
                                           kResizeLanczos};
    std::uint32_t seed = 77;
    for (const Layout& l : kLayouts) {
        for (const int kind : kKinds) {
            const int elem = l.dataType == 0 ? 1 : l.dataType == 1 ? 2 : 4;
            const int srcW = 37, srcH = 23, dstW = 61, dstH = 31;
            const int srcStep = srcW * l.stride * elem + 4 * elem;
            const int dstStep = dstW * l.stride * elem + 8 * elem;
            const int planes = l.planar != 0 ? 3 : 1;
            std::vector<std::vector<std::uint8_t>> src(planes), dst0(planes), dst1(planes);
            for (int p = 0; p < planes; ++p) {
                src[p].resize(static_cast<std::size_t>(srcStep) * srcH);
                FillRandom(src[p].data(), src[p].size(), seed++);
                if (l.dataType == 2) {
                    // Finite floats: small integers scaled.
                    auto* f = reinterpret_cast<float*>(src[p].data());
                    for (std::size_t i = 0; i < src[p].size() / 4; ++i) {
                        f[i] = static_cast<float>(src[p][i * 4] % 200) * 0.75f;
                    }
                }
                dst0[p].assign(static_cast<std::size_t>(dstStep) * dstH, 0x5A);
                dst1[p] = dst0[p];
            }
            std::vector<const void*> srcPlanes;
            std::vector<void*> dstPlanes0, dstPlanes1;
            for (int p = 0; p < planes; ++p) {
                srcPlanes.push_back(src[p].data());
                dstPlanes0.push_back(dst0[p].data());
                dstPlanes1.push_back(dst1[p].data());
            }
            const void* s =
                l.planar != 0 ? static_cast<const void*>(srcPlanes.data()) : src[0].data();
            void* d0 = l.planar != 0 ? static_cast<void*>(dstPlanes0.data()) : dst0[0].data();
            void* d1 = l.planar != 0 ? static_cast<void*>(dstPlanes1.data()) : dst1[0].data();
            const ResizeRect roi{3, 2, 30, 19};
            const ResizeStatus r0 = resample::ResizeGeneral(
                s, {srcW, srcH}, srcStep, roi, d0, dstStep, {dstW, dstH}, 1.9, 1.45, kind, 0.0, 0.0,
                l.stride, l.channels, l.dataType, l.planar, 1, ReferenceKernels());
            const ResizeStatus r1 = resample::ResizeGeneral(
                s, {srcW, srcH}, srcStep, roi, d1, dstStep, {dstW, dstH}, 1.9, 1.45, kind, 0.0, 0.0,
                l.stride, l.channels, l.dataType, l.planar, 1, *m_sets.back());
            EXPECT_EQ(r0, kResizeOk);
            EXPECT_EQ(r1, r0);
            EXPECT_EQ(dst0, dst1) << "stride " << l.stride << " channels " << l.channels << " type "
                                  << l.dataType << " planar " << l.planar << " kind " << kind;
        }
    }
}

// The source image is placed against an inaccessible page, after its last
// byte or before its first; every kind and both kernel sets resize regions
// touching the image's corners. A read past the image ends the test run.
TEST(SourceBounds, ReadsStayInsideTheImage) {
    std::vector<const ResizeKernels*> sets = resample::VectorKernels();
    sets.push_back(&ReferenceKernels());
    struct Factors {
        double x, y;
    };
    constexpr std::array<Factors, 4> kGrow = {
        {{1920.0 / 704, 2.25}, {1.0, 2.0}, {2.5, 1.3}, {1.0, 1.0}}};
    constexpr std::array<Factors, 4> kShrink = {
        {{0.5, 0.5}, {1.0 / 3, 1.0 / 3}, {0.4, 0.75}, {0.3, 0.6}}};
    constexpr std::array<int, 5> kKinds = {kResizeNearest, kResizeLinear, kResizeCubic,
                                           kResizeLanczos, kResizeSuper};
    const int w = 45, h = 17;
    for (const bool atEnd : {true, false}) {
        GuardedBlock block(static_cast<std::size_t>(w) * 3 * h, atEnd);
        ASSERT_NE(block.data(), nullptr);
        FillRandom(block.data(), block.size(), 5);
        for (const ResizeKernels* set : sets) {
            for (const int kind : kKinds) {
                for (const auto& list : {kGrow, kShrink}) {
                    for (const Factors f : list) {
                        for (const ResizeRect roi :
                             {ResizeRect{0, 0, w, h}, ResizeRect{w - 13, h - 9, 50, 50},
                              ResizeRect{0, 0, 9, 7}, ResizeRect{w - 1, h - 1, 1, 1}}) {
                            if (kind == kResizeSuper && (f.x > 1.0 || f.y > 1.0)) {
                                continue;
                            }
                            Picture dst(140, 60);
                            const ResizeStatus s = resample::ResizeGenericEntry(
                                block.data(), {w, h}, w * 3, roi, dst.data(), dst.step, dst.size(),
                                f.x, f.y, kind, *set);
                            EXPECT_EQ(s, kResizeOk);
                        }
                    }
                }
            }
        }
    }
}
