#include "liveview/window/picture_rows.h"

#include <algorithm>
#include <cstring>

#include "resample/resize.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KESTRUNE_PICTURE_ROWS_SSSE3 1
#endif

namespace picture_rows {

void BgrToRgb32Plain(const std::uint8_t* in, std::uint32_t* out, int width) {
    for (int x = 0; x < width; ++x, in += 3) {
        out[x] = 0xFF000000u | (std::uint32_t{in[2]} << 16) | (std::uint32_t{in[1]} << 8) | in[0];
    }
}

namespace {

// The resize routine's linear vertical kernel on bytes of columns that keep
// their size: ((u << 6) (16384 - w) + (l << 6) w + 0x80000) >> 20.
inline std::uint32_t BlendByte(std::uint32_t u, std::uint32_t l, std::uint32_t w) {
    return ((u << 6) * (16384 - w) + (l << 6) * w + 0x80000) >> 20;
}

}  // namespace

void BlendToRgb32Plain(const std::uint8_t* upper, const std::uint8_t* lower, std::uint16_t weight,
                       std::uint32_t* out, int width) {
    for (int x = 0; x < width; ++x, upper += 3, lower += 3) {
        out[x] = 0xFF000000u | BlendByte(upper[2], lower[2], weight) << 16 |
                 BlendByte(upper[1], lower[1], weight) << 8 | BlendByte(upper[0], lower[0], weight);
    }
}

void BlendRgb32Plain(const std::uint32_t* upper, const std::uint32_t* lower, std::uint16_t weight,
                     std::uint32_t* out, int width) {
    for (int x = 0; x < width; ++x) {
        std::uint32_t pixel = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            pixel |= BlendByte(upper[x] >> shift & 0xFF, lower[x] >> shift & 0xFF, weight) << shift;
        }
        out[x] = pixel;
    }
}

bool ScalePlan::Make(const std::vector<int>& columns, int inWidth) {
    m_columns.clear();
    m_windows32.clear();
    m_indices32.clear();
    for (const int column : columns) {
        if (column < 0 || column >= inWidth)
            return false;
    }
    m_columns = columns;
    const std::size_t groups32 = columns.size() / 8;
    m_windows32.assign(groups32, -1);
    m_indices32.assign(groups32 * 8, 0);
    for (std::size_t g = 0; g < groups32; ++g) {
        const auto group = columns.begin() + static_cast<std::ptrdiff_t>(8 * g);
        const int first = *std::min_element(group, group + 8);
        const int last = *std::max_element(group, group + 8);
        // The window starts at the group's first pixel, moved left at the
        // row's end so that it never reaches past it.
        const int window = std::min(first, inWidth - 8);
        if (window < 0 || last - window > 7)
            continue;
        m_windows32[g] = window;
        for (std::size_t j = 0; j < 8; ++j) m_indices32[8 * g + j] = columns[8 * g + j] - window;
    }
    return true;
}

void StreamRowPlain(const std::uint32_t* in, std::uint32_t* out, int count) {
    std::memcpy(out, in, static_cast<std::size_t>(std::max(count, 0)) * 4);
}

void ScaleRow32Plain(const ScalePlan& plan, const std::uint32_t* in, std::uint32_t* out) {
    const std::vector<int>& columns = plan.Columns();
    for (std::size_t x = 0; x < columns.size(); ++x) out[x] = in[columns[x]];
}

namespace {

#ifdef KESTRUNE_PICTURE_ROWS_SSSE3
// Sixteen pixels a round: three 16-byte loads hold 48 bytes. Each group of
// four pixels (12 bytes) is brought to the front of a register by a byte
// shift across the loads, then one shuffle spreads its 12 bytes over four
// words with a zero in each top byte, which the alpha mask then sets. The
// byte order of a word in memory is blue, green, red, alpha, which is
// 0xffRRGGBB read as a little-endian word.
__attribute__((target("ssse3"))) void BgrToRgb32Ssse3(const std::uint8_t* in, std::uint32_t* out,
                                                      int width) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int x = 0;
    for (; x + 16 <= width; x += 16, in += 48, out += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 32));
        const __m128i p0 = a;                          // bytes 0..11
        const __m128i p1 = _mm_alignr_epi8(b, a, 12);  // bytes 12..23
        const __m128i p2 = _mm_alignr_epi8(c, b, 8);   // bytes 24..35
        const __m128i p3 = _mm_srli_si128(c, 4);       // bytes 36..47
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_or_si128(_mm_shuffle_epi8(p0, spread), alpha));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4),
                         _mm_or_si128(_mm_shuffle_epi8(p1, spread), alpha));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8),
                         _mm_or_si128(_mm_shuffle_epi8(p2, spread), alpha));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12),
                         _mm_or_si128(_mm_shuffle_epi8(p3, spread), alpha));
    }
    BgrToRgb32Plain(in, out, width - x);
}

