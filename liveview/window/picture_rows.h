#pragma once

// Row kernels of the live picture's hand-over to the paint: decoded frames
// are blue-green-red, bottom-up, three bytes a pixel; the window paints
// top-down 32-bit pixels (0xffRRGGBB, the backing store's own format), so a
// paint is a plain copy. Every frame passes through here once, so the kernels
// are chosen once for the processor (the widest vector ones it runs, plain
// ones otherwise); all give the same bytes, and none reads or writes outside
// the rows it is given.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace picture_rows {

// Writes `width` pixels of `in` (blue, green, red bytes) to `out` as
// 0xffRRGGBB words.
void BgrToRgb32(const std::uint8_t* in, std::uint32_t* out, int width);

// The plain kernel, for the tests that compare the two.
void BgrToRgb32Plain(const std::uint8_t* in, std::uint32_t* out, int width);

// Whether BgrToRgb32 runs a vector kernel on this processor.
bool VectorKernelInUse();

// The resize routine's linear blend of two rows of blue-green-red bytes (its
// vertical kernel on columns that keep their size, with the rows and weights
// of ResizeLinearRows), converted as BgrToRgb32. `weight` is the lower row's
// Q14 weight. The reference for BlendRgb32, for the tests.
void BlendToRgb32Plain(const std::uint8_t* upper, const std::uint8_t* lower, std::uint16_t weight,
                       std::uint32_t* out, int width);

// The same blend between two rows already in the painted format, byte by
// byte (the alpha bytes, both 0xff, stay 0xff): BlendRgb32 of two converted
// rows is BlendToRgb32Plain of the rows themselves. Line doubling paints
// with it.
void BlendRgb32(const std::uint32_t* upper, const std::uint32_t* lower, std::uint16_t weight,
                std::uint32_t* out, int width);
void BlendRgb32Plain(const std::uint32_t* upper, const std::uint32_t* lower, std::uint16_t weight,
                     std::uint32_t* out, int width);

// Nearest-neighbour scaling of rows already in the painted format: pixel x
// of an output row is pixel columns[x] of the input row. Planned once per
// geometry: per group of eight output pixels, the eight input pixels they
// come from (never beyond the row) and which of them each one is. A group
// whose pixels lie further apart is done plainly.
class ScalePlan {
public:
    // False, and no plan, when a column lies outside the input row.
    bool Make(const std::vector<int>& columns, int inWidth);
    int OutWidth() const { return static_cast<int>(m_columns.size()); }
    const std::vector<int>& Columns() const { return m_columns; }
    // Per group of eight: the first input pixel of its window, or -1: done
    // plainly; and per group eight indices into the window.
    const std::vector<std::int32_t>& Windows32() const { return m_windows32; }
    const std::vector<std::int32_t>& Indices32() const { return m_indices32; }

private:
    std::vector<int> m_columns;
    std::vector<std::int32_t> m_windows32;
    std::vector<std::int32_t> m_indices32;
};

void ScaleRow32(const ScalePlan& plan, const std::uint32_t* in, std::uint32_t* out);
void ScaleRow32Plain(const ScalePlan& plan, const std::uint32_t* in, std::uint32_t* out);

// Copies `count` pixels to `out` with stores that go around the caches,
// where the processor has them: for a picture written once and read next by
// another process (the display server), which would otherwise cost a read of
// every line written. A run of them ends with StreamFence, before anything
// tells the reader the pixels are there. The plain kernel is memcpy.
void StreamRow(const std::uint32_t* in, std::uint32_t* out, int count);
void StreamRowPlain(const std::uint32_t* in, std::uint32_t* out, int count);
void StreamFence();

// Every kernel this processor runs, plain ones first, for the tests that
// compare them.
struct Kernels {
    std::string name;
    void (*convert)(const std::uint8_t*, std::uint32_t*, int);
    void (*blend32)(const std::uint32_t*, const std::uint32_t*, std::uint16_t, std::uint32_t*, int);
    void (*scale32)(const ScalePlan&, const std::uint32_t*, std::uint32_t*);
    void (*stream)(const std::uint32_t*, std::uint32_t*, int);
};
std::vector<Kernels> AvailableKernels();

// Nearest-neighbour vertical scaling as the resize routine does it: for each
// of `toRows` destination rows (counted as the source's, from its first row
// in memory), the source row it takes, or -1 where the routine writes none.
// Asked once per geometry of the routine itself with a one-pixel-wide column
// of row numbers, so the rows repeat its arithmetic exactly.
std::vector<int> NearestRowMap(int fromRows, int toRows, double factor);

}  // namespace picture_rows
