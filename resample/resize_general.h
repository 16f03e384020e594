#pragma once

// The generic implementation of the resize entry and the general driver.

#include <cstdint>

#include "resample/resize.h"
#include "resample/resize_internal.h"

namespace resample {

// Routes supersampling that only shrinks to ResizeSuper and everything else to
// ResizeGeneral, with the entry's layout: 8-bit, three channels, stride 3,
// interleaved, factors as size ratios.
ResizeStatus ResizeGenericEntry(const std::uint8_t* src, ResizeSize srcSize, int srcStep,
                                ResizeRect srcRoi, std::uint8_t* dst, int dstStep,
                                ResizeSize dstRoiSize, double xFactor, double yFactor,
                                int interpolation);
ResizeStatus ResizeGenericEntry(const std::uint8_t* src, ResizeSize srcSize, int srcStep,
                                ResizeRect srcRoi, std::uint8_t* dst, int dstStep,
                                ResizeSize dstRoiSize, double xFactor, double yFactor,
                                int interpolation, const ResizeKernels& kernels);

// The general driver: checks, interpolation fallback, clipping, coordinate and
// weight tables, cached rows, and one row loop (or one per plane).
//   xShift, yShift  added to the source position of the first column / row
//   pixelStride     elements from one pixel to the next (1, 3 or 4)
//   channelCount    channels resized per pixel (1, 3 or 4); stride 4 with 3
//                   channels leaves the fourth element untouched
//   dataType        0 8-bit unsigned, 1 16-bit unsigned, 2 32-bit float
//   planar          1: src and dst are arrays of plane pointers (3 planes for
//                   3 channels, else 4), each plane resized as one channel
//   coordMode       1: factors are size ratios; 0: they are source distances
//                   between neighbouring destination pixels
ResizeStatus ResizeGeneral(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                           void* dst, int dstStep, ResizeSize dstRoiSize, double xFactor,
                           double yFactor, int interpolation, double xShift, double yShift,
                           int pixelStride, int channelCount, int dataType, int planar,
                           int coordMode, const ResizeKernels& kernels);
ResizeStatus ResizeGeneral(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                           void* dst, int dstStep, ResizeSize dstRoiSize, double xFactor,
                           double yFactor, int interpolation, double xShift, double yShift,
                           int pixelStride, int channelCount, int dataType, int planar,
                           int coordMode);

}  // namespace resample