// Thirty-two pixels a round: 96 bytes, read by four 32-byte loads at bytes
// 0, 24, 48 and 64, all inside the round. Each load holds eight pixels (at
// its byte 0, or byte 8 for the last); a dword permute puts four pixels'
// 12 bytes at the front of each 128-bit lane and the lane shuffle spreads
// them as the SSSE3 kernel does. The rest of the row goes to that kernel.
__attribute__((target("avx2"))) inline void EightPixels(const std::uint8_t* in, __m256i order,
                                                        __m256i spread, __m256i alpha,
                                                        std::uint32_t* out) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    _mm256_storeu_si256(
        reinterpret_cast<__m256i*>(out),
        _mm256_or_si256(_mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v, order), spread), alpha));
}

__attribute__((target("avx2"))) void BgrToRgb32Avx2(const std::uint8_t* in, std::uint32_t* out,
                                                    int width) {
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                            1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i atStart = _mm256_setr_epi32(0, 1, 2, 2, 3, 4, 5, 5);
    const __m256i atByte8 = _mm256_setr_epi32(2, 3, 4, 4, 5, 6, 7, 7);
    int x = 0;
    for (; x + 32 <= width; x += 32, in += 96, out += 32) {
        EightPixels(in, atStart, spread, alpha, out);
        EightPixels(in + 24, atStart, spread, alpha, out + 8);
        EightPixels(in + 48, atStart, spread, alpha, out + 16);
        EightPixels(in + 64, atByte8, spread, alpha, out + 24);
    }
    BgrToRgb32Ssse3(in, out, width - x);
}

// The blend as u + ((l - u) w + 8192) >> 14, which equals the routine's
// form: (u << 6) (16384 - w) + (l << 6) w + 0x80000 is 64 (u 16384 + (l - u) w
// + 8192), and u 16384 drops out of the shift whole. The rounded multiply
// gives it at once: mulhrs(l - u, 2 w) = ((l - u) 2 w + 16384) >> 15, for
// weights below 16384 (2 w must fit 16 bits). The bytes of even and odd
// places are blended apart in 16-bit lanes (masked and shifted, no shuffles)
// and the results, each a byte, put back by a shift and an or.
__attribute__((target("avx2"))) inline __m256i Blend32(const std::uint8_t* upper,
                                                       const std::uint8_t* lower, __m256i w2) {
    const __m256i low = _mm256_set1_epi16(0x00FF);
    const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper));
    const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower));
    const __m256i uEven = _mm256_and_si256(u, low);
    const __m256i uOdd = _mm256_srli_epi16(u, 8);
    const __m256i dEven = _mm256_sub_epi16(_mm256_and_si256(l, low), uEven);
    const __m256i dOdd = _mm256_sub_epi16(_mm256_srli_epi16(l, 8), uOdd);
    const __m256i even = _mm256_add_epi16(uEven, _mm256_mulhrs_epi16(dEven, w2));
    const __m256i odd = _mm256_add_epi16(uOdd, _mm256_mulhrs_epi16(dOdd, w2));
    return _mm256_or_si256(even, _mm256_slli_epi16(odd, 8));
}

// Eight pixels (32 bytes) a round.
__attribute__((target("avx2"))) void BlendRgb32Avx2(const std::uint32_t* upper,
                                                    const std::uint32_t* lower,
                                                    std::uint16_t weight, std::uint32_t* out,
                                                    int width) {
    if (weight >= 16384) {
        std::memcpy(out, lower, static_cast<std::size_t>(std::max(width, 0)) * 4);
        return;
    }
    const __m256i w2 = _mm256_set1_epi16(static_cast<short>(2 * weight));
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            Blend32(reinterpret_cast<const std::uint8_t*>(upper + x),
                                    reinterpret_cast<const std::uint8_t*>(lower + x), w2));
    }
    BlendRgb32Plain(upper + x, lower + x, weight, out + x, width - x);
}

// Whole cache lines (64 bytes, two stores) around the caches; the part
// line at either end plainly, since a part line streamed costs the memory a
// read of the line after all.
__attribute__((target("avx2"))) void StreamRowAvx2(const std::uint32_t* in, std::uint32_t* out,
                                                   int count) {
    int x = 0;
    for (; x < count && (reinterpret_cast<std::uintptr_t>(out + x) & 63) != 0; ++x) out[x] = in[x];
    for (; x + 16 <= count; x += 16) {
        _mm256_stream_si256(reinterpret_cast<__m256i*>(out + x),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x)));
        _mm256_stream_si256(reinterpret_cast<__m256i*>(out + x + 8),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x + 8)));
    }
    for (; x < count; ++x) out[x] = in[x];
}

