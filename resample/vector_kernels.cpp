// Vector kernels for 8-bit three-channel pictures with pixel stride 3, the
// layout of the resize entry: AVX2 nearest, linear, cubic and Lanczos row
// contexts and the whole-ratio supersampling row, and AVX-512 versions of
// the double-precision vertical kernels of cubic and Lanczos.
//
// Each vector lane computes one destination element (one channel of one
// destination pixel) with exactly the operations of the scalar kernel, in the
// same order and precision; vectors never run across a filter's taps. No FMA
// is used. Results are therefore identical to the scalar reference, which the
// tests check on random sizes, regions and factors.
//
// Source reads stay inside the image: shuffle windows are moved left at the
// image's right edge, and each 32-bit gather (Lanczos) starts at one tap and
// ends at another tap of the same lane (taps are 3 bytes apart).
//
// This file is compiled for every x86-64 processor; only the functions
// defined between the target pragmas use AVX2 or AVX-512, and they are
// reached only when the processor reports those extensions.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "resample/resize_internal.h"
#include "resample/row_loops.h"
#include "resample/scalar_kernels.h"
#include "resample/super_rows.h"
#include "resample/super_sampling.h"

#if defined(__x86_64__)

#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace resample {
namespace {

inline __m256i Load8(const std::int32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Per-element byte offsets: offsets[3k + c] = colOfs[k] + c + delta.
void ElementOffsets(const RowLoopArgs& a, int delta, std::int32_t* offsets) {
    for (int k = 0; k < a.dstW; ++k) {
        for (int c = 0; c < 3; ++c) {
            offsets[3 * k + c] = a.colOfs[k] + c + delta;
        }
    }
}

// Conversion of 16 int32 values in two vectors (each value
// 0 .. 255) to 16 bytes.
inline void StoreBytes16(std::uint8_t* d, __m256i v0, __m256i v1) {
    const __m256i w = _mm256_packus_epi32(v0, v1);  // lanes: v0lo v1lo | v0hi v1hi
    const __m256i b = _mm256_packus_epi16(w, w);
    const __m256i ordered =
        _mm256_permutevar8x32_epi32(b, _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(ordered));
}

// ClampForTrunc(v, 255) and truncation for four doubles.
inline __m128i TruncU8(__m256d v) {
    v = _mm256_max_pd(v, _mm256_setzero_pd());
    v = _mm256_min_pd(v, _mm256_set1_pd(255.0));
    return _mm256_cvttpd_epi32(v);
}

inline __m256i Combine(__m128i lo, __m128i hi) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

// ---------------------------------------------------------------------------
// Shuffle plans. Where the source bytes that a group of 16 output bytes needs
// lie within 16 bytes of each other (enlarging, mild reductions), one load of
// that window and one byte shuffle produce the group. The plan keeps, per
// group, the window's offset from the row start and M shuffle masks; groups
// that do not fit a window are marked and done by scalar code. A window never
// reaches past the image: near the right edge it is moved left.

constexpr std::int32_t kScalarGroup = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kZeroByte = std::numeric_limits<std::int64_t>::min();

template <int M>
class ShufflePlan {
public:
    // source(g, m, b) is the source byte offset of byte b of mask m of group
    // g, or kZeroByte. `first` and `end` bound the readable bytes of a row
    // (offsets from the ROI's first column).
    template <class Source>
    bool Build(int groups, std::int64_t first, std::int64_t end, Source source) {
        m_groups = groups;
        m_windows = AlignedBuffer<std::int32_t>(std::max(groups, 1));
        m_masks = AlignedBuffer<std::uint8_t>((groups / 2 + 1) * 32 * M);
        if (!m_windows || !m_masks) {
            return false;
        }
        for (int g = 0; g < groups; ++g) {
            std::int64_t lo = std::numeric_limits<std::int64_t>::max();
            std::int64_t hi = std::numeric_limits<std::int64_t>::min();
            for (int m = 0; m < M; ++m) {
                for (int b = 0; b < 16; ++b) {
                    const std::int64_t at = source(g, m, b);
                    if (at != kZeroByte) {
                        lo = std::min(lo, at);
                        hi = std::max(hi, at);
                    }
                }
            }
            const std::int64_t window = std::min(lo, end - 16);
            if (hi - window > 15 || window < first) {
                m_windows.get()[g] = kScalarGroup;
                continue;
            }
            m_windows.get()[g] = static_cast<std::int32_t>(window);
            for (int m = 0; m < M; ++m) {
                for (int b = 0; b < 16; ++b) {
                    const std::int64_t at = source(g, m, b);
                    m_masks.get()[MaskOffset(g, m) + b] =
                        at == kZeroByte ? 0x80 : static_cast<std::uint8_t>(at - window);
                }
            }
        }
        return true;
    }

    int groups() const { return m_groups; }
    std::int32_t window(int g) const { return m_windows.get()[g]; }
    // Mask m of the even group g and of g + 1, side by side.
    __m256i masks2(int g, int m) const {
        return _mm256_load_si256(
            reinterpret_cast<const __m256i*>(m_masks.get() + MaskOffset(g, m)));
    }

private:
    // Masks are stored by pairs of groups: for each pair and each m, the
    // 16 bytes of the even group, then those of the odd one.
    static std::ptrdiff_t MaskOffset(int g, int m) {
        return (std::ptrdiff_t{g / 2} * M + m) * 32 + (g % 2) * 16;
    }

    AlignedBuffer<std::int32_t> m_windows;
    AlignedBuffer<std::uint8_t> m_masks;
    int m_groups = 0;
};

// Loads the windows of groups g and g + 1 into the two halves.
template <int M>
inline __m256i LoadWindows2(const std::uint8_t* s, const ShufflePlan<M>& plan, int g) {
    return _mm256_setr_m128i(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + plan.window(g))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + plan.window(g + 1))));
}

