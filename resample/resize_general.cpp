#include "resample/resize_general.h"

#include <cstddef>
#include <limits>

#include "resample/lanczos.h"
#include "resample/resize_checks.h"
#include "resample/super_sampling.h"

namespace resample {

namespace {

int ElementSize(int dataType) {
    return dataType == kData8u ? 1 : dataType == kData16u ? 2 : 4;
}

bool IsInterpolation(int code) {
    return code == kResizeNearest || code == kResizeLinear || code == kResizeCubic ||
           code == kResizeLanczos;
}

// Interpolation the image is large enough for, decided by the whole source
// image: below 2 pixels nearest, below 4 no cubic or Lanczos, below 6 no
// Lanczos.
int FallbackInterpolation(int code, ResizeSize srcSize) {
    const int smaller = std::min(srcSize.width, srcSize.height);
    if (smaller < 2) {
        return kResizeNearest;
    }
    if (smaller < 4 && (code == kResizeCubic || code == kResizeLanczos)) {
        return kResizeLinear;
    }
    if (smaller < 6 && code == kResizeLanczos) {
        return kResizeCubic;
    }
    return code;
}

// Source position of destination index 0 and the step between indices.
struct AxisMap {
    double start;
    double step;
};

AxisMap MapAxis(int kind, int coordMode, int roiLength, double factor, double shift) {
    AxisMap m{0.0, 0.0};
    if (coordMode == 1) {
        if (kind == kResizeNearest) {
            m.step = 1.0 / factor;
            m.start = 0.5 / factor;
        } else {
            // First destination pixel on the ROI's first pixel, pixel
            // roiLength * factor - 1 on its last.
            const double span = roiLength * factor;
            m.step = span > 1.0 ? (roiLength - 1) / (span - 1.0) : 0.0;
        }
    } else {
        m.step = factor;
        m.start = kind == kResizeNearest ? factor / 2.0 : 0.0;
    }
    m.start = m.start + shift;
    return m;
}

// trunc(x + 1e-7), limited to lo .. hi in double before the conversion. A
// position beyond a limit is moved onto it (only reached where a huge factor
// or a shift puts it there).
struct Index {
    int i;
    double x;
};

Index BiasedIndex(double x, int lo, int hi) {
    const double v = x + kBias;
    if (!(v >= lo)) {
        return {lo, static_cast<double>(lo)};
    }
    if (v >= static_cast<double>(hi) + 1.0) {
        return {hi, static_cast<double>(hi)};
    }
    return {static_cast<int>(v), x};
}

// Per-axis tables. `origin` is the ROI's first pixel in the image, `length`
// the image's size along the axis, `roiLength` the clipped ROI's.
struct Axis {
    AxisMap map;
    int count;
    int origin;
    int length;
    int roiLength;
    int last() const { return length - 1 - origin; }  // image's last pixel, from the ROI
};

template <class F>
void ForEachPosition(const Axis& axis, F f) {
    double x = axis.map.start;
    for (int k = 0; k < axis.count; ++k) {
        f(k, x);
        x += axis.map.step;
    }
}

// Nearest: the pixel under the position. With a span below one pixel the
// single position lies beyond the ROI; it takes the ROI's last pixel.
template <class Emit>
void NearestAxis(const Axis& axis, Emit emit) {
    ForEachPosition(axis,
                    [&](int k, double x) { emit(k, BiasedIndex(x, 0, axis.roiLength - 1).i); });
}

// Linear: the window's first pixel and the fraction towards the second. At
// the image's last pixel the window moves back by one and takes the last
// pixel whole (atLast).
template <class Emit>
void LinearAxis(const Axis& axis, Emit emit) {
    ForEachPosition(axis, [&](int k, double x) {
        const Index p = BiasedIndex(x, 0, axis.last());
        if (p.i == axis.last()) {
            emit(k, p.i - 1, 0.0, true);
        } else {
            emit(k, p.i, p.x - p.i, false);
        }
    });
}

// Cubic: window of four around the stored index, moved inside the image at
// its edges; the fraction is measured from the adjusted index (2.0 exactly on
// the last pixel).
template <class Emit>
void CubicAxis(const Axis& axis, Emit emit) {
    ForEachPosition(axis, [&](int k, double x) {
        const Index p = BiasedIndex(x, 0, axis.last());
        const int s = axis.origin + p.i;
        int i = p.i;
        if (s == axis.length - 1) {
            emit(k, i - 2, 2.0f);
            return;
        }
        if (s == 0) {
            i += 1;
        } else if (s == axis.length - 2) {
            i -= 1;
        }
        emit(k, i, static_cast<float>(p.x - i));
    });
}

// Lanczos: no edge adjustment here; the row loops clamp the taps.
template <class Emit>
void LanczosAxis(const Axis& axis, Emit emit) {
    ForEachPosition(axis, [&](int k, double x) {
        const Index p = BiasedIndex(x, 0, axis.last());
        emit(k, p.i, static_cast<float>(p.x - p.i));
    });
}

// Q14 weight of a fraction: trunc(fraction * 16384 + 1e-7).
std::uint16_t Q14(double fraction, bool whole) {
    return static_cast<std::uint16_t>(whole ? kQ14One
                                            : static_cast<int>(fraction * kQ14One + kBias));
}

KernelRow KernelRowFor(int kind, int channels, bool planar) {
    const bool one = planar || channels == 1;
    switch (kind) {
        case kResizeLanczos:
            return one ? kRowLanczosOne : kRowLanczosMulti;
        case kResizeCubic:
            return one ? kRowCubicOne : kRowCubicMulti;
        case kResizeLinear:
            return one ? kRowLinearOne : kRowLinearMulti;
        default:
            return one ? kRowNearest1 : channels == 3 ? kRowNearest3 : kRowNearest4;
    }
}

bool IsLayout(int pixelStride, int channelCount) {
    return (pixelStride == 1 && channelCount == 1) || (pixelStride == 3 && channelCount == 3) ||
           (pixelStride == 4 && (channelCount == 3 || channelCount == 4));
}

}  // namespace

ResizeStatus ResizeGeneral(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                           void* dst, int dstStep, ResizeSize dstRoiSize, double xFactor,
                           double yFactor, int interpolation, double xShift, double yShift,
                           int pixelStride, int channelCount, int dataType, int planar,
                           int coordMode, const ResizeKernels& kernels) {
    const int planes = planar == 1 ? (channelCount == 3 ? 3 : 4) : 0;
    if (const ResizeStatus s = CheckResizeArguments(src, srcSize, srcStep, srcRoi, dst, dstStep,
                                                    dstRoiSize, xFactor, yFactor, planes);
        s != kResizeOk) {
        return s;
    }
    if (!IsInterpolation(interpolation)) {
        return kResizeInterpolationErr;
    }
    // Layouts the row loops are made for; anything else would index past the
    // kernel table or past the pixels.
    if (dataType < kData8u || dataType > kData32f || (planar != 0 && planar != 1) ||
        (coordMode != 0 && coordMode != 1) ||
        (planar == 0 ? !IsLayout(pixelStride, channelCount)
                     : channelCount != 1 && channelCount != 3 && channelCount != 4)) {
        return kResizeDataTypeErr;
    }
    const int elem = ElementSize(dataType);
    if (srcStep < elem || dstStep < elem) {
        return kResizeStepErr;
    }
    const int columnUnit = planar != 0 ? 1 : pixelStride;
    if (std::int64_t{srcSize.width} * columnUnit > std::numeric_limits<std::int32_t>::max()) {
        return kResizeSizeErr;
    }

    const int kind = FallbackInterpolation(interpolation, srcSize);
    const ClippedRoi roi = ClipRoi(srcSize, srcRoi);

    // Destination size actually written.
    const auto clip = [&](int length, double factor, int requested) {
        if (coordMode == 1) {
            return ClipDestination(length * factor + kBias, requested);
        }
        if (kind == kResizeNearest) {
            return ClipDestination(length / factor + kBias, requested);
        }
        const double v = (length - 1) / factor + kBias;
        return v < requested - 1 ? std::max(1, static_cast<int>(v) + 1) : requested;
    };
    const int dstW = clip(roi.width, xFactor, dstRoiSize.width);
    const int dstH = clip(roi.height, yFactor, dstRoiSize.height);

    const Axis cols{MapAxis(kind, coordMode, roi.width, xFactor, xShift), dstW, srcRoi.x,
                    srcSize.width, roi.width};
    const Axis rows{MapAxis(kind, coordMode, roi.height, yFactor, yShift), dstH, srcRoi.y,
                    srcSize.height, roi.height};
    const std::ptrdiff_t srcStepElements = srcStep / elem;

    AlignedBuffer<std::ptrdiff_t> rowOfs(dstH);
    if (!rowOfs) {
        return kResizeMemAllocErr;
    }
    AlignedBuffer<std::int32_t> colOfs(dstW);
    if (!colOfs) {
        return kResizeMemAllocErr;
    }
    std::ptrdiff_t* ro = rowOfs.get();
    std::int32_t* co = colOfs.get();
    // Offsets in elements; a column offset fits 32 bits (checked above).
    const auto setRow = [&](int k, int i) { ro[k] = i * srcStepElements; };
    const auto setColumn = [&](int k, int i) { co[k] = i * columnUnit; };

    RowLoopArgs args;
    AlignedBlock rowWeights, colWeights, rowFractions, colFractions;
    int cachedCount = 0;
    bool cachedQ14 = false;
    switch (kind) {
        case kResizeNearest:
            NearestAxis(rows, setRow);
            NearestAxis(cols, setColumn);
            break;
        case kResizeLinear: {
            cachedCount = 2;
            cachedQ14 = dataType != kData32f;
            const std::size_t weightSize = cachedQ14 ? sizeof(std::uint16_t) : sizeof(float);
            rowWeights.reset(AlignedAlloc32(dstH, weightSize));
            if (!rowWeights) {
                return kResizeMemAllocErr;
            }
            colWeights.reset(
                AlignedAlloc32(std::ptrdiff_t{dstW} * (cachedQ14 ? 2 : 1), weightSize));
            if (!colWeights) {
                return kResizeMemAllocErr;
            }
            if (cachedQ14) {
                auto* rw = static_cast<std::uint16_t*>(rowWeights.get());
                auto* cw = static_cast<std::uint16_t*>(colWeights.get());
                LinearAxis(rows, [&](int k, int i, double frac, bool atLast) {
                    setRow(k, i);
                    rw[k] = Q14(frac, atLast);
                });
                LinearAxis(cols, [&](int k, int i, double frac, bool atLast) {
                    setColumn(k, i);
                    const std::uint16_t a = Q14(frac, atLast);
                    cw[2 * k] = static_cast<std::uint16_t>(kQ14One - a);
                    cw[2 * k + 1] = a;
                });
            } else {
                auto* rf = static_cast<float*>(rowWeights.get());
                auto* cf = static_cast<float*>(colWeights.get());
                LinearAxis(rows, [&](int k, int i, double frac, bool atLast) {
                    setRow(k, i);
                    rf[k] = atLast ? 1.0f : static_cast<float>(frac);
                });
                LinearAxis(cols, [&](int k, int i, double frac, bool atLast) {
                    setColumn(k, i);
                    cf[k] = atLast ? 1.0f : static_cast<float>(frac);
                });
            }
            break;
        }
        case kResizeCubic:
        case kResizeLanczos: {
            cachedCount = kind == kResizeCubic ? 4 : 6;
            rowFractions.reset(AlignedAlloc32(dstH, sizeof(float)));
            if (!rowFractions) {
                return kResizeMemAllocErr;
            }
            colFractions.reset(AlignedAlloc32(dstW, sizeof(float)));
            if (!colFractions) {
                return kResizeMemAllocErr;
            }
            auto* rf = static_cast<float*>(rowFractions.get());
            auto* cf = static_cast<float*>(colFractions.get());
            const auto rowEmit = [&](int k, int i, float f) {
                setRow(k, i);
                rf[k] = f;
            };
            const auto colEmit = [&](int k, int i, float f) {
                setColumn(k, i);
                cf[k] = f;
            };
            if (kind == kResizeCubic) {
                CubicAxis(rows, rowEmit);
                CubicAxis(cols, colEmit);
                rowWeights = std::move(rowFractions);
                colWeights = std::move(colFractions);
                break;
            }
            LanczosAxis(rows, rowEmit);
            LanczosAxis(cols, colEmit);
            rowWeights.reset(AlignedAlloc32(std::ptrdiff_t{dstH} * 6, sizeof(float)));
            if (!rowWeights) {
                return kResizeMemAllocErr;
            }
            colWeights.reset(AlignedAlloc32(std::ptrdiff_t{dstW} * 6, sizeof(float)));
            if (!colWeights) {
                return kResizeMemAllocErr;
            }
            LanczosWeights(cf, dstW, static_cast<float*>(colWeights.get()));
            LanczosWeights(rf, dstH, static_cast<float*>(rowWeights.get()));
            args.enlarge = coordMode == 1 ? yFactor >= 1.0 : yFactor < 1.0;
            break;
        }
    }

    // Cached rows: one horizontally filtered source row each.
    const int perColumn = planar != 0 ? 1 : channelCount;
    const std::ptrdiff_t cachedElements = std::ptrdiff_t{dstW} * perColumn + 4 * perColumn;
    AlignedBlock cached[6];
    for (int i = 0; i < cachedCount; ++i) {
        cached[i].reset(
            AlignedAlloc32(cachedElements, cachedQ14 ? sizeof(std::uint16_t) : sizeof(float)));
        if (!cached[i]) {
            return kResizeMemAllocErr;
        }
        args.rows[i] = cached[i].get();
    }

    args.srcStep = srcStepElements;
    args.dstStep = dstStep / elem;
    args.dstW = dstW;
    args.dstH = dstH;
    args.rowOfs = ro;
    args.colOfs = co;
    args.rowWeights = rowWeights.get();
    args.colWeights = colWeights.get();
    args.pixelStride = planar != 0 ? 1 : pixelStride;
    args.channelCount = perColumn;
    args.roiX = srcRoi.x;
    args.roiY = srcRoi.y;
    args.colsToEdge = srcSize.width - srcRoi.x;
    args.rowsToEdge = srcSize.height - srcRoi.y;

    const RowLoopFn loop =
        kernels.rowLoops[KernelRowFor(kind, channelCount, planar != 0)][dataType];
    if (planar == 0) {
        args.src = static_cast<const char*>(src) + std::ptrdiff_t{srcRoi.y} * srcStep +
                   std::ptrdiff_t{srcRoi.x} * pixelStride * elem;
        args.dst = dst;
        return loop(args) ? kResizeOk : kResizeMemAllocErr;
    }
    const std::ptrdiff_t origin =
        std::ptrdiff_t{srcRoi.y} * srcStep + std::ptrdiff_t{srcRoi.x} * elem;
    const auto* srcPlanes = static_cast<const void* const*>(src);
    auto* const* dstPlanes = static_cast<void* const*>(dst);
    for (int p = 0; p < planes; ++p) {
        args.src = static_cast<const char*>(srcPlanes[p]) + origin;
        args.dst = dstPlanes[p];
        if (!loop(args)) {
            return kResizeMemAllocErr;
        }
    }
    return kResizeOk;
}

ResizeStatus ResizeGeneral(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                           void* dst, int dstStep, ResizeSize dstRoiSize, double xFactor,
                           double yFactor, int interpolation, double xShift, double yShift,
                           int pixelStride, int channelCount, int dataType, int planar,
                           int coordMode) {
    return ResizeGeneral(src, srcSize, srcStep, srcRoi, dst, dstStep, dstRoiSize, xFactor, yFactor,
                         interpolation, xShift, yShift, pixelStride, channelCount, dataType, planar,
                         coordMode, SelectedKernels());
}

ResizeStatus ResizeGenericEntry(const std::uint8_t* src, ResizeSize srcSize, int srcStep,
                                ResizeRect srcRoi, std::uint8_t* dst, int dstStep,
                                ResizeSize dstRoiSize, double xFactor, double yFactor,
                                int interpolation, const ResizeKernels& kernels) {
    if (interpolation == kResizeSuper && xFactor <= 1.0 && yFactor <= 1.0) {
        return ResizeSuper(src, srcSize, srcStep, srcRoi, dst, dstStep, dstRoiSize, xFactor,
                           yFactor, 3, 3, kData8u, 0, 1, kernels);
    }
    return ResizeGeneral(src, srcSize, srcStep, srcRoi, dst, dstStep, dstRoiSize, xFactor, yFactor,
                         interpolation, 0.0, 0.0, 3, 3, kData8u, 0, 1, kernels);
}

ResizeStatus ResizeGenericEntry(const std::uint8_t* src, ResizeSize srcSize, int srcStep,
                                ResizeRect srcRoi, std::uint8_t* dst, int dstStep,
                                ResizeSize dstRoiSize, double xFactor, double yFactor,
                                int interpolation) {
    return ResizeGenericEntry(src, srcSize, srcStep, srcRoi, dst, dstStep, dstRoiSize, xFactor,
                              yFactor, interpolation, SelectedKernels());
}

}  // namespace resample

ResizeStatus ResizeLinearRows(int srcRows, int dstRows, double yFactor, ResizeLinearRow* rows) {
    if (srcRows < 2 || dstRows < 1 || rows == nullptr) {
        return kResizeSizeErr;
    }
    if (!(yFactor > 0.0)) {
        return kResizeFactorErr;
    }
    // The driver's rows for a whole picture (coordMode 1, no shift); a
    // picture below two pixels wide would fall back to nearest there, which
    // only a caller resizing the columns too can meet.
    const int count = resample::ClipDestination(srcRows * yFactor + resample::kBias, dstRows);
    const resample::Axis axis{resample::MapAxis(kResizeLinear, 1, srcRows, yFactor, 0.0), count, 0,
                              srcRows, srcRows};
    resample::LinearAxis(axis, [&](int k, int i, double frac, bool atLast) {
        rows[k] = {i, resample::Q14(frac, atLast)};
    });
    return count;
}
