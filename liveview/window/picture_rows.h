#pragma once

// Row kernels of the live picture's hand-over to the paint: decoded frames
// are blue-green-red, bottom-up, three bytes a pixel; the window paints
// top-down 32-bit pixels (0xffRRGGBB, the backing store's own format), so a
// paint is a plain copy. Every frame passes through here once, so the kernel
// is chosen once for the processor (a vector one where it can run, a plain
// one otherwise); both give the same bytes.

#include <cstdint>
#include <span>
#include <vector>

namespace picture_rows {

// Writes `width` pixels of `in` (blue, green, red bytes) to `out` as
// 0xffRRGGBB words.
void BgrToRgb32(const std::uint8_t* in, std::uint32_t* out, int width);

// The plain kernel, for the tests that compare the two.
void BgrToRgb32Plain(const std::uint8_t* in, std::uint32_t* out, int width);

// Whether BgrToRgb32 runs the vector kernel on this processor.
bool VectorKernelInUse();

// Nearest-neighbour vertical scaling as the resize routine does it: for each
// of `toRows` destination rows (counted as the source's, from its first row
// in memory), the source row it takes, or -1 where the routine writes none.
// Asked once per geometry of the routine itself with a one-pixel-wide column
// of row numbers, so the rows repeat its arithmetic exactly.
std::vector<int> NearestRowMap(int fromRows, int toRows, double factor);

}  // namespace picture_rows