// Source byte offset of destination element e (column e / 3, channel e % 3).
inline std::int64_t ElementSource(const RowLoopArgs& a, std::int64_t e) {
    return std::int64_t{a.colOfs[e / 3]} + e % 3;
}

// ---------------------------------------------------------------------------
// Nearest: each group of 16 destination bytes is one shuffle of a source
// window. Where most groups do not fit a window (strong reductions), pixels
// are copied with 4-byte moves instead, the fourth byte landing on the next
// pixel before that one is written; the image's last column is copied
// bytewise. Rows that repeat the previous one are copied whole.

class Avx2Nearest3 : public ScalarNearest<std::uint8_t, 3> {
public:
    static constexpr bool kCopyRepeatedRows = true;

    bool Init(const RowLoopArgs& a) {
        ScalarNearest::Init(a);
        const int groups = a.dstW * 3 / 16;
        m_readEnd = 3 * std::int64_t{a.colsToEdge};
        if (!m_plan.Build(groups, -3 * std::int64_t{a.roiX}, m_readEnd,
                          [&](int g, int, int b) { return ElementSource(a, 16 * g + b); })) {
            return false;
        }
        int shuffled = 0;
        for (int g = 0; g < groups; ++g) {
            shuffled += m_plan.window(g) != kScalarGroup ? 1 : 0;
        }
        m_shuffle = groups > 0 && 2 * shuffled >= groups;
        return true;
    }

    void Row(const std::uint8_t* s, std::uint8_t* d) const {
        const RowLoopArgs& a = *m_a;
        if (!m_shuffle) {
            for (int j = 0; j < a.dstW; ++j) {
                const std::int32_t o = a.colOfs[j];
                if (j + 1 < a.dstW && o + 4 <= m_readEnd) {
                    std::memcpy(d + 3 * j, s + o, 4);
                } else {
                    std::memcpy(d + 3 * j, s + o, 3);
                }
            }
            return;
        }
        int g = 0;
        for (; g + 1 < m_plan.groups(); g += 2) {
            if (m_plan.window(g) == kScalarGroup || m_plan.window(g + 1) == kScalarGroup) {
                CopyBytes(s, d, 16 * g, 16 * g + 32);
                continue;
            }
            _mm256_storeu_si256(
                reinterpret_cast<__m256i*>(d + 16 * g),
                _mm256_shuffle_epi8(LoadWindows2(s, m_plan, g), m_plan.masks2(g, 0)));
        }
        CopyBytes(s, d, 16 * g, 3 * a.dstW);
    }

private:
    void CopyBytes(const std::uint8_t* s, std::uint8_t* d, int from, int to) const {
        for (int e = from; e < to; ++e) {
            d[e] = s[ElementSource(*m_a, e)];
        }
    }

    ShufflePlan<1> m_plan;
    std::int64_t m_readEnd = 0;
    bool m_shuffle = false;
};

// ---------------------------------------------------------------------------
// Linear: horizontal h = (p0 w0 + p1 w1 + 128) >> 8 with a shuffle plan
// giving the 16-bit pair (p0, p1) of each element and a 16-bit multiply-add
// against the column's Q14 pair; vertical (u (16384 - a) + l a + 0x80000) >> 20 with
// the same multiply-add. When every column takes its own pixel whole (line
// doubling), the horizontal pass would be p << 6: LinearRowsOnly below does
// without it.

// Whether every destination column takes its own source pixel whole: the
// horizontal factor 1.0, where the last column's window moves back by one and
// takes its second pixel whole.
bool IdentityColumns(const RowLoopArgs& a) {
    const auto* w = static_cast<const std::uint16_t*>(a.colWeights);
    for (int k = 0; k < a.dstW; ++k) {
        const bool own = a.colOfs[k] == 3 * k && w[2 * k] == kQ14One;
        const bool next = a.colOfs[k] == 3 * (k - 1) && w[2 * k + 1] == kQ14One;
        if (!own && !next) {
            return false;
        }
    }
    return true;
}

class Avx2Linear3 : public ScalarLinear<std::uint8_t, 3, false> {
public:
    static constexpr bool kCopyRepeatedRows = true;

    bool Init(const RowLoopArgs& a) {
        ScalarLinear::Init(a);
        const auto* w = static_cast<const std::uint16_t*>(a.colWeights);
        // Per element: its column's Q14 pair, and a plan giving (p0, 0, p1, 0)
        // per element, four elements per group.
        const int n = a.dstW * 3;
        m_pairs = AlignedBuffer<std::uint32_t>(n);
        if (!m_pairs) {
            return false;
        }
        for (int e = 0; e < n; ++e) {
            std::memcpy(m_pairs.get() + e, w + 2 * (e / 3), sizeof(std::uint32_t));
        }
        return m_plan.Build(n / 4, -3 * std::int64_t{a.roiX}, 3 * std::int64_t{a.colsToEdge},
                            [&](int g, int, int b) -> std::int64_t {
                                if (b % 2 != 0) {
                                    return kZeroByte;
                                }
                                return ElementSource(a, 4 * g + b / 4) + (b % 4 == 2 ? 3 : 0);
                            });
    }

