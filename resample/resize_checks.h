#pragma once

// Argument checks and clipping shared by the general driver and the
// supersampling driver, so that both answer alike.

#include <algorithm>
#include <cstdint>

#include "resample/resize.h"

namespace resample {

// The checks in their order; the first that fails gives the result. With
// planes > 0 the image pointers are arrays of that many plane pointers, each
// of which must be set.
ResizeStatus CheckResizeArguments(const void* src, ResizeSize srcSize, int srcStep, ResizeRect roi,
                                  const void* dst, int dstStep, ResizeSize dstSize, double xFactor,
                                  double yFactor, int planes);

// The ROI cut to the image (its origin is known to lie inside).
struct ClippedRoi {
    int width;
    int height;
};

inline ClippedRoi ClipRoi(ResizeSize srcSize, ResizeRect roi) {
    const std::int64_t w = std::min<std::int64_t>(roi.width, std::int64_t{srcSize.width} - roi.x);
    const std::int64_t h = std::min<std::int64_t>(roi.height, std::int64_t{srcSize.height} - roi.y);
    return {static_cast<int>(w), static_cast<int>(h)};
}

// The destination extent for a biased span v = length * factor + 1e-7: trunc(v)
// when that is below the requested extent (but at least 1), else the request.
// v is compared in double first, so a span from a huge factor is never
// converted to an integer.
inline int ClipDestination(double v, int requested) {
    return v < requested ? std::max(1, static_cast<int>(v)) : requested;
}

}  // namespace resample
