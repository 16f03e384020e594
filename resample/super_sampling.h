#pragma once

// Supersampling (area averaging) resize: every destination pixel is the mean
// of the source area it covers, each source pixel counting with the share of
// its area inside that rectangle. Reached from the resize entry for
// interpolation code 8 when neither factor enlarges.

#include <cstddef>
#include <cstdint>

#include "resample/resize.h"
#include "resample/resize_internal.h"

namespace resample {

// The supersampling driver: checks (in the general driver's order), clipping,
// destination size, ratio case, and the row routine of the data type and
// layout. `src` and `dst` are plane-pointer arrays when `planar` is non-zero.
// layout: 1 one channel, 4 four channels, anything else three channels;
// dataType: 0 8u, 1 16u, 2 32f; convention: 1 the scales are factors, 0 they
// are ratios (source pixels per destination pixel).
ResizeStatus ResizeSuper(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                         void* dst, int dstStep, ResizeSize dstRoiSize, double xScale,
                         double yScale, int pixelStride, int layout, int dataType, int planar,
                         int convention, const ResizeKernels& kernels);
ResizeStatus ResizeSuper(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                         void* dst, int dstStep, ResizeSize dstRoiSize, double xScale,
                         double yScale, int pixelStride, int layout, int dataType, int planar,
                         int convention);

// The row routines: each writes dstH rows of dstW pixels, or returns -9 before
// writing anything when its accumulator cannot be allocated.
ResizeStatus SuperRow_8u_C1(const SuperRowArgs& a);
ResizeStatus SuperRow_16u_C1(const SuperRowArgs& a);
ResizeStatus SuperRow_32f_C1(const SuperRowArgs& a);
ResizeStatus SuperRow_8u_C3(const SuperRowArgs& a);
ResizeStatus SuperRow_16u_C3(const SuperRowArgs& a);
ResizeStatus SuperRow_32f_C3(const SuperRowArgs& a);
ResizeStatus SuperRow_8u_C4(const SuperRowArgs& a);
ResizeStatus SuperRow_16u_C4(const SuperRowArgs& a);
ResizeStatus SuperRow_32f_C4(const SuperRowArgs& a);

// The row accumulators of the whole-ratio case: add `rows` consecutive source
// rows (`srcStep` bytes apart) of `width` pixels element by element into the
// accumulator row.
void SuperRowAccum_8u_C1(const std::uint8_t* row, std::ptrdiff_t srcStep, int width, int rows,
                         std::uint32_t* acc);
void SuperRowAccum_16u_C1(const std::uint16_t* row, std::ptrdiff_t srcStep, int width, int rows,
                          std::uint32_t* acc);
void SuperRowAccum_32f_C1(const float* row, std::ptrdiff_t srcStep, int width, int rows,
                          float* acc);
void SuperRowAccum_8u_C3(const std::uint8_t* row, std::ptrdiff_t srcStep, int width, int rows,
                         std::uint32_t* acc, int pixelStride);
void SuperRowAccum_16u_C3(const std::uint16_t* row, std::ptrdiff_t srcStep, int width, int rows,
                          std::uint32_t* acc, int pixelStride);
void SuperRowAccum_32f_C3(const float* row, std::ptrdiff_t srcStep, int width, int rows, float* acc,
                          int pixelStride);
void SuperRowAccum_8u_C4(const std::uint8_t* row, std::ptrdiff_t srcStep, int width, int rows,
                         std::uint32_t* acc);
void SuperRowAccum_16u_C4(const std::uint16_t* row, std::ptrdiff_t srcStep, int width, int rows,
                          std::uint32_t* acc);
void SuperRowAccum_32f_C4(const float* row, std::ptrdiff_t srcStep, int width, int rows,
                          float* acc);

}  // namespace resample