    void Horizontal(const std::uint8_t* s, std::uint16_t* out) const {
        const RowLoopArgs& a = *m_a;
        const int n = a.dstW * 3;
        const __m256i round = _mm256_set1_epi32(128);
        int g = 0;
        for (; g + 1 < m_plan.groups(); g += 2) {
            if (m_plan.window(g) == kScalarGroup || m_plan.window(g + 1) == kScalarGroup) {
                Scalar(s, out, 4 * g, 4 * g + 8);
                continue;
            }
            const __m256i pairs =
                _mm256_shuffle_epi8(LoadWindows2(s, m_plan, g), m_plan.masks2(g, 0));
            const __m256i w =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m_pairs.get() + 4 * g));
            const __m256i h =
                _mm256_srli_epi32(_mm256_add_epi32(_mm256_madd_epi16(pairs, w), round), 8);
            const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(h, h), 0x08);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * g),
                             _mm256_castsi256_si128(packed));
        }
        Scalar(s, out, 4 * g, n);
    }

    void Vertical(std::uint8_t* d, std::uint16_t weight, const std::uint16_t* upper,
                  const std::uint16_t* lower) const {
        const int n = m_a->dstW * 3;
        const __m256i w =
            _mm256_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(weight) << 16 |
                                               static_cast<std::uint32_t>(kQ14One - weight)));
        const __m256i round = _mm256_set1_epi32(0x80000);
        int e = 0;
        for (; e + 16 <= n; e += 16) {
            const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + e));
            const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + e));
            const __m256i lo = _mm256_madd_epi16(_mm256_unpacklo_epi16(u, l), w);
            const __m256i hi = _mm256_madd_epi16(_mm256_unpackhi_epi16(u, l), w);
            StoreBytes16Ordered(d + e, _mm256_srli_epi32(_mm256_add_epi32(lo, round), 20),
                                _mm256_srli_epi32(_mm256_add_epi32(hi, round), 20));
        }
        for (; e < n; ++e) {
            d[e] = LinearMath<std::uint8_t>::V(upper[e], lower[e], weight);
        }
    }

private:
    void Scalar(const std::uint8_t* s, std::uint16_t* out, int from, int to) const {
        const auto* w = reinterpret_cast<const std::uint16_t*>(m_pairs.get());
        for (int e = from; e < to; ++e) {
            const std::uint8_t* p = s + ElementSource(*m_a, e);
            out[e] = LinearMath<std::uint8_t>::H(p[0], p[3], w + 2 * e);
        }
    }

    // lo holds elements 0-3 | 8-11 and hi 4-7 | 12-15 (unpack order); the
    // in-lane packs put them back in order.
    static void StoreBytes16Ordered(std::uint8_t* d, __m256i lo, __m256i hi) {
        const __m256i w = _mm256_packus_epi32(lo, hi);  // 0-7 | 8-15
        const __m256i b = _mm256_packus_epi16(w, w);    // 0-7 0-7 | 8-15 8-15
        const __m256i ordered = _mm256_permute4x64_epi64(b, 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(ordered));
    }

    AlignedBuffer<std::uint32_t> m_pairs;
    ShufflePlan<1> m_plan;
};

