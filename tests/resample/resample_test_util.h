#pragma once

// Small fixtures for the resampling tests: 8-bit pictures with a row step,
// blocks that end (or start) at an inaccessible page, and a check that a
// resize wrote exactly its destination rectangle.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "resample/resize.h"

namespace resample_test {

// An 8-bit picture of `pixelBytes` elements per pixel; rows `step` bytes apart.
struct Picture {
    int width = 0;
    int height = 0;
    int pixelBytes = 3;
    int step = 0;
    std::vector<std::uint8_t> bytes;

    Picture() = default;
    Picture(int w, int h, int pixel = 3, int extraStep = 0, std::uint8_t fill = 0)
        : width(w),
          height(h),
          pixelBytes(pixel),
          step(w * pixel + extraStep),
          bytes(static_cast<std::size_t>(step) * h, fill) {}

    std::uint8_t* data() { return bytes.data(); }
    const std::uint8_t* data() const { return bytes.data(); }
    std::uint8_t* px(int x, int y) {
        return data() + static_cast<std::ptrdiff_t>(y) * step + x * pixelBytes;
    }
    const std::uint8_t* px(int x, int y) const {
        return data() + static_cast<std::ptrdiff_t>(y) * step + x * pixelBytes;
    }
    ResizeSize size() const { return {width, height}; }
    ResizeRect all() const { return {0, 0, width, height}; }
};

inline void FillRandom(std::uint8_t* p, std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < n; ++i) {
        p[i] = static_cast<std::uint8_t>(rng() >> 24);
    }
}

inline Picture RandomPicture(int w, int h, std::uint32_t seed, int pixel = 3, int extraStep = 0) {
    Picture p(w, h, pixel, extraStep);
    FillRandom(p.data(), p.bytes.size(), seed);
    return p;
}

// The entry on whole pictures.
inline ResizeStatus Resize(const Picture& src, ResizeRect roi, Picture& dst, double xf, double yf,
                           int interpolation) {
    return ResizeImage_8u_C3R(src.data(), src.size(), src.step, roi, dst.data(), dst.step,
                              dst.size(), xf, yf, interpolation);
}

// Checks that every byte outside the first `w` x `h` pixels (and outside the
// first `written` bytes of each of those pixels) equals `before`.
inline void ExpectOnlyRect(const Picture& after, const Picture& before, int w, int h,
                           int written = 3) {
    int changedOutside = 0;
    for (int y = 0; y < after.height; ++y) {
        for (int i = 0; i < after.step; ++i) {
            const bool inside = y < h && i < w * after.pixelBytes && i % after.pixelBytes < written;
            const std::size_t at = static_cast<std::size_t>(y) * after.step + i;
            if (!inside && after.bytes[at] != before.bytes[at]) {
                ++changedOutside;
            }
        }
    }
    EXPECT_EQ(changedOutside, 0) << "bytes written outside the " << w << " x " << h << " rectangle";
}

// Runs `call` on two copies of `dst` filled with different bytes and checks
// that exactly the first `w` x `h` pixels (their first `written` bytes) were
// written: the same values in both runs there, the fill everywhere else.
template <class Call>
void ExpectWritesExactly(const Picture& dst, int w, int h, Call call, int written = 3) {
    Picture a = dst, b = dst;
    std::fill(a.bytes.begin(), a.bytes.end(), std::uint8_t{0x42});
    std::fill(b.bytes.begin(), b.bytes.end(), std::uint8_t{0xBD});
    const Picture fillA = a, fillB = b;
    call(a);
    call(b);
    ExpectOnlyRect(a, fillA, w, h, written);
    ExpectOnlyRect(b, fillB, w, h, written);
    int differing = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            differing += std::memcmp(a.px(x, y), b.px(x, y), written) != 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0) << "pixels inside the " << w << " x " << h
                            << " rectangle left unwritten";
}

// The size the entry writes for a rectangle with factors: trunc(len * f + 1e-7),
// at least 1, at most the request.
inline int ExpectedExtent(int length, double factor, int requested) {
    const double v = length * factor + 1e-7;
    return v < requested ? std::max(1, static_cast<int>(v)) : requested;
}

// `size` bytes placed against an inaccessible page: ending right before it
// (atEnd) or starting right after it.
class GuardedBlock {
public:
    GuardedBlock(std::size_t size, bool atEnd) : m_size(size) {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t body = (size + page - 1) / page * page;
        m_mapped = body + 2 * page;
        void* m =
            mmap(nullptr, m_mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) {
            m = nullptr;
            return;
        }
        m_base = static_cast<std::uint8_t*>(m);
        mprotect(m_base, page, PROT_NONE);
        mprotect(m_base + page + body, page, PROT_NONE);
        m_data = atEnd ? m_base + page + body - size : m_base + page;
    }
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;
    ~GuardedBlock() {
        if (m_base != nullptr) {
            munmap(m_base, m_mapped);
        }
    }
    std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    std::size_t m_size = 0;
    std::size_t m_mapped = 0;
    std::uint8_t* m_base = nullptr;
    std::uint8_t* m_data = nullptr;
};

}  // namespace resample_test
