#pragma once

// Public interface of the image resampling routine: resizing a rectangle of an
// 8-bit three-channel picture into a destination picture, and the 32-byte
// aligned allocator shared by the resampling code.

#include <cstddef>
#include <cstdint>

// Size of an image or of a destination rectangle, in pixels.
struct ResizeSize {
    std::int32_t width;
    std::int32_t height;
};

// A source rectangle (region of interest), in pixels.
struct ResizeRect {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};

// 0 is success, negative values are errors, positive values are warnings.
using ResizeStatus = std::int32_t;

inline constexpr ResizeStatus kResizeOk = 0;
// No implementation for the selected processor class (empty dispatch slot).
inline constexpr ResizeStatus kResizeNoImplementation = -2;
// A size, ROI or destination size is not usable.
inline constexpr ResizeStatus kResizeSizeErr = -6;
// Source or destination pointer is null.
inline constexpr ResizeStatus kResizeNullPtrErr = -8;
// A working table or row buffer could not be allocated.
inline constexpr ResizeStatus kResizeMemAllocErr = -9;
// Data type or pixel layout the routine does not handle.
inline constexpr ResizeStatus kResizeDataTypeErr = -12;
// A row step is below 1.
inline constexpr ResizeStatus kResizeStepErr = -14;
// Interpolation code not supported on this path.
inline constexpr ResizeStatus kResizeInterpolationErr = -22;
// A factor is not above zero (or is not a number).
inline constexpr ResizeStatus kResizeFactorErr = -23;
// Warnings of the processor-class setters.
inline constexpr ResizeStatus kResizeNotReferenceCpu = 20;
inline constexpr ResizeStatus kResizeUnknownCpuType = 21;
// The ROI origin lies outside the source image; nothing was done.
inline constexpr ResizeStatus kResizeRoiOutside = 29;

// Interpolation codes.
inline constexpr int kResizeNearest = 1;
inline constexpr int kResizeLinear = 2;
inline constexpr int kResizeCubic = 4;
inline constexpr int kResizeSuper = 8;     // area averaging; shrinking only
inline constexpr int kResizeLanczos = 16;  // three lobes, six taps

// Resizes the rectangle `srcRoi` of the 8-bit three-channel image at `src`
// (pixel (0, 0) of an image of `srcSize`, rows `srcStep` bytes apart) by the
// factors xFactor and yFactor into the destination rectangle at `dst` (rows
// `dstStep` bytes apart, at most `dstRoiSize` pixels). Writes nothing outside
// the destination rectangle; the whole source image must be readable.
ResizeStatus ResizeImage_8u_C3R(const std::uint8_t* src, ResizeSize srcSize, int srcStep,
                                ResizeRect srcRoi, std::uint8_t* dst, int dstStep,
                                ResizeSize dstRoiSize, double xFactor, double yFactor,
                                int interpolation);

// The rows that ResizeImage_8u_C3R blends when it resizes a whole picture of
// `srcRows` rows by yFactor with kResizeLinear into `dstRows` rows: for
// destination row k, source rows rows[k].upper and rows[k].upper + 1, the
// lower with the Q14 weight rows[k].weight (16384 is 1.0), the upper with
// 16384 - weight. Where the columns keep their size (xFactor 1.0) each
// destination byte is ((u << 6) (16384 - w) + (l << 6) w + 0x80000) >> 20 of
// the upper and lower source bytes u and l. Gives the number of rows the
// routine writes (at most dstRows), or kResizeSizeErr for fewer than 2 source
// rows or no destination row and kResizeFactorErr for a factor not above 0;
// `rows` must hold dstRows entries.
struct ResizeLinearRow {
    std::int32_t upper;
    std::uint16_t weight;
};
ResizeStatus ResizeLinearRows(int srcRows, int dstRows, double yFactor, ResizeLinearRow* rows);

// 32-byte aligned blocks of `count` elements of `elementSize` bytes. A count of
// zero or less, a size that does not fit the address space, or a failed heap
// request gives null. AlignedFree32 ignores null.
void* AlignedAlloc32(std::ptrdiff_t count, std::size_t elementSize);
void AlignedFree32(void* block);

template <class T>
T* AlignedAlloc32(std::ptrdiff_t count) {
    return static_cast<T*>(AlignedAlloc32(count, sizeof(T)));
}