// Linear with identity columns: the cached rows would hold every source byte
// times 64, so each destination row is the vertical kernel on the two source
// rows' bytes so scaled, and the horizontal pass and its cached rows are
// skipped. Rows as LinearLoop takes them: row offset v blends the rows at v
// and v + step. A row with the offset and weight of the row before it is a
// copy of that row.
bool LinearRowsOnly(const RowLoopArgs& a) {
    const auto* src = static_cast<const std::uint8_t*>(a.src);
    auto* dst = static_cast<std::uint8_t*>(a.dst);
    const auto* weights = static_cast<const std::uint16_t*>(a.rowWeights);
    const int n = a.dstW * 3;
    const bool copyRows = a.dstStep >= n;
    const __m256i round = _mm256_set1_epi32(0x80000);
    for (int k = 0; k < a.dstH; ++k, dst += a.dstStep) {
        const std::uint16_t weight = weights[k];
        if (copyRows && k > 0 && a.rowOfs[k] == a.rowOfs[k - 1] && weight == weights[k - 1]) {
            std::memcpy(dst, dst - a.dstStep, static_cast<std::size_t>(n));
            continue;
        }
        const std::uint8_t* upper = src + a.rowOfs[k];
        const std::uint8_t* lower = upper + a.srcStep;
        const __m256i w =
            _mm256_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(weight) << 16 |
                                               static_cast<std::uint32_t>(kQ14One - weight)));
        int e = 0;
        for (; e + 16 <= n; e += 16) {
            const __m256i u = _mm256_slli_epi16(
                _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + e))),
                6);
            const __m256i l = _mm256_slli_epi16(
                _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + e))),
                6);
            const __m256i lo = _mm256_madd_epi16(_mm256_unpacklo_epi16(u, l), w);
            const __m256i hi = _mm256_madd_epi16(_mm256_unpackhi_epi16(u, l), w);
            const __m256i packed = _mm256_packus_epi32(
                _mm256_srli_epi32(_mm256_add_epi32(lo, round), 20),
                _mm256_srli_epi32(_mm256_add_epi32(hi, round), 20));  // 0-7 | 8-15
            const __m256i bytes = _mm256_packus_epi16(packed, packed);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + e),
                             _mm256_castsi256_si128(_mm256_permute4x64_epi64(bytes, 0x08)));
        }
        for (; e < n; ++e) {
            dst[e] = LinearMath<std::uint8_t>::V(static_cast<std::uint32_t>(upper[e]) << 6,
                                                 static_cast<std::uint32_t>(lower[e]) << 6, weight);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Cubic: per-element tables of the column coefficients b, c, d (computed by
// the scalar routine) and a shuffle plan giving the four taps of each element
// as 32-bit values, four elements per group. The differences are exact in
// 32-bit integers, as they are in double.

inline __m256d CubicValue4(__m256d q0, __m256d d1, __m256d d2, __m256d d3, __m256d b, __m256d c,
                           __m256d d) {
    __m256d v = _mm256_add_pd(q0, _mm256_mul_pd(d1, b));
    v = _mm256_add_pd(v, _mm256_mul_pd(d2, c));
    return _mm256_add_pd(v, _mm256_mul_pd(d3, d));
}

inline __m256d LowToDouble(__m256i v) {
    return _mm256_cvtepi32_pd(_mm256_castsi256_si128(v));
}
inline __m256d HighToDouble(__m256i v) {
    return _mm256_cvtepi32_pd(_mm256_extracti128_si256(v, 1));
}

class Avx2Cubic3 : public ScalarCubic<std::uint8_t, 3, false> {
public:
    static constexpr bool kCopyRepeatedRows = true;

    bool Init(const RowLoopArgs& a) {
        ScalarCubic::Init(a);
        const int n = a.dstW * 3;
        m_coef = AlignedBuffer<double>(3 * std::ptrdiff_t{n});
        if (!m_coef) {
            return false;
        }
        const auto* fractions = static_cast<const float*>(a.colWeights);
        double* b = m_coef.get();
        for (int k = 0; k < a.dstW; ++k) {
            const CubicCoefficients q = CubicCoefficientsFor(fractions[k]);
            for (int c = 0; c < 3; ++c) {
                b[3 * k + c] = q.b;
                b[n + 3 * k + c] = q.c;
                b[2 * n + 3 * k + c] = q.d;
            }
        }
        return m_plan.Build(n / 4, -3 * std::int64_t{a.roiX}, 3 * std::int64_t{a.colsToEdge},
                            [&](int g, int tap, int byte) -> std::int64_t {
                                if (byte % 4 != 0) {
                                    return kZeroByte;
                                }
                                return ElementSource(a, 4 * g + byte / 4) + 3 * (tap - 1);
                            });
    }

    void Horizontal(const std::uint8_t* s, float* out) const {
        const int n = m_a->dstW * 3;
        const double* cb = m_coef.get();
        const double* cc = cb + n;
        const double* cd = cc + n;
        int g = 0;
        for (; g + 1 < m_plan.groups(); g += 2) {
            if (m_plan.window(g) == kScalarGroup || m_plan.window(g + 1) == kScalarGroup) {
                Scalar(s, out, 4 * g, 4 * g + 8);
                continue;
            }
            const __m256i window = LoadWindows2(s, m_plan, g);
            const __m256i q0 = _mm256_shuffle_epi8(window, m_plan.masks2(g, 0));
            const __m256i q1 = _mm256_shuffle_epi8(window, m_plan.masks2(g, 1));
            const __m256i q2 = _mm256_shuffle_epi8(window, m_plan.masks2(g, 2));
            const __m256i q3 = _mm256_shuffle_epi8(window, m_plan.masks2(g, 3));
            const __m256i d1 = _mm256_sub_epi32(q1, q0);
            const __m256i d2 = _mm256_sub_epi32(_mm256_sub_epi32(q2, q1), d1);
            const __m256i d3 = _mm256_sub_epi32(
                _mm256_add_epi32(_mm256_sub_epi32(q1, _mm256_add_epi32(q2, q2)), q3), d2);
            const int e = 4 * g;
            const __m256d lo = CubicValue4(LowToDouble(q0), LowToDouble(d1), LowToDouble(d2),
                                           LowToDouble(d3), _mm256_loadu_pd(cb + e),
                                           _mm256_loadu_pd(cc + e), _mm256_loadu_pd(cd + e));
            const __m256d hi =
                CubicValue4(HighToDouble(q0), HighToDouble(d1), HighToDouble(d2), HighToDouble(d3),
                            _mm256_loadu_pd(cb + e + 4), _mm256_loadu_pd(cc + e + 4),
                            _mm256_loadu_pd(cd + e + 4));
            _mm256_storeu_ps(out + e, _mm256_setr_m128(_mm256_cvtpd_ps(lo), _mm256_cvtpd_ps(hi)));
        }
        Scalar(s, out, 4 * g, n);
    }

    void Vertical(std::uint8_t* d, float t, float* const* r) const {
        const CubicCoefficients q = CubicCoefficientsFor(t);
        const double dd = static_cast<float>(q.d);
        const int n = m_a->dstW * 3;
        const __m256d b = _mm256_set1_pd(q.b);
        const __m256d c = _mm256_set1_pd(q.c);
        const __m256d dv = _mm256_set1_pd(dd);
        const __m256d two = _mm256_set1_pd(2.0);
        const __m256d bias = _mm256_set1_pd(kBias);
        const auto four = [&](int i) {
            const __m256d q0 = _mm256_cvtps_pd(_mm_loadu_ps(r[0] + i));
            const __m256d q1 = _mm256_cvtps_pd(_mm_loadu_ps(r[1] + i));
            const __m256d q2 = _mm256_cvtps_pd(_mm_loadu_ps(r[2] + i));
            const __m256d q3 = _mm256_cvtps_pd(_mm_loadu_ps(r[3] + i));
            const __m256d d1 = _mm256_sub_pd(q1, q0);
            const __m256d d2 = _mm256_sub_pd(_mm256_sub_pd(q2, q1), d1);
            const __m256d d3 =
                _mm256_sub_pd(_mm256_add_pd(_mm256_sub_pd(q1, _mm256_mul_pd(two, q2)), q3), d2);
            return TruncU8(_mm256_add_pd(CubicValue4(q0, d1, d2, d3, b, c, dv), bias));
        };
        int e = 0;
        for (; e + 16 <= n; e += 16) {
            StoreBytes16(d + e, Combine(four(e), four(e + 4)), Combine(four(e + 8), four(e + 12)));
        }
        for (; e < n; ++e) {
            d[e] = StoreFiltered<std::uint8_t>(
                CubicValue(r[0][e], r[1][e], r[2][e], r[3][e], q.b, q.c, dd));
        }
    }

private:
    void Scalar(const std::uint8_t* s, float* out, int from, int to) const {
        const int n = m_a->dstW * 3;
        const double* cb = m_coef.get();
        for (int e = from; e < to; ++e) {
            const std::uint8_t* p = s + ElementSource(*m_a, e);
            out[e] = static_cast<float>(
                CubicValue(p[-3], p[0], p[3], p[6], cb[e], cb[n + e], cb[2 * n + e]));
        }
    }

    AlignedBuffer<double> m_coef;
    ShufflePlan<4> m_plan;
};

// ---------------------------------------------------------------------------
// Lanczos: the columns whose six taps all lie inside the image form one run
// handled with per-element weight tables and three gathers (taps 0-1, 2-3,
// 4-5); the few columns at the image's edges use the scalar clamped kernel.

class Avx2Lanczos3 : public ScalarLanczos<std::uint8_t, 3, false> {
public:
    static constexpr bool kCopyRepeatedRows = true;

    bool Init(const RowLoopArgs& a) {
        ScalarLanczos::Init(a);
        const std::ptrdiff_t n = std::ptrdiff_t{a.dstW} * 3;
        m_weights = AlignedBuffer<float>(6 * n);
        m_offsets = AlignedBuffer<std::int32_t>(n);
        if (!m_weights || !m_offsets) {
            return false;
        }
        const auto* w = static_cast<const float*>(a.colWeights);
        float* t = m_weights.get();
        for (int k = 0; k < a.dstW; ++k) {
            for (int j = 0; j < 6; ++j) {
                for (int c = 0; c < 3; ++c) {
                    t[j * n + 3 * k + c] = w[6 * k + j];
                }
            }
        }
        ElementOffsets(a, -6, m_offsets.get());
        // The run: ix - 2 >= first image column and ix + 3 <= last one.
        m_runBegin = 0;
        while (m_runBegin < a.dstW && a.colOfs[m_runBegin] / 3 - 2 < -a.roiX) {
            ++m_runBegin;
        }
        m_runEnd = a.dstW;
        while (m_runEnd > m_runBegin && a.colOfs[m_runEnd - 1] / 3 + 3 > a.colsToEdge - 1) {
            --m_runEnd;
        }
        return true;
    }

    void Horizontal(const std::uint8_t* s, float* out) const {
        HorizontalClamped(s, out, 0, m_runBegin);
        const std::ptrdiff_t n = std::ptrdiff_t{m_a->dstW} * 3;
        const float* w = m_weights.get();
        const std::int32_t* ofs = m_offsets.get();
        const auto* base = reinterpret_cast<const int*>(s);
        const __m256i low = _mm256_set1_epi32(0xFF);
        const __m256i six = _mm256_set1_epi32(6);
        const int end = 3 * m_runEnd;
        int e = 3 * m_runBegin;
        for (; e + 8 <= end; e += 8) {
            const __m256i idx = Load8(ofs + e);
            const __m256i g01 = _mm256_i32gather_epi32(base, idx, 1);
            const __m256i idx2 = _mm256_add_epi32(idx, six);
            const __m256i g23 = _mm256_i32gather_epi32(base, idx2, 1);
            const __m256i g45 = _mm256_i32gather_epi32(base, _mm256_add_epi32(idx2, six), 1);
            const __m256i taps[6] = {_mm256_and_si256(g01, low), _mm256_srli_epi32(g01, 24),
                                     _mm256_and_si256(g23, low), _mm256_srli_epi32(g23, 24),
                                     _mm256_and_si256(g45, low), _mm256_srli_epi32(g45, 24)};
            for (int half = 0; half < 2; ++half) {
                const int i = e + 4 * half;
                const auto sample = [&](int j) {
                    return _mm256_cvtepi32_pd(half == 0 ? _mm256_castsi256_si128(taps[j])
                                                        : _mm256_extracti128_si256(taps[j], 1));
                };
                __m256d acc = _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(w + i)), sample(0));
                for (int j = 1; j < 6; ++j) {
                    acc = _mm256_add_pd(
                        acc,
                        _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(w + j * n + i)), sample(j)));
                }
                _mm_storeu_ps(out + i, _mm256_cvtpd_ps(acc));
            }
        }
        for (; e < end; ++e) {
            const std::uint8_t* p = s + ofs[e];
            double acc = static_cast<double>(w[e]) * static_cast<double>(p[0]);
            for (int j = 1; j < 6; ++j) {
                acc += static_cast<double>(w[j * n + e]) * static_cast<double>(p[3 * j]);
            }
            out[e] = static_cast<float>(acc);
        }
        HorizontalClamped(s, out, m_runEnd, m_a->dstW);
    }

    void Vertical(std::uint8_t* d, const float* w, float* const* r) const {
        const int n = m_a->dstW * 3;
        __m256d wv[6];
        for (int j = 0; j < 6; ++j) {
            wv[j] = _mm256_set1_pd(static_cast<double>(w[j]));
        }
        const __m256d bias = _mm256_set1_pd(kBias);
        const auto four = [&](int i) {
            __m256d acc = _mm256_mul_pd(wv[0], _mm256_cvtps_pd(_mm_loadu_ps(r[0] + i)));
            for (int j = 1; j < 6; ++j) {
                acc = _mm256_add_pd(acc,
                                    _mm256_mul_pd(wv[j], _mm256_cvtps_pd(_mm_loadu_ps(r[j] + i))));
            }
            return TruncU8(_mm256_add_pd(acc, bias));
        };
        int e = 0;
        for (; e + 16 <= n; e += 16) {
            StoreBytes16(d + e, Combine(four(e), four(e + 4)), Combine(four(e + 8), four(e + 12)));
        }
        for (; e < n; ++e) {
            double acc = static_cast<double>(w[0]) * static_cast<double>(r[0][e]);
            for (int j = 1; j < 6; ++j) {
                acc += static_cast<double>(w[j]) * static_cast<double>(r[j][e]);
            }
            d[e] = StoreFiltered<std::uint8_t>(acc);
        }
    }

