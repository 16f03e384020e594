#pragma once

// The scalar row kernels of nearest, linear, cubic and Lanczos resizing, as
// contexts for the row loops of row_loops.h. They are the reference: every
// vector kernel must give the same bits.
//
// Layout parameters: C is the number of values per column in a cached row
// (1, 3 or 4) and the number of channels written; taps of the three-channel
// kernels are one pixel stride apart, of the others C elements. ThreeOfFour
// marks stride 4 with 3 channels: destination pixels are 4 elements apart and
// their fourth element is never written.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "resample/resize_internal.h"

namespace resample {

// Converts a vertical sum of the cubic and Lanczos kernels to the sample type:
// integers add the bias, truncate toward zero and saturate; floats are kept.
template <class T>
inline T StoreFiltered(double v);

template <>
inline std::uint8_t StoreFiltered<std::uint8_t>(double v) {
    return ToU8(v + kBias);
}

template <>
inline std::uint16_t StoreFiltered<std::uint16_t>(double v) {
    return ToU16(v + kBias);
}

template <>
inline float StoreFiltered<float>(double v) {
    return static_cast<float>(v);
}

// Common part of the contexts: the arguments and the layout.
template <int C, bool ThreeOfFour>
class ScalarLayout {
public:
    std::size_t RowElements() const {
        return ThreeOfFour || (C == 3 && m_tap != 3) ? 0 : static_cast<std::size_t>(m_a->dstW) * C;
    }
    std::size_t CachedElements() const { return static_cast<std::size_t>(m_a->dstW) * C; }

protected:
    void SetArgs(const RowLoopArgs& a) {
        m_a = &a;
        m_tap = C == 3 ? a.pixelStride : C;
    }

    // Writes the vertical result for every destination element of a row;
    // f(i) gives the value of cached element i.
    template <class T, class F>
    void ForEachDestination(T* d, F f) const {
        if constexpr (ThreeOfFour) {
            for (int j = 0; j < m_a->dstW; ++j) {
                for (int c = 0; c < 3; ++c) {
                    d[4 * j + c] = f(3 * static_cast<std::ptrdiff_t>(j) + c);
                }
            }
        } else {
            const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(m_a->dstW) * C;
            for (std::ptrdiff_t i = 0; i < n; ++i) {
                d[i] = f(i);
            }
        }
    }

    const RowLoopArgs* m_a = nullptr;
    int m_tap = C;
};

// Nearest neighbour: C elements copied per pixel; destination pixels one
// stride apart for three channels.
template <class T, int C>
class ScalarNearest : public ScalarLayout<C, false> {
public:
    using Sample = T;
    static constexpr bool kCopyRepeatedRows = false;

    bool Init(const RowLoopArgs& a) {
        this->SetArgs(a);
        return true;
    }

    void Row(const T* s, T* d) const {
        const RowLoopArgs& a = *this->m_a;
        const int pixel = this->m_tap;
        for (int j = 0; j < a.dstW; ++j, d += pixel) {
            const T* p = s + a.colOfs[j];
            for (int c = 0; c < C; ++c) {
                d[c] = p[c];
            }
        }
    }
};

// Linear arithmetic by data type. 8-bit samples are filtered into cached
// values on a scale of 64 per unit, 16-bit ones onto their own scale, both
// with Q14 weights; floats interpolate with the fractions.
template <class T>
struct LinearMath;

template <>
struct LinearMath<std::uint8_t> {
    using Cached = std::uint16_t;
    using RowWeight = std::uint16_t;
    static constexpr int kColWeights = 2;  // Q14 pair per column
    static Cached H(std::uint32_t p0, std::uint32_t p1, const std::uint16_t* w) {
        return static_cast<Cached>((p0 * w[0] + p1 * w[1] + 128) >> 8);
    }
    static std::uint8_t V(std::uint32_t upper, std::uint32_t lower, std::uint32_t a) {
        return static_cast<std::uint8_t>((upper * (kQ14One - a) + lower * a + 0x80000) >> 20);
    }
};

template <>
struct LinearMath<std::uint16_t> {
    using Cached = std::uint16_t;
    using RowWeight = std::uint16_t;
    static constexpr int kColWeights = 2;
    static Cached H(std::uint32_t p0, std::uint32_t p1, const std::uint16_t* w) {
        return static_cast<Cached>((p0 * w[0] + p1 * w[1] + 8192) >> 14);
    }
    static std::uint16_t V(std::uint32_t upper, std::uint32_t lower, std::uint32_t a) {
        return static_cast<std::uint16_t>((upper * (kQ14One - a) + lower * a + 8192) >> 14);
    }
};

template <>
struct LinearMath<float> {
    using Cached = float;
    using RowWeight = float;
    static constexpr int kColWeights = 1;  // fraction per column
    static Cached H(float p0, float p1, const float* f) { return p0 + (p1 - p0) * *f; }
    static float V(float upper, float lower, float a) { return a * lower + (1.0f - a) * upper; }
};

template <class T, int C, bool ThreeOfFour>
class ScalarLinear : public ScalarLayout<C, ThreeOfFour> {
    using M = LinearMath<T>;

public:
    using Sample = T;
    using Cached = typename M::Cached;
    using RowWeight = typename M::RowWeight;
    using ColWeight = RowWeight;
    static constexpr bool kCopyRepeatedRows = false;

