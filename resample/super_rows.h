#pragma once

// The scalar supersampling row routine, the reference for the vector one.
//
// Per destination row: clear the accumulator, add the source rows the row
// covers (vertical pass, each with its share), reduce the accumulator in place
// to one sum per destination column (horizontal pass), and write the means.
// Shares below 1e-7 are skipped. No read leaves the clipped ROI: columns at
// or beyond the used width and rows at or below the ROI's last row count as
// zero, which only matters where the destination size was raised to one
// pixel or the 1e-7 bias let the last pixel reach past the ROI.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "resample/resize_internal.h"

namespace resample {

// floor(v) limited to 0 .. hi, decided in double before the conversion.
inline std::int64_t FloorLimited(double v, std::int64_t hi) {
    if (!(v > 0.0)) {
        return 0;
    }
    if (v >= static_cast<double>(hi)) {
        return hi;
    }
    return static_cast<std::int64_t>(v);
}

template <class T>
inline constexpr double kSampleMax = std::is_same_v<T, std::uint8_t>    ? 255.0
                                     : std::is_same_v<T, std::uint16_t> ? 65535.0
                                                                        : 0.0;

// Whole source pixels per destination pixel, limited to what can be read.
inline std::int64_t WholeColumns(const SuperRowArgs& a) {
    return FloorLimited(a.xr, a.usedW);
}
inline std::int64_t WholeRows(const SuperRowArgs& a) {
    return FloorLimited(a.yr, a.roiH);
}

// Adds `rows` source rows element by element: integer adds for integer
// accumulators, single-precision adds for float ones. Channels 0 .. C-1 of
// pixels `stride` elements apart (C = 3 with the given stride; 1 and 4 with
// their own).
template <class T, int C, class Acc>
void SuperRowAccum(const T* row, std::ptrdiff_t srcStep, int width, int rows, Acc* acc,
                   int stride) {
    for (int r = 0; r < rows; ++r) {
        const T* p = reinterpret_cast<const T*>(reinterpret_cast<const char*>(row) + r * srcStep);
        for (int k = 0; k < width; ++k) {
            const std::ptrdiff_t e = static_cast<std::ptrdiff_t>(k) * stride;
            for (int c = 0; c < C; ++c) {
                acc[e + c] = static_cast<Acc>(acc[e + c] + p[e + c]);
            }
        }
    }
}

// acc = old + weight * value, in double, rounded to single when stored.
template <class T, int C>
void SuperRowAddWeighted(const T* p, int width, int stride, double weight, float* acc) {
    for (int k = 0; k < width; ++k) {
        const std::ptrdiff_t e = static_cast<std::ptrdiff_t>(k) * stride;
        for (int c = 0; c < C; ++c) {
            acc[e + c] = static_cast<float>(static_cast<double>(acc[e + c]) +
                                            weight * static_cast<double>(p[e + c]));
        }
    }
}

// The stored value of one destination element.
template <class T>
inline T SuperOutput(double slot, double af) {
    if constexpr (std::is_same_v<T, float>) {
        return static_cast<float>(slot * af);
    } else {
        // Rounded half up; saturated to the sample range.
        return static_cast<T>(static_cast<int>(ClampForTrunc(slot * af + 0.5, kSampleMax<T>)));
    }
}

template <class T, int C, class Acc>
ResizeStatus SuperRowImpl(const SuperRowArgs& a) {
    constexpr bool kIntegerSums = std::is_integral_v<Acc>;
    const int stride = C == 3 ? a.pixelStride : C;
    const std::ptrdiff_t accElements = static_cast<std::ptrdiff_t>(a.usedW) * stride;
    AlignedBuffer<Acc> buffer(accElements);
    if (!buffer) {
        return kResizeMemAllocErr;
    }
    Acc* acc = buffer.get();

    const bool wholeX = a.ratioCase == 0 || a.ratioCase == 1;
    const bool wholeY = a.ratioCase == 0 || a.ratioCase == 2;
    const std::int64_t ix = WholeColumns(a);
    const std::int64_t iy = WholeRows(a);
    const double fx = a.xr - std::floor(a.xr);
    const double fy = a.yr - std::floor(a.yr);

    const auto rowAt = [&](std::int64_t r) {
        return reinterpret_cast<const T*>(static_cast<const char*>(a.src) + r * a.srcStep);
    };
    const auto addWeighted = [&](std::int64_t r, double weight) {
        if (r >= 0 && r < a.roiH) {
            if constexpr (!kIntegerSums) {
                SuperRowAddWeighted<T, C>(rowAt(r), a.usedW, stride, weight, acc);
            }
        }
    };
    const auto slotAt = [&](std::int64_t column, int c) -> double {
        return static_cast<double>(acc[column * stride + c]);
    };

    std::int64_t p = 0;  // next source row
    double carry = 0.0;  // share of row p already taken by the previous destination row
    char* dstRow = static_cast<char*>(a.dst);
    for (int i = 0; i < a.dstH; ++i, dstRow += a.dstStep) {
        std::memset(static_cast<void*>(acc), 0,
                    static_cast<std::size_t>(accElements) * sizeof(Acc));

        // Vertical pass.
        if (wholeY) {
            if (a.ratioCase == 0) {
                const std::int64_t rows =
                    std::max<std::int64_t>(0, std::min<std::int64_t>(iy, a.roiH - p));
                if (rows > 0) {
                    SuperRowAccum<T, C, Acc>(rowAt(p), a.srcStep, a.usedW, static_cast<int>(rows),
                                             acc, stride);
                }
            } else {
                for (std::int64_t t = 0; t < iy; ++t) {
                    addWeighted(p + t, 1.0);
                }
            }
            p += iy;
        } else if (i == 0) {
            for (std::int64_t t = 0; t < iy; ++t) {
                addWeighted(p + t, 1.0);
            }
            p += iy;
            addWeighted(p, fy);
            carry = fy;
        } else {
            const double w = 1.0 - carry;
            const double r = a.yr - w;
            const std::int64_t n = FloorLimited(r + kBias, std::int64_t{a.roiH} + 1);
            carry = r - static_cast<double>(n);
            if (w > kBias) {
                addWeighted(p, w);
            }
            // A leading share of 1e-7 or less is passed over like a taken
            // one, so no row counts twice.
            p += 1;
            for (std::int64_t t = 0; t < n; ++t) {
                addWeighted(p + t, 1.0);
            }
            p += n;
            if (carry > kBias) {
                addWeighted(p, carry);
            }
        }

        // Horizontal pass, in place: slot j only reads columns at or after j.
        if (wholeX) {
            for (int j = 0; j < a.dstW; ++j) {
                const std::int64_t first = std::int64_t{j} * ix;
                const std::int64_t end = std::min<std::int64_t>(first + ix, a.usedW);
                for (int c = 0; c < C; ++c) {
                    if constexpr (kIntegerSums) {
                        Acc sum = 0;
                        for (std::int64_t col = first; col < end; ++col) {
                            sum = static_cast<Acc>(sum + acc[col * stride + c]);
                        }
                        acc[std::int64_t{j} * stride + c] = sum;
                    } else {
                        double sum = 0.0;
                        for (std::int64_t col = first; col < end; ++col) {
                            sum += slotAt(col, c);
                        }
                        acc[std::int64_t{j} * stride + c] = static_cast<Acc>(sum);
                    }
                }
            }
        } else if constexpr (!kIntegerSums) {
            const std::int64_t used = a.usedW;
            // Slot 0: the whole columns 0 .. ix-1 and the share fx of column ix.
            for (int c = 0; c < C; ++c) {
                double sum = 0.0;
                for (std::int64_t col = 0; col < std::min(ix, used); ++col) {
                    sum += slotAt(col, c);
                }
                if (ix < used) {
                    sum += fx * slotAt(ix, c);
                }
                acc[c] = static_cast<float>(sum);
            }
            std::int64_t f = ix;
            double cx = fx;
            for (int j = 1; j < a.dstW; ++j) {
                const double w = 1.0 - cx;
                const double r = a.xr - w;
                const std::int64_t n = FloorLimited(r + kBias, used + 1);
                cx = r - static_cast<double>(n);
                const std::int64_t next = f + n + 1;
                for (int c = 0; c < C; ++c) {
                    double sum = w > kBias && f < used ? w * slotAt(f, c) : 0.0;
                    for (std::int64_t col = f + 1; col <= f + n && col < used; ++col) {
                        sum += slotAt(col, c);
                    }
                    if (cx > kBias && next < used) {
                        sum += cx * slotAt(next, c);
                    }
                    acc[std::int64_t{j} * stride + c] = static_cast<float>(sum);
                }
                f = next;
            }
        }

        // Output.
        T* d = reinterpret_cast<T*>(dstRow);
        for (int j = 0; j < a.dstW; ++j) {
            for (int c = 0; c < C; ++c) {
                d[std::int64_t{j} * stride + c] = SuperOutput<T>(slotAt(j, c), a.af);
            }
        }
    }
    return kResizeOk;
}

// Sums of the whole-ratio case are exact in unsigned 32 bits while
// ix * iy * the largest sample stays below 2^32; beyond that they are widened
// to 64 bits rather than left to wrap.
template <class T>
inline bool NeedsWideSums(const SuperRowArgs& a) {
    const double largest =
        static_cast<double>(WholeColumns(a)) * static_cast<double>(WholeRows(a)) * kSampleMax<T>;
    return largest > static_cast<double>(std::numeric_limits<std::uint32_t>::max());
}

template <class T, int C>
ResizeStatus SuperRowScalar(const SuperRowArgs& a) {
    if constexpr (std::is_same_v<T, float>) {
        return SuperRowImpl<T, C, float>(a);
    } else {
        if (a.ratioCase != 0) {
            return SuperRowImpl<T, C, float>(a);
        }
        if (NeedsWideSums<T>(a)) {
            return SuperRowImpl<T, C, std::uint64_t>(a);
        }
        return SuperRowImpl<T, C, std::uint32_t>(a);
    }
}

}  // namespace resample