private:
    AlignedBuffer<float> m_weights;
    AlignedBuffer<std::int32_t> m_offsets;
    int m_runBegin = 0;
    int m_runEnd = 0;
};

// ---------------------------------------------------------------------------
// Row-loop entries: the vector contexts for stride 3 with 3 channels, the
// reference routines for every other layout.

RowLoopFn Reference(KernelRow row) {
    return ReferenceKernels().rowLoops[row][kData8u];
}

bool NearestMulti(const RowLoopArgs& a) {
    return a.pixelStride == 3 ? NearestLoop<Avx2Nearest3>(a) : Reference(kRowNearest3)(a);
}
bool LinearMulti(const RowLoopArgs& a) {
    if (a.channelCount != 3 || a.pixelStride != 3) {
        return Reference(kRowLinearMulti)(a);
    }
    return IdentityColumns(a) ? LinearRowsOnly(a) : LinearLoop<Avx2Linear3>(a);
}
bool CubicMulti(const RowLoopArgs& a) {
    return a.channelCount == 3 && a.pixelStride == 3 ? CubicLoop<Avx2Cubic3>(a)
                                                     : Reference(kRowCubicMulti)(a);
}
bool LanczosMulti(const RowLoopArgs& a) {
    return a.channelCount == 3 && a.pixelStride == 3 ? LanczosLoop<Avx2Lanczos3>(a)
                                                     : Reference(kRowLanczosMulti)(a);
}

