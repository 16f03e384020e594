#include "liveview/window/picture_rows.h"

#include <algorithm>

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
#endif

using RowKernel = void (*)(const std::uint8_t*, std::uint32_t*, int);

RowKernel ChooseKernel() {
#ifdef KESTRUNE_PICTURE_ROWS_SSSE3
    if (__builtin_cpu_supports("ssse3"))
        return BgrToRgb32Ssse3;
#endif
    return BgrToRgb32Plain;
}

const RowKernel g_kernel = ChooseKernel();

}  // namespace

void BgrToRgb32(const std::uint8_t* in, std::uint32_t* out, int width) {
    g_kernel(in, out, width);
}

bool VectorKernelInUse() {
    return g_kernel != BgrToRgb32Plain;
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