    bool Init(const RowLoopArgs& a) {
        this->SetArgs(a);
        return true;
    }

    void Horizontal(const T* s, Cached* out) const {
        const RowLoopArgs& a = *this->m_a;
        const auto* w = static_cast<const ColWeight*>(a.colWeights);
        const int tap = this->m_tap;
        for (int k = 0; k < a.dstW; ++k, out += C) {
            const T* p = s + a.colOfs[k];
            const ColWeight* wk = w + static_cast<std::ptrdiff_t>(M::kColWeights) * k;
            for (int c = 0; c < C; ++c) {
                out[c] = M::H(p[c], p[c + tap], wk);
            }
        }
    }

    void Vertical(T* d, RowWeight weight, const Cached* upper, const Cached* lower) const {
        this->ForEachDestination(
            d, [&](std::ptrdiff_t i) { return M::V(upper[i], lower[i], weight); });
    }
};

// Cubic: the four taps one pixel before the column offset to two after it.
// Coefficients are computed per column (horizontal) and per row (vertical,
// with d rounded to single precision); cached rows hold unrounded floats.
template <class T, int C, bool ThreeOfFour>
class ScalarCubic : public ScalarLayout<C, ThreeOfFour> {
public:
    using Sample = T;
    using Cached = float;
    static constexpr bool kCopyRepeatedRows = false;

    bool Init(const RowLoopArgs& a) {
        this->SetArgs(a);
        return true;
    }

    void Horizontal(const T* s, float* out) const {
        const RowLoopArgs& a = *this->m_a;
        const auto* fractions = static_cast<const float*>(a.colWeights);
        const int tap = this->m_tap;
        for (int k = 0; k < a.dstW; ++k, out += C) {
            const T* p = s + a.colOfs[k];
            const CubicCoefficients q = CubicCoefficientsFor(fractions[k]);
            for (int c = 0; c < C; ++c) {
                out[c] = static_cast<float>(
                    CubicValue(p[c - tap], p[c], p[c + tap], p[c + 2 * tap], q.b, q.c, q.d));
            }
        }
    }

    void Vertical(T* d, float t, float* const* r) const {
        const CubicCoefficients q = CubicCoefficientsFor(t);
        const double dd = static_cast<float>(q.d);
        this->ForEachDestination(d, [&](std::ptrdiff_t i) {
            return StoreFiltered<T>(CubicValue(r[0][i], r[1][i], r[2][i], r[3][i], q.b, q.c, dd));
        });
    }
};

// Lanczos: six taps at -2 .. +3 around the column's integer part, clamped
// into the image; sums in double precision, first tap first.
template <class T, int C, bool ThreeOfFour>
class ScalarLanczos : public ScalarLayout<C, ThreeOfFour> {
public:
    using Sample = T;
    using Cached = float;
    static constexpr bool kCopyRepeatedRows = false;

    bool Init(const RowLoopArgs& a) {
        this->SetArgs(a);
        return true;
    }

    // Filters destination columns [begin, end) of one row with every tap
    // clamped into the image.
    void HorizontalClamped(const T* s, float* out, int begin, int end) const {
        const RowLoopArgs& a = *this->m_a;
        const auto* weights = static_cast<const float*>(a.colWeights);
        const int tap = this->m_tap;
        const int first = -a.roiX;
        const int last = a.colsToEdge - 1;
        for (int k = begin; k < end; ++k) {
            const int ix = a.colOfs[k] / tap;
            const float* w = weights + 6 * static_cast<std::ptrdiff_t>(k);
            const T* p[6];
            for (int j = 0; j < 6; ++j) {
                p[j] = s + static_cast<std::ptrdiff_t>(std::clamp(ix + j - 2, first, last)) * tap;
            }
            for (int c = 0; c < C; ++c) {
                double acc = static_cast<double>(w[0]) * static_cast<double>(p[0][c]);
                for (int j = 1; j < 6; ++j) {
                    acc += static_cast<double>(w[j]) * static_cast<double>(p[j][c]);
                }
                out[static_cast<std::ptrdiff_t>(k) * C + c] = static_cast<float>(acc);
            }
        }
    }

    void Horizontal(const T* s, float* out) const { HorizontalClamped(s, out, 0, this->m_a->dstW); }

    void Vertical(T* d, const float* w, float* const* r) const {
        this->ForEachDestination(d, [&](std::ptrdiff_t i) {
            double acc = static_cast<double>(w[0]) * static_cast<double>(r[0][i]);
            for (int j = 1; j < 6; ++j) {
                acc += static_cast<double>(w[j]) * static_cast<double>(r[j][i]);
            }
            return StoreFiltered<T>(acc);
        });
    }
};

}  // namespace resample