// ---------------------------------------------------------------------------
// Supersampling, both ratios whole, stride 3: the rows of one destination row
// are summed into 16-bit slots, each slot then becomes the sum of ix slots
// three elements apart (in place, ascending), and the output step
// trunc(sum * af + 0.5) is looked up in a table made by the scalar routine for
// every possible sum. When a 16-bit multiply-high form (s M + 2^15) >> 16
// gives that table's value for every possible sum (checked per call), the
// needed sums are packed together and converted sixteen at a time; otherwise
// they are looked up one by one. Taken only while every sum fits 16 bits and
// every destination pixel lies inside the ROI; the integer sums are the
// reference's exactly.

// (s M + 2^15) >> 16 for sixteen 16-bit sums, and the results as bytes.
inline __m256i MultiplyHighRounded(__m256i v, __m256i m) {
    const __m256i rounded = _mm256_srli_epi16(_mm256_mullo_epi16(v, m), 15);
    return _mm256_add_epi16(_mm256_mulhi_epu16(v, m), rounded);
}

// Two source pixels across (the most common whole ratio): the horizontal
// pairs are summed straight from the source bytes, 24 bytes (four
// destination pixels) at a time: a shuffle puts the two bytes of each pair
// side by side and a multiply-add with ones adds them; the rows are added
// in 16 bits and converted with the multiply-high form. The last pixels of
// a row, whose loads would reach past the used width, take the table.
void SuperRowPairs3(const SuperRowArgs& a, int iy, const std::uint8_t* lut, __m256i m) {
    const __m256i pairs = _mm256_setr_epi8(0, 3, 1, 4, 2, 5, 6, 9, 7, 10, 8, 11, -1, -1, -1, -1, 0,
                                           3, 1, 4, 2, 5, 6, 9, 7, 10, 8, 11, -1, -1, -1, -1);
    const __m256i ones = _mm256_set1_epi8(1);
    const int n = a.dstW * 3;
    const int readable = a.usedW * 3;
    const char* row = static_cast<const char*>(a.src);
    auto* d = static_cast<std::uint8_t*>(a.dst);
    for (int i = 0; i < a.dstH; ++i, d += a.dstStep, row += iy * a.srcStep) {
        int o = 0;
        // Output elements o .. o + 11 from source bytes 2 o .. 2 o + 23; the
        // loads read up to 2 o + 27 and the stores write up to o + 13.
        for (; o + 14 <= n && 2 * o + 28 <= readable; o += 12) {
            __m256i sum = _mm256_setzero_si256();
            const char* p = row + 2 * o;
            for (int r = 0; r < iy; ++r, p += a.srcStep) {
                const __m256i v =
                    _mm256_setr_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)));
                sum = _mm256_add_epi16(sum,
                                       _mm256_maddubs_epi16(_mm256_shuffle_epi8(v, pairs), ones));
            }
            const __m256i bytes = _mm256_packus_epi16(MultiplyHighRounded(sum, m), sum);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + o), _mm256_castsi256_si128(bytes));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + o + 6),
                             _mm256_extracti128_si256(bytes, 1));
        }
        for (; o < n; ++o) {
            const int first = 2 * (o - o % 3) + o % 3;  // 6 j + c
            int sum = 0;
            const char* p = row;
            for (int r = 0; r < iy; ++r, p += a.srcStep) {
                const auto* b = reinterpret_cast<const std::uint8_t*>(p);
                sum += b[first] + b[first + 3];
            }
            d[o] = lut[sum];
        }
    }
}

