#pragma once

// The row loops of nearest, linear, cubic and Lanczos resizing. A loop writes
// every destination row of one call. The interpolating loops are separable:
// each source row that contributes is filtered horizontally once into a
// cached row, and each destination row is made by a vertical kernel from the
// cached rows of its window. Buffers change roles by exchanging pointers.
//
// The loops are written once and take the per-row work from a context type:
// the scalar contexts (scalar_kernels.h) or the vector ones. A context
// provides
//   using Sample (and Cached, RowWeight for the interpolating kinds);
//   static constexpr bool kCopyRepeatedRows;
//   bool Init(const RowLoopArgs&);          // may allocate; false: nothing written
//   std::size_t RowElements() const;        // elements of a destination row, 0 if not contiguous
//   std::size_t CachedElements() const;     // elements of a cached row (Lanczos)
//   void Row(src, dst)                      // nearest
//   void Horizontal(src row, cached row)    // interpolating kinds
//   void Vertical(dst row, weight(s), cached rows...)
// With kCopyRepeatedRows a destination row made from the same source rows
// with the same weights as the row before it is copied from that row.

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "resample/resize_internal.h"

namespace resample {

template <class Ctx>
bool CanCopyRows(const Ctx& ctx, const RowLoopArgs& a) {
    if constexpr (!Ctx::kCopyRepeatedRows) {
        return false;
    } else {
        const std::size_t n = ctx.RowElements();
        return n != 0 && a.dstStep >= static_cast<std::ptrdiff_t>(n);
    }
}

template <class Ctx>
void CopyPreviousRow(const Ctx& ctx, typename Ctx::Sample* row, std::ptrdiff_t dstStep) {
    std::memcpy(row, row - dstStep, ctx.RowElements() * sizeof(typename Ctx::Sample));
}

template <class Ctx>
bool NearestLoop(const RowLoopArgs& a) {
    using T = typename Ctx::Sample;
    Ctx ctx;
    if (!ctx.Init(a)) {
        return false;
    }
    const bool copyRows = CanCopyRows(ctx, a);
    const T* src = static_cast<const T*>(a.src);
    T* dst = static_cast<T*>(a.dst);
    for (int k = 0; k < a.dstH; ++k, dst += a.dstStep) {
        if (copyRows && k > 0 && a.rowOfs[k] == a.rowOfs[k - 1]) {
            CopyPreviousRow(ctx, dst, a.dstStep);
        } else {
            ctx.Row(src + a.rowOfs[k], dst);
        }
    }
    return true;
}

// Two cached rows, upper and lower. L is the row offset of the last window;
// before the first row the first source row is filtered into the buffer that
// becomes the upper row when the window first moves.
template <class Ctx>
bool LinearLoop(const RowLoopArgs& a) {
    using T = typename Ctx::Sample;
    using B = typename Ctx::Cached;
    using W = typename Ctx::RowWeight;
    Ctx ctx;
    if (!ctx.Init(a)) {
        return false;
    }
    const bool copyRows = CanCopyRows(ctx, a);
    const T* src = static_cast<const T*>(a.src);
    T* dst = static_cast<T*>(a.dst);
    const W* weights = static_cast<const W*>(a.rowWeights);
    const std::ptrdiff_t step = a.srcStep;
    B* upper = static_cast<B*>(a.rows[0]);
    B* lower = static_cast<B*>(a.rows[1]);

    std::ptrdiff_t last = a.rowOfs[0] - 1;
    ctx.Horizontal(src + a.rowOfs[0], lower);
    for (int k = 0; k < a.dstH; ++k, dst += a.dstStep) {
        const std::ptrdiff_t v = a.rowOfs[k];
        if (v > last) {
            std::swap(upper, lower);
            ctx.Horizontal(src + v + step, lower);
            if (v > last + step) {
                ctx.Horizontal(src + v, upper);
            }
            last = v;
        } else if (copyRows && k > 0 && weights[k] == weights[k - 1]) {
            CopyPreviousRow(ctx, dst, a.dstStep);
            continue;
        }
        ctx.Vertical(dst, weights[k], upper, lower);
    }
    return true;
}

// Four cached rows R0 .. R3 holding the source rows v - step .. v + 2 step of
// the window at row offset v. Before the first row the rows at the first
// offset - step, the first offset and + step are filtered into R1 .. R3, so
// that the first window moves by one row.
template <class Ctx>
bool CubicLoop(const RowLoopArgs& a) {
    using T = typename Ctx::Sample;
    using B = typename Ctx::Cached;
    Ctx ctx;
    if (!ctx.Init(a)) {
        return false;
    }
    const bool copyRows = CanCopyRows(ctx, a);
    const T* src = static_cast<const T*>(a.src);
    T* dst = static_cast<T*>(a.dst);
    const float* fractions = static_cast<const float*>(a.rowWeights);
    const std::ptrdiff_t step = a.srcStep;
    B* r[4] = {static_cast<B*>(a.rows[0]), static_cast<B*>(a.rows[1]), static_cast<B*>(a.rows[2]),
               static_cast<B*>(a.rows[3])};

    const std::ptrdiff_t first = a.rowOfs[0];
    ctx.Horizontal(src + first - step, r[1]);
    ctx.Horizontal(src + first, r[2]);
    ctx.Horizontal(src + first + step, r[3]);
    std::ptrdiff_t last = first - 1;
    for (int k = 0; k < a.dstH; ++k, dst += a.dstStep) {
        const std::ptrdiff_t v = a.rowOfs[k];
        if (v > last) {
            // Rows moved on: the ones still in the window keep their data
            // and move up; the freed buffers take the new rows.
            const int moved = v >= last + 4 * step   ? 4
                              : v >= last + 3 * step ? 3
                              : v >= last + 2 * step ? 2
                                                     : 1;
            B* old[4] = {r[0], r[1], r[2], r[3]};
            for (int i = 0; i < 4; ++i) {
                r[i] = old[(i + moved) % 4];
            }
            for (int i = 4 - moved; i < 4; ++i) {
                ctx.Horizontal(src + v + (i - 1) * step, r[i]);
            }
            last = v;
        } else if (copyRows && k > 0 && fractions[k] == fractions[k - 1]) {
            CopyPreviousRow(ctx, dst, a.dstStep);
            continue;
        }
        ctx.Vertical(dst, fractions[k], r);
    }
    return true;
}

// Six cached rows holding, for the window start iy, the filtered source rows
// iy - 2 .. iy + 3, each clamped into the image. Row numbers here count from
// the ROI's first row.
template <class Ctx>
bool LanczosLoop(const RowLoopArgs& a) {
    using T = typename Ctx::Sample;
    using B = typename Ctx::Cached;
    Ctx ctx;
    if (!ctx.Init(a)) {
        return false;
    }
    const bool copyRows = CanCopyRows(ctx, a);
    const T* src = static_cast<const T*>(a.src);
    T* dst = static_cast<T*>(a.dst);
    const float* weights = static_cast<const float*>(a.rowWeights);
    const std::ptrdiff_t step = a.srcStep;
    const std::ptrdiff_t top = -static_cast<std::ptrdiff_t>(a.roiY);
    const std::ptrdiff_t bottom = static_cast<std::ptrdiff_t>(a.rowsToEdge) - 1;
    const auto clampRow = [&](std::ptrdiff_t row) { return std::clamp(row, top, bottom); };
    const std::size_t cachedElements = ctx.CachedElements();

    B* r[6];
    std::ptrdiff_t held[6];  // clamped source row of each buffer
    for (int i = 0; i < 6; ++i) {
        r[i] = static_cast<B*>(a.rows[i]);
        held[i] = 0;
    }
    // Fills role i with the clamped row: copied from the role before it when
    // clamping repeats that row, filtered otherwise. Roles below firstValid
    // hold nothing yet.
    const auto fill = [&](int i, std::ptrdiff_t row, int firstValid) {
        held[i] = clampRow(row);
        if (i > firstValid && held[i - 1] == held[i]) {
            std::memcpy(r[i], r[i - 1], cachedElements * sizeof(B));
        } else {
            ctx.Horizontal(src + held[i] * step, r[i]);
        }
    };

    // Priming: the window before the first row starts one row earlier, so
    // roles 1 .. 5 hold iy0 - 2 .. iy0 + 2 and role 0 is free.
    const std::ptrdiff_t iy0 = a.rowOfs[0] / step;
    for (int i = 1; i < 6; ++i) {
        fill(i, iy0 - 3 + i, 1);
    }
    std::ptrdiff_t current = iy0 - 1;
    for (int k = 0; k < a.dstH; ++k, dst += a.dstStep) {
        const std::ptrdiff_t iy = a.rowOfs[k] / step;
        const float* w = weights + 6 * static_cast<std::ptrdiff_t>(k);
        if (iy > current) {
            const std::ptrdiff_t moved = std::min<std::ptrdiff_t>(iy - current, 6);
            B* old[6];
            std::ptrdiff_t oldHeld[6];
            std::copy(r, r + 6, old);
            std::copy(held, held + 6, oldHeld);
            for (int i = 0; i < 6; ++i) {
                r[i] = old[(i + moved) % 6];
                held[i] = oldHeld[(i + moved) % 6];
            }
            if (a.enlarge && moved == 1) {
                // One new bottom row; below the image the previous bottom
                // row is repeated.
                if (iy + 3 > bottom) {
                    held[5] = held[4];
                    std::memcpy(r[5], r[4], cachedElements * sizeof(B));
                } else {
                    held[5] = clampRow(iy + 3);
                    ctx.Horizontal(src + held[5] * step, r[5]);
                }
            } else {
                for (int i = static_cast<int>(6 - moved); i < 6; ++i) {
                    fill(i, iy - 2 + i, 0);
                }
            }
            current = iy;
        } else if (copyRows && k > 0 && std::equal(w, w + 6, w - 6)) {
            CopyPreviousRow(ctx, dst, a.dstStep);
            continue;
        }
        ctx.Vertical(dst, w, r);
    }
    return true;
}

}  // namespace resample
