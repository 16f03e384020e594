// The cached-row bookkeeping of the row loops, shared by every kernel set: a
// recording context logs which source rows are filtered and which rows each
// destination row's window holds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "resample/row_loops.h"

namespace {

using resample::RowLoopArgs;

constexpr std::ptrdiff_t kStep = 4;  // elements per source row
constexpr int kRows = 40;
constexpr int kAbove = 8;  // image rows above the ROI's first row

struct Log {
    const std::uint8_t* origin = nullptr;
    std::vector<long> filtered;
    std::vector<std::vector<long>> windows;
};

Log* g_log = nullptr;

// Filtering writes the source row number into the cached row; a vertical
// call records the numbers of its cached rows.
template <class B>
struct Recording {
    using Sample = std::uint8_t;
    using Cached = B;
    using RowWeight = std::uint16_t;
    static constexpr bool kCopyRepeatedRows = false;

    bool Init(const RowLoopArgs&) { return true; }
    std::size_t RowElements() const { return 0; }
    std::size_t CachedElements() const { return 1; }

    void Horizontal(const std::uint8_t* s, B* out) const {
        const long row = static_cast<long>((s - g_log->origin) / kStep);
        out[0] = static_cast<B>(row);
        g_log->filtered.push_back(row);
    }
    void Vertical(std::uint8_t*, RowWeight, const B* upper, const B* lower) const {
        g_log->windows.push_back({static_cast<long>(upper[0]), static_cast<long>(lower[0])});
    }
    void Vertical(std::uint8_t*, const float*, B* const* r) const { Record(r, 6); }
    void Vertical(std::uint8_t*, float, B* const* r) const { Record(r, 4); }
    void Record(B* const* r, int n) const {
        std::vector<long> w;
        for (int i = 0; i < n; ++i) {
            w.push_back(static_cast<long>(r[i][0]));
        }
        g_log->windows.push_back(w);
    }
};

// Runs a loop over destination rows whose windows start at `starts` (rows
// from the ROI's first row).
template <class B>
Log RunLoop(bool (*loop)(const RowLoopArgs&), const std::vector<long>& starts, int roiY = kAbove,
            bool enlarge = false) {
    static std::vector<std::uint8_t> image(static_cast<std::size_t>(kRows) * kStep);
    static std::vector<float> weights(6 * 64, 0.0f);
    std::vector<std::ptrdiff_t> offsets;
    for (const long s : starts) {
        offsets.push_back(s * kStep);
    }
    std::vector<B> buffers(6);
    std::vector<std::uint8_t> dst(starts.size());
    Log log;
    log.origin = image.data() + roiY * kStep;
    g_log = &log;
    RowLoopArgs a;
    a.src = log.origin;
    a.dst = dst.data();
    a.srcStep = kStep;
    a.dstStep = 1;
    a.dstW = 1;
    a.dstH = static_cast<int>(starts.size());
    a.rowOfs = offsets.data();
    a.rowWeights = weights.data();
    for (int i = 0; i < 6; ++i) {
        a.rows[i] = &buffers[i];
    }
    a.roiY = roiY;
    a.rowsToEdge = kRows - roiY;
    a.enlarge = enlarge;
    EXPECT_TRUE(loop(a));
    g_log = nullptr;
    return log;
}

std::vector<long> Window(long start, int before, int size, long top, long bottom) {
    std::vector<long> w;
    for (int i = 0; i < size; ++i) {
        w.push_back(std::clamp(start - before + i, top, bottom));
    }
    return w;
}

void ExpectEachRowOnce(const Log& log) {
    const std::set<long> distinct(log.filtered.begin(), log.filtered.end());
    EXPECT_EQ(distinct.size(), log.filtered.size()) << "a source row was filtered twice";
}

}  // namespace

TEST(RowLoopCache, LinearKeepsTwoRows) {
    const std::vector<long> doubling = {0, 0, 1, 1, 2, 2, 3, 3, 4};
    const std::vector<long> reduction = {0, 3, 7, 7, 12};
    for (const auto& starts : {doubling, reduction}) {
        const Log log =
            RunLoop<std::uint16_t>(resample::LinearLoop<Recording<std::uint16_t>>, starts);
        ExpectEachRowOnce(log);
        std::set<long> needed;
        ASSERT_EQ(log.windows.size(), starts.size());
        for (std::size_t k = 0; k < starts.size(); ++k) {
            EXPECT_EQ(log.windows[k], (std::vector<long>{starts[k], starts[k] + 1})) << k;
            needed.insert(starts[k]);
            needed.insert(starts[k] + 1);
        }
        EXPECT_EQ(std::set<long>(log.filtered.begin(), log.filtered.end()), needed)
            << "rows no window needs must not be filtered";
    }
}

TEST(RowLoopCache, CubicKeepsFourRows) {
    const std::vector<long> upscale = {1, 1, 1, 2, 2, 3, 4, 4, 5};
    const std::vector<long> jumps = {1, 3, 6, 6, 10, 15, 16};
    for (const auto& starts : {upscale, jumps}) {
        const Log log = RunLoop<float>(resample::CubicLoop<Recording<float>>, starts);
        ExpectEachRowOnce(log);
        std::set<long> needed;
        for (std::size_t k = 0; k < starts.size(); ++k) {
            const std::vector<long> w = Window(starts[k], 1, 4, -kAbove, kRows - kAbove - 1);
            EXPECT_EQ(log.windows[k], w) << k;
            needed.insert(w.begin(), w.end());
        }
        EXPECT_EQ(std::set<long>(log.filtered.begin(), log.filtered.end()), needed);
    }
}

// Lanczos windows are clamped into the image; rows repeated by clamping are
// copied, not filtered again. Enlargement moves one row at a time; a
// reduction moves by several.
TEST(RowLoopCache, LanczosKeepsSixClampedRows) {
    struct Case {
        std::vector<long> starts;
        int roiY;
        bool enlarge;
    };
    const long last = kRows - 1;
    const Case kCases[] = {
        {{0, 0, 1, 1, 2, 3, 3, 4}, 0, true},                    // top of the image
        {{0, 1, 1, 2}, 1, true},                                // one row below the top
        {{0, 3, 7, 8, 20, 33, 37, 39}, 0, false},               // reduction to the bottom
        {{last - 3, last - 2, last - 1, last, last}, 0, true},  // enlargement at the bottom
        {{5, 5, 6, 12, 13}, 8, false},
    };
    for (const Case& c : kCases) {
        const Log log =
            RunLoop<float>(resample::LanczosLoop<Recording<float>>, c.starts, c.roiY, c.enlarge);
        ExpectEachRowOnce(log);
        std::set<long> needed;
        for (std::size_t k = 0; k < c.starts.size(); ++k) {
            const std::vector<long> w = Window(c.starts[k], 2, 6, -c.roiY, kRows - c.roiY - 1);
            EXPECT_EQ(log.windows[k], w) << "roi y " << c.roiY << " row " << k;
            needed.insert(w.begin(), w.end());
        }
        EXPECT_EQ(std::set<long>(log.filtered.begin(), log.filtered.end()), needed);
    }
}