ResizeStatus SuperRowWhole3(const SuperRowArgs& a) {
    const int ix = static_cast<int>(WholeColumns(a));
    const int iy = static_cast<int>(WholeRows(a));
    const int accumulated = a.dstW * ix * 3;
    const int largest = ix * iy * 255;
    const int n = a.dstW * 3;
    AlignedBuffer<std::uint16_t> sums(accumulated + 16);
    AlignedBuffer<std::uint16_t> packed(n + 16);
    AlignedBuffer<std::uint8_t> output(largest + 1);
    if (!sums || !packed || !output) {
        return kResizeMemAllocErr;
    }
    std::uint16_t* acc = sums.get();
    std::uint8_t* lut = output.get();
    for (int v = 0; v <= largest; ++v) {
        lut[v] = SuperOutput<std::uint8_t>(v, a.af);
    }
    const long multiplier = std::lround(a.af * 65536.0);
    bool multiplyHigh = multiplier > 0 && multiplier < 65536;
    for (int v = 0; v <= largest && multiplyHigh; ++v) {
        multiplyHigh = ((v * multiplier + 32768) >> 16) == lut[v];
    }
    const __m256i m = _mm256_set1_epi16(static_cast<short>(multiplier));
    if (ix == 2 && multiplyHigh) {
        SuperRowPairs3(a, iy, lut, m);
        return kResizeOk;
    }
    // Slots read by the output step: 3 ix j + c.
    const int needed = 3 * ix * (a.dstW - 1) + 3;

    const char* row = static_cast<const char*>(a.src);
    auto* d = static_cast<std::uint8_t*>(a.dst);
    for (int i = 0; i < a.dstH; ++i, d += a.dstStep) {
        // Vertical sums.
        for (int r = 0; r < iy; ++r, row += a.srcStep) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(row);
            int e = 0;
            if (r == 0) {
                for (; e + 16 <= accumulated; e += 16) {
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + e));
                    _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + e),
                                        _mm256_cvtepu8_epi16(v));
                }
                for (; e < accumulated; ++e) {
                    acc[e] = p[e];
                }
            } else {
                for (; e + 16 <= accumulated; e += 16) {
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + e));
                    auto* o = reinterpret_cast<__m256i*>(acc + e);
                    _mm256_storeu_si256(
                        o, _mm256_add_epi16(_mm256_loadu_si256(o), _mm256_cvtepu8_epi16(v)));
                }
                for (; e < accumulated; ++e) {
                    acc[e] = static_cast<std::uint16_t>(acc[e] + p[e]);
                }
            }
        }
        // Horizontal sums, in place: slot e gets e, e + 3, ... (ix terms);
        // every slot read lies at or after the one written.
        if (ix > 1) {
            int e = 0;
            for (; e + 16 <= needed; e += 16) {
                __m256i sum = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + e));
                for (int t = 1; t < ix; ++t) {
                    sum = _mm256_add_epi16(
                        sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + e + 3 * t)));
                }
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + e), sum);
            }
            for (; e < needed; ++e) {
                std::uint16_t sum = acc[e];
                for (int t = 1; t < ix; ++t) {
                    sum = static_cast<std::uint16_t>(sum + acc[e + 3 * t]);
                }
                acc[e] = sum;
            }
        }
        // Output.
        const std::uint16_t* slot = acc;
        if (!multiplyHigh) {
            for (int j = 0; j < a.dstW; ++j, slot += 3 * ix) {
                d[3 * j] = lut[slot[0]];
                d[3 * j + 1] = lut[slot[1]];
                d[3 * j + 2] = lut[slot[2]];
            }
            continue;
        }
        // Pack the three sums of each destination pixel (8-byte copies; the
        // fourth value is overwritten by the next pixel or lies in the padding).
        std::uint16_t* q = packed.get();
        for (int j = 0; j < a.dstW; ++j, slot += 3 * ix) {
            std::memcpy(q + 3 * j, slot, 4 * sizeof(std::uint16_t));
        }
        int e = 0;
        for (; e + 16 <= n; e += 16) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + e));
            const __m256i out = MultiplyHighRounded(v, m);
            const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(out, out), 0x08);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + e), _mm256_castsi256_si128(bytes));
        }
        for (; e < n; ++e) {
            d[e] = lut[q[e]];
        }
    }
    return kResizeOk;
}

ResizeStatus SuperRow3(const SuperRowArgs& a) {
    const std::int64_t ix = WholeColumns(a);
    const std::int64_t iy = WholeRows(a);
    const bool fits = a.ratioCase == 0 && a.pixelStride == 3 && ix >= 1 && iy >= 1 &&
                      ix * iy * 255 <= 65535 && a.dstW * ix <= a.usedW && a.dstH * iy <= a.roiH;
    return fits ? SuperRowWhole3(a) : SuperRow_8u_C3(a);
}

}  // namespace
}  // namespace resample

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// ---------------------------------------------------------------------------
// AVX-512: eight doubles per vector for the vertical kernels of cubic and
// Lanczos, the same operations in the same order.

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512vl,avx512bw,avx512dq"))), \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512vl,avx512bw,avx512dq")
#endif

namespace resample {
namespace {

// The full-mask forms of the intrinsics are used: they compute the same
// values, and the unmasked ones trip a false uninitialised-value warning in
// this compiler's headers.
constexpr __mmask8 kAll8 = 0xFF;

// ClampForTrunc(v, 255) and truncation for eight doubles.
inline __m256i TruncU8x8(__m512d v) {
    v = _mm512_maskz_max_pd(kAll8, v, _mm512_setzero_pd());
    v = _mm512_maskz_min_pd(kAll8, v, _mm512_set1_pd(255.0));
    return _mm512_maskz_cvttpd_epi32(kAll8, v);
}

// Sixteen values 0 .. 255 in two vectors to sixteen bytes.
inline void StoreBytes16x(std::uint8_t* d, __m256i lo, __m256i hi) {
    const __m128i bytes = _mm_unpacklo_epi64(_mm256_maskz_cvtepi32_epi8(kAll8, lo),
                                             _mm256_maskz_cvtepi32_epi8(kAll8, hi));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), bytes);
}

