#include "resample/resize_checks.h"

namespace resample {

ResizeStatus CheckResizeArguments(const void* src, ResizeSize srcSize, int srcStep, ResizeRect roi,
                                  const void* dst, int dstStep, ResizeSize dstSize, double xFactor,
                                  double yFactor, int planes) {
    if (src == nullptr || dst == nullptr) {
        return kResizeNullPtrErr;
    }
    for (int p = 0; p < planes; ++p) {
        if (static_cast<const void* const*>(src)[p] == nullptr ||
            static_cast<const void* const*>(dst)[p] == nullptr) {
            return kResizeNullPtrErr;
        }
    }
    if (srcSize.width <= 0 || srcSize.height <= 0) {
        return kResizeSizeErr;
    }
    if (srcStep <= 0 || dstStep <= 0) {
        return kResizeStepErr;
    }
    if (roi.x < 0 || roi.y < 0 || roi.width <= 0 || roi.height <= 0) {
        return kResizeSizeErr;
    }
    if (roi.x >= srcSize.width || roi.y >= srcSize.height) {
        return kResizeRoiOutside;
    }
    if (dstSize.width <= 0 || dstSize.height <= 0) {
        return kResizeSizeErr;
    }
    // Written so that a factor that is not a number fails too.
    if (!(xFactor > 0.0) || !(yFactor > 0.0)) {
        return kResizeFactorErr;
    }
    return kResizeOk;
}

}  // namespace resample