// Eight output pixels a round: their window of eight input pixels in one
// load, spread by one cross-lane permute.
__attribute__((target("avx2"))) void ScaleRow32Avx2(const ScalePlan& plan, const std::uint32_t* in,
                                                    std::uint32_t* out) {
    const std::int32_t* windows = plan.Windows32().data();
    const std::int32_t* indices = plan.Indices32().data();
    const std::vector<int>& columns = plan.Columns();
    const int groups = static_cast<int>(plan.Windows32().size());
    for (int g = 0; g < groups; ++g) {
        std::uint32_t* const to = out + 8 * g;
        if (windows[g] < 0) {
            for (int j = 0; j < 8; ++j) to[j] = in[columns[static_cast<std::size_t>(8 * g + j)]];
            continue;
        }
        const __m256i pixels =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + windows[g]));
        const __m256i order = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(indices + 8 * g));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to),
                            _mm256_permutevar8x32_epi32(pixels, order));
    }
    for (std::size_t x = static_cast<std::size_t>(8 * groups); x < columns.size(); ++x)
        out[x] = in[columns[x]];
}
#endif

std::vector<Kernels> KernelsOfThisProcessor() {
    std::vector<Kernels> kernels{
        {"plain", BgrToRgb32Plain, BlendRgb32Plain, ScaleRow32Plain, StreamRowPlain}};
#ifdef KESTRUNE_PICTURE_ROWS_SSSE3
    if (__builtin_cpu_supports("ssse3"))
        kernels.push_back(
            {"ssse3", BgrToRgb32Ssse3, BlendRgb32Plain, ScaleRow32Plain, StreamRowPlain});
    if (__builtin_cpu_supports("avx2"))
        kernels.push_back({"avx2", BgrToRgb32Avx2, BlendRgb32Avx2, ScaleRow32Avx2, StreamRowAvx2});
#endif
    return kernels;
}

const Kernels g_kernels = KernelsOfThisProcessor().back();

}  // namespace

void BgrToRgb32(const std::uint8_t* in, std::uint32_t* out, int width) {
    g_kernels.convert(in, out, width);
}

void BlendRgb32(const std::uint32_t* upper, const std::uint32_t* lower, std::uint16_t weight,
                std::uint32_t* out, int width) {
    g_kernels.blend32(upper, lower, weight, out, width);
}

void ScaleRow32(const ScalePlan& plan, const std::uint32_t* in, std::uint32_t* out) {
    g_kernels.scale32(plan, in, out);
}

void StreamRow(const std::uint32_t* in, std::uint32_t* out, int count) {
    g_kernels.stream(in, out, count);
}

void StreamFence() {
#ifdef KESTRUNE_PICTURE_ROWS_SSSE3
    _mm_sfence();
#endif
}

bool VectorKernelInUse() {
    return g_kernels.convert != BgrToRgb32Plain;
}

std::vector<Kernels> AvailableKernels() {
    return KernelsOfThisProcessor();
}

std::vector<int> NearestRowMap(int fromRows, int toRows, double factor) {
    std::vector<int> map(static_cast<std::size_t>(std::max(toRows, 0)), -1);
    if (fromRows <= 0 || toRows <= 0)
        return map;
    // Row numbers in blue (low byte) and green (high byte); red marks a
    // written pixel, so a row the routine leaves alone stays -1.
    std::vector<std::uint8_t> column(static_cast<std::size_t>(fromRows) * 3);
    for (int y = 0; y < fromRows; ++y) {
        column[static_cast<std::size_t>(y) * 3] = static_cast<std::uint8_t>(y & 0xFF);
        column[static_cast<std::size_t>(y) * 3 + 1] = static_cast<std::uint8_t>(y >> 8);
        column[static_cast<std::size_t>(y) * 3 + 2] = 1;
    }
    std::vector<std::uint8_t> scaled(static_cast<std::size_t>(toRows) * 3, 0);
    if (ResizeImage_8u_C3R(column.data(), {1, fromRows}, 3, {0, 0, 1, fromRows}, scaled.data(), 3,
                           {1, toRows}, 1.0, factor, kResizeNearest) < kResizeOk) {
        return map;
    }
    for (std::size_t y = 0; y < map.size(); ++y) {
        const std::uint8_t* p = &scaled[y * 3];
        const int row = p[0] | (p[1] << 8);
        if (p[2] == 1 && row < fromRows)
            map[y] = row;
    }
    return map;
}

}  // namespace picture_rows