inline __m512d LoadFloats8(const float* p) {
    return _mm512_maskz_cvtps_pd(kAll8, _mm256_loadu_ps(p));
}

class Avx512Cubic3 : public Avx2Cubic3 {
public:
    void Vertical(std::uint8_t* d, float t, float* const* r) const {
        const CubicCoefficients q = CubicCoefficientsFor(t);
        const double dd = static_cast<float>(q.d);
        const int n = m_a->dstW * 3;
        const __m512d b = _mm512_set1_pd(q.b);
        const __m512d c = _mm512_set1_pd(q.c);
        const __m512d dv = _mm512_set1_pd(dd);
        const __m512d two = _mm512_set1_pd(2.0);
        const __m512d bias = _mm512_set1_pd(kBias);
        const auto eight = [&](int i) {
            const __m512d q0 = LoadFloats8(r[0] + i);
            const __m512d q1 = LoadFloats8(r[1] + i);
            const __m512d q2 = LoadFloats8(r[2] + i);
            const __m512d q3 = LoadFloats8(r[3] + i);
            const __m512d d1 = _mm512_sub_pd(q1, q0);
            const __m512d d2 = _mm512_sub_pd(_mm512_sub_pd(q2, q1), d1);
            const __m512d d3 =
                _mm512_sub_pd(_mm512_add_pd(_mm512_sub_pd(q1, _mm512_mul_pd(two, q2)), q3), d2);
            __m512d v = _mm512_add_pd(q0, _mm512_mul_pd(d1, b));
            v = _mm512_add_pd(v, _mm512_mul_pd(d2, c));
            v = _mm512_add_pd(v, _mm512_mul_pd(d3, dv));
            return TruncU8x8(_mm512_add_pd(v, bias));
        };
        int e = 0;
        for (; e + 16 <= n; e += 16) {
            StoreBytes16x(d + e, eight(e), eight(e + 8));
        }
        for (; e < n; ++e) {
            d[e] = StoreFiltered<std::uint8_t>(
                CubicValue(r[0][e], r[1][e], r[2][e], r[3][e], q.b, q.c, dd));
        }
    }
};

class Avx512Lanczos3 : public Avx2Lanczos3 {
public:
    void Vertical(std::uint8_t* d, const float* w, float* const* r) const {
        const int n = m_a->dstW * 3;
        __m512d wv[6];
        for (int j = 0; j < 6; ++j) {
            wv[j] = _mm512_set1_pd(static_cast<double>(w[j]));
        }
        const __m512d bias = _mm512_set1_pd(kBias);
        const auto eight = [&](int i) {
            __m512d acc = _mm512_mul_pd(wv[0], LoadFloats8(r[0] + i));
            for (int j = 1; j < 6; ++j) {
                acc = _mm512_add_pd(acc, _mm512_mul_pd(wv[j], LoadFloats8(r[j] + i)));
            }
            return TruncU8x8(_mm512_add_pd(acc, bias));
        };
        int e = 0;
        for (; e + 16 <= n; e += 16) {
            StoreBytes16x(d + e, eight(e), eight(e + 8));
        }
        for (; e < n; ++e) {
            double acc = static_cast<double>(w[0]) * static_cast<double>(r[0][e]);
            for (int j = 1; j < 6; ++j) {
                acc += static_cast<double>(w[j]) * static_cast<double>(r[j][e]);
            }
            d[e] = StoreFiltered<std::uint8_t>(acc);
        }
    }
};

bool CubicMulti512(const RowLoopArgs& a) {
    return a.channelCount == 3 && a.pixelStride == 3 ? CubicLoop<Avx512Cubic3>(a)
                                                     : Reference(kRowCubicMulti)(a);
}
bool LanczosMulti512(const RowLoopArgs& a) {
    return a.channelCount == 3 && a.pixelStride == 3 ? LanczosLoop<Avx512Lanczos3>(a)
                                                     : Reference(kRowLanczosMulti)(a);
}

}  // namespace
}  // namespace resample

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace resample {

const ResizeKernels* Avx2Kernels() {
    static const ResizeKernels* const kernels = []() -> const ResizeKernels* {
        if (!__builtin_cpu_supports("avx2")) {
            return nullptr;
        }
        static ResizeKernels k = ReferenceKernels();
        k.name = "avx2";
        k.rowLoops[kRowNearest3][kData8u] = NearestMulti;
        k.rowLoops[kRowLinearMulti][kData8u] = LinearMulti;
        k.rowLoops[kRowCubicMulti][kData8u] = CubicMulti;
        k.rowLoops[kRowLanczosMulti][kData8u] = LanczosMulti;
        k.superRows[kData8u][kSuperC3] = SuperRow3;
        return &k;
    }();
    return kernels;
}

const ResizeKernels* Avx512Kernels() {
    static const ResizeKernels* const kernels = []() -> const ResizeKernels* {
        const ResizeKernels* avx2 = Avx2Kernels();
        if (avx2 == nullptr || !__builtin_cpu_supports("avx512f") ||
            !__builtin_cpu_supports("avx512vl") || !__builtin_cpu_supports("avx512bw") ||
            !__builtin_cpu_supports("avx512dq")) {
            return nullptr;
        }
        static ResizeKernels k = *avx2;
        k.name = "avx512";
        k.rowLoops[kRowCubicMulti][kData8u] = CubicMulti512;
        k.rowLoops[kRowLanczosMulti][kData8u] = LanczosMulti512;
        return &k;
    }();
    return kernels;
}

}  // namespace resample

#else

namespace resample {

const ResizeKernels* Avx2Kernels() {
    return nullptr;
}

const ResizeKernels* Avx512Kernels() {
    return nullptr;
}

}  // namespace resample

#endif
