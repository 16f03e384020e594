#pragma once

// Internal pieces shared by the resize driver, the row loops and the
// supersampling path: argument blocks of the row routines, the kernel tables
// and the small numeric helpers whose exact operation order every
// implementation (scalar or vector) must repeat.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "resample/resize.h"

namespace resample {

// Every conversion of a coordinate or weight to an integer adds this before
// truncating, so positions that land a rounding error short of a whole number
// count as that number.
inline constexpr double kBias = 1e-7;

// Q14 fixed point: 16384 is a weight of 1.0.
inline constexpr int kQ14One = 16384;

enum DataType : int { kData8u = 0, kData16u = 1, kData32f = 2 };

// Rows of the kernel table, in its order.
enum KernelRow : int {
    kRowLanczosMulti = 0,
    kRowLanczosOne,
    kRowCubicMulti,
    kRowCubicOne,
    kRowLinearMulti,
    kRowLinearOne,
    kRowNearest3,
    kRowNearest1,
    kRowNearest4,
    kKernelRows
};

// Owns one block from AlignedAlloc32.
template <class T>
class AlignedBuffer {
public:
    AlignedBuffer() = default;
    explicit AlignedBuffer(std::ptrdiff_t count) : m_data(AlignedAlloc32<T>(count)) {}
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    AlignedBuffer(AlignedBuffer&& other) noexcept : m_data(std::exchange(other.m_data, nullptr)) {}
    AlignedBuffer& operator=(AlignedBuffer&& other) noexcept {
        if (this != &other) {
            AlignedFree32(m_data);
            m_data = std::exchange(other.m_data, nullptr);
        }
        return *this;
    }
    ~AlignedBuffer() { AlignedFree32(m_data); }

    T* get() const { return m_data; }
    explicit operator bool() const { return m_data != nullptr; }

private:
    T* m_data = nullptr;
};

// Owns one untyped block from AlignedAlloc32.
struct AlignedDeleter {
    void operator()(void* block) const { AlignedFree32(block); }
};
using AlignedBlock = std::unique_ptr<void, AlignedDeleter>;

// Everything a row loop needs; built by the driver once per call. Offsets and
// steps count elements of the data type.
struct RowLoopArgs {
    const void* src = nullptr;  // first pixel of the ROI
    void* dst = nullptr;        // first pixel of the destination rectangle
    std::ptrdiff_t srcStep = 0;
    std::ptrdiff_t dstStep = 0;
    int dstW = 0;
    int dstH = 0;
    const std::ptrdiff_t* rowOfs = nullptr;  // per destination row, from the ROI's first row
    const std::int32_t* colOfs = nullptr;    // per destination column, from the ROI's first column
    const void* rowWeights = nullptr;  // Q14 weights (linear integer data) or fractions / weights
    const void* colWeights = nullptr;
    std::array<void*, 6> rows{};  // cached rows
    int pixelStride = 3;
    int channelCount = 3;
    // The image around the ROI: its origin, and the image columns and rows
    // from the ROI's origin to the right and bottom edges.
    int roiX = 0;
    int roiY = 0;
    int colsToEdge = 0;
    int rowsToEdge = 0;
    bool enlarge = false;  // Lanczos: the window moves by at most one row
};

// A row loop writes all destination rows. It returns false only when a
// working table of its own could not be allocated; it then has written
// nothing.
using RowLoopFn = bool (*)(const RowLoopArgs&);

// Arguments of the supersampling row routines. Steps count bytes.
struct SuperRowArgs {
    const void* src = nullptr;  // first pixel of the clipped ROI
    void* dst = nullptr;
    std::ptrdiff_t srcStep = 0;
    std::ptrdiff_t dstStep = 0;
    int usedW = 0;  // source columns accumulated
    int roiH = 0;   // rows of the clipped ROI; no row at or below it is read
    int dstW = 0;
    int dstH = 0;
    double xr = 1.0;  // source pixels per destination pixel
    double yr = 1.0;
    double af = 1.0;  // area factor, 1 / (xr * yr)
    int pixelStride = 3;
    int ratioCase = 0;  // 0 both whole, 1 x whole, 2 y whole, 3 neither
};

using SuperRowFn = ResizeStatus (*)(const SuperRowArgs&);

// Super row layouts (columns of ResizeKernels::superRows).
enum SuperLayout : int { kSuperC1 = 0, kSuperC3 = 1, kSuperC4 = 2 };

// One complete set of row routines: the row-loop table (rows as KernelRow,
// columns the data type) and the supersampling rows ([data type][layout]).
struct ResizeKernels {
    const char* name;
    std::array<std::array<RowLoopFn, 3>, kKernelRows> rowLoops;
    std::array<std::array<SuperRowFn, 3>, 3> superRows;
};

// The scalar implementation written straight from the arithmetic; the
// reference every faster implementation is tested against.
const ResizeKernels& ReferenceKernels();
// The AVX2 implementation, or null when the processor lacks AVX2.
const ResizeKernels* Avx2Kernels();
// AVX2 with AVX-512 for the double-precision kernels, or null when the
// processor lacks either.
const ResizeKernels* Avx512Kernels();
// The vector implementations the processor runs, fastest last.
std::vector<const ResizeKernels*> VectorKernels();
// The environment variable that forces the scalar kernels: set to anything
// but "" or "0", every resize of the run uses ReferenceKernels() whatever the
// processor offers. For field debugging (is a wrong picture the vector
// code's?) and for A/B benchmarks of one build. Read once, at the first
// resize.
inline constexpr char kScalarSwitchVariable[] = "KESTRUNE_RESAMPLE_SCALAR";
// Whether a value of that variable (null: not set) forces the scalar kernels.
bool ScalarSwitchOn(const char* value);
// The kernels for a value of the switch: the reference when it is on, else
// the fastest implementation the processor runs.
const ResizeKernels& ChooseKernels(const char* scalarSwitch);
// ChooseKernels for the environment, chosen once.
const ResizeKernels& SelectedKernels();

// Truncates toward zero and limits to 0 .. maxValue. The limits are applied
// first, in this form, so that a vector version (max, min, truncating
// conversion) gives the same result for every input, NaN included (0).
inline double ClampForTrunc(double v, double maxValue) {
    v = v > 0.0 ? v : 0.0;
    return v < maxValue ? v : maxValue;
}

inline std::uint8_t ToU8(double v) {
    return static_cast<std::uint8_t>(static_cast<int>(ClampForTrunc(v, 255.0)));
}

inline std::uint16_t ToU16(double v) {
    return static_cast<std::uint16_t>(static_cast<int>(ClampForTrunc(v, 65535.0)));
}

// Coefficients of the cubic through four samples at -1, 0, 1, 2 in Newton
// form, for the fraction t.
struct CubicCoefficients {
    double b;
    double c;
    double d;
};

inline CubicCoefficients CubicCoefficientsFor(double t) {
    const double b = t + 1.0;
    const double c = t * b * 0.5;
    const double d = c * (t - 1.0) / 3.0;
    return {b, c, d};
}

// The cubic's value: D1 = q1 - q0, D2 = q2 - q1 - D1, D3 = q1 - 2 q2 + q3 - D2,
// value = q0 + D1 b + D2 c + D3 d, evaluated left to right.
inline double CubicValue(double q0, double q1, double q2, double q3, double b, double c, double d) {
    const double d1 = q1 - q0;
    const double d2 = q2 - q1 - d1;
    const double d3 = q1 - 2.0 * q2 + q3 - d2;
    return q0 + d1 * b + d2 * c + d3 * d;
}

}  // namespace resample
