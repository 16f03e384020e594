#include "resample/super_sampling.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "resample/resize_checks.h"
#include "resample/super_rows.h"

namespace resample {

// ---------------------------------------------------------------------------
// Row accumulators (whole ratios in both directions).

void SuperRowAccum_8u_C1(const std::uint8_t* row, std::ptrdiff_t srcStep, int width, int rows,
                         std::uint32_t* acc) {
    SuperRowAccum<std::uint8_t, 1>(row, srcStep, width, rows, acc, 1);
}
void SuperRowAccum_16u_C1(const std::uint16_t* row, std::ptrdiff_t srcStep, int width, int rows,
                          std::uint32_t* acc) {
    SuperRowAccum<std::uint16_t, 1>(row, srcStep, width, rows, acc, 1);
}
void SuperRowAccum_32f_C1(const float* row, std::ptrdiff_t srcStep, int width, int rows,
                          float* acc) {
    SuperRowAccum<float, 1>(row, srcStep, width, rows, acc, 1);
}
void SuperRowAccum_8u_C3(const std::uint8_t* row, std::ptrdiff_t srcStep, int width, int rows,
                         std::uint32_t* acc, int pixelStride) {
    SuperRowAccum<std::uint8_t, 3>(row, srcStep, width, rows, acc, pixelStride);
}
void SuperRowAccum_16u_C3(const std::uint16_t* row, std::ptrdiff_t srcStep, int width, int rows,
                          std::uint32_t* acc, int pixelStride) {
    SuperRowAccum<std::uint16_t, 3>(row, srcStep, width, rows, acc, pixelStride);
}
void SuperRowAccum_32f_C3(const float* row, std::ptrdiff_t srcStep, int width, int rows, float* acc,
                          int pixelStride) {
    SuperRowAccum<float, 3>(row, srcStep, width, rows, acc, pixelStride);
}
void SuperRowAccum_8u_C4(const std::uint8_t* row, std::ptrdiff_t srcStep, int width, int rows,
                         std::uint32_t* acc) {
    SuperRowAccum<std::uint8_t, 4>(row, srcStep, width, rows, acc, 4);
}
void SuperRowAccum_16u_C4(const std::uint16_t* row, std::ptrdiff_t srcStep, int width, int rows,
                          std::uint32_t* acc) {
    SuperRowAccum<std::uint16_t, 4>(row, srcStep, width, rows, acc, 4);
}
void SuperRowAccum_32f_C4(const float* row, std::ptrdiff_t srcStep, int width, int rows,
                          float* acc) {
    SuperRowAccum<float, 4>(row, srcStep, width, rows, acc, 4);
}

// ---------------------------------------------------------------------------
// Row routines.

ResizeStatus SuperRow_8u_C1(const SuperRowArgs& a) {
    return SuperRowScalar<std::uint8_t, 1>(a);
}
ResizeStatus SuperRow_16u_C1(const SuperRowArgs& a) {
    return SuperRowScalar<std::uint16_t, 1>(a);
}
ResizeStatus SuperRow_32f_C1(const SuperRowArgs& a) {
    return SuperRowScalar<float, 1>(a);
}
ResizeStatus SuperRow_8u_C3(const SuperRowArgs& a) {
    return SuperRowScalar<std::uint8_t, 3>(a);
}
ResizeStatus SuperRow_16u_C3(const SuperRowArgs& a) {
    return SuperRowScalar<std::uint16_t, 3>(a);
}
ResizeStatus SuperRow_32f_C3(const SuperRowArgs& a) {
    return SuperRowScalar<float, 3>(a);
}
ResizeStatus SuperRow_8u_C4(const SuperRowArgs& a) {
    return SuperRowScalar<std::uint8_t, 4>(a);
}
ResizeStatus SuperRow_16u_C4(const SuperRowArgs& a) {
    return SuperRowScalar<std::uint16_t, 4>(a);
}
ResizeStatus SuperRow_32f_C4(const SuperRowArgs& a) {
    return SuperRowScalar<float, 4>(a);
}

// ---------------------------------------------------------------------------
// Driver.

namespace {

int ElementSize(int dataType) {
    return dataType == kData8u ? 1 : dataType == kData16u ? 2 : 4;
}

SuperLayout LayoutOf(int layout) {
    return layout == 1 ? kSuperC1 : layout == 4 ? kSuperC4 : kSuperC3;
}

}  // namespace

ResizeStatus ResizeSuper(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                         void* dst, int dstStep, ResizeSize dstRoiSize, double xScale,
                         double yScale, int pixelStride, int layout, int dataType, int planar,
                         int convention, const ResizeKernels& kernels) {
    const SuperLayout kind = LayoutOf(layout);
    const int planes = planar != 0 ? (kind == kSuperC3 ? 3 : 4) : 0;
    const ResizeStatus status = CheckResizeArguments(src, srcSize, srcStep, srcRoi, dst, dstStep,
                                                     dstRoiSize, xScale, yScale, planes);
    if (status != kResizeOk) {
        return status;
    }
    if (dataType < kData8u || dataType > kData32f || (convention != 0 && convention != 1) ||
        (planar == 0 && kind == kSuperC3 && pixelStride < 3)) {
        return kResizeDataTypeErr;
    }
    // Ratios: source pixels per destination pixel. Area averaging only shrinks.
    const double xr = convention == 1 ? 1.0 / xScale : xScale;
    const double yr = convention == 1 ? 1.0 / yScale : yScale;
    if (!(xr >= 1.0) || !(yr >= 1.0)) {
        return kResizeInterpolationErr;
    }

    const ClippedRoi roi = ClipRoi(srcSize, srcRoi);
    int dstW = dstRoiSize.width;
    int dstH = dstRoiSize.height;
    if (convention == 1) {
        dstW = ClipDestination(roi.width * xScale + kBias, dstW);
        dstH = ClipDestination(roi.height * yScale + kBias, dstH);
    } else {
        // When the last requested pixel lies beyond the ROI the size follows
        // from the ROI: trunc(length / ratio + 1e-7) + 1.
        const auto clip = [](int length, double ratio, int requested) {
            if ((length - 1) / ratio + kBias < requested - 1) {
                const double n = length / ratio + kBias;
                return n < requested ? static_cast<int>(n) + 1 : requested;
            }
            return requested;
        };
        dstW = clip(roi.width, xr, dstW);
        dstH = clip(roi.height, yr, dstH);
    }
    const double af = convention == 1 ? xScale * yScale : 1.0 / (xr * yr);

    SuperRowArgs args;
    const double span = (dstW + 1.0) * xr;
    args.usedW = span >= roi.width - 1 ? roi.width : static_cast<int>(span) + 1;
    args.roiH = roi.height;
    args.dstW = dstW;
    args.dstH = dstH;
    args.xr = xr;
    args.yr = yr;
    args.af = af;
    const bool wholeX = xr - std::trunc(xr) == 0.0;
    const bool wholeY = yr - std::trunc(yr) == 0.0;
    args.ratioCase = wholeX ? (wholeY ? 0 : 1) : (wholeY ? 2 : 3);
    args.srcStep = srcStep;
    args.dstStep = dstStep;

    const std::ptrdiff_t elem = ElementSize(dataType);
    const SuperRowFn row = kernels.superRows[dataType][planar != 0 ? kSuperC1 : kind];
    if (planar == 0) {
        args.pixelStride = kind == kSuperC1 ? 1 : kind == kSuperC4 ? 4 : pixelStride;
        args.src = static_cast<const char*>(src) + static_cast<std::ptrdiff_t>(srcRoi.y) * srcStep +
                   static_cast<std::ptrdiff_t>(srcRoi.x) * args.pixelStride * elem;
        args.dst = dst;
        return row(args);
    }
    args.pixelStride = 1;
    const std::ptrdiff_t origin = static_cast<std::ptrdiff_t>(srcRoi.y) * srcStep +
                                  static_cast<std::ptrdiff_t>(srcRoi.x) * elem;
    const auto* srcPlanes = static_cast<const void* const*>(src);
    auto* const* dstPlanes = static_cast<void* const*>(dst);
    for (int p = 0; p < planes; ++p) {
        args.src = static_cast<const char*>(srcPlanes[p]) + origin;
        args.dst = dstPlanes[p];
        const ResizeStatus s = row(args);
        if (s != kResizeOk) {
            return s;
        }
    }
    return kResizeOk;
}

ResizeStatus ResizeSuper(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                         void* dst, int dstStep, ResizeSize dstRoiSize, double xScale,
                         double yScale, int pixelStride, int layout, int dataType, int planar,
                         int convention) {
    return ResizeSuper(src, srcSize, srcStep, srcRoi, dst, dstStep, dstRoiSize, xScale, yScale,
                       pixelStride, layout, dataType, planar, convention, SelectedKernels());
}

}  // namespace resample
