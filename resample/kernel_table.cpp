// The reference kernel table and the choice of the implementation the
// processor runs.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "resample/row_loops.h"
#include "resample/scalar_kernels.h"
#include "resample/super_sampling.h"

namespace resample {

namespace {

// The multi-channel loops serve 3 or 4 channels with stride 3 or 4: the
// three-channel horizontal kernel for 3 channels, the four-channel one
// otherwise; the contiguous vertical kernel when stride and channel count
// agree, the three-of-four one otherwise.
template <RowLoopFn Loop3, RowLoopFn Loop34, RowLoopFn Loop4>
bool MultiChannel(const RowLoopArgs& a) {
    if (a.channelCount == 4) {
        return Loop4(a);
    }
    return a.pixelStride == 4 ? Loop34(a) : Loop3(a);
}

template <class T>
bool LanczosMulti(const RowLoopArgs& a) {
    return MultiChannel<LanczosLoop<ScalarLanczos<T, 3, false>>,
                        LanczosLoop<ScalarLanczos<T, 3, true>>,
                        LanczosLoop<ScalarLanczos<T, 4, false>>>(a);
}
template <class T>
bool LanczosOne(const RowLoopArgs& a) {
    return LanczosLoop<ScalarLanczos<T, 1, false>>(a);
}
template <class T>
bool CubicMulti(const RowLoopArgs& a) {
    return MultiChannel<CubicLoop<ScalarCubic<T, 3, false>>, CubicLoop<ScalarCubic<T, 3, true>>,
                        CubicLoop<ScalarCubic<T, 4, false>>>(a);
}
template <class T>
bool CubicOne(const RowLoopArgs& a) {
    return CubicLoop<ScalarCubic<T, 1, false>>(a);
}
template <class T>
bool LinearMulti(const RowLoopArgs& a) {
    return MultiChannel<LinearLoop<ScalarLinear<T, 3, false>>, LinearLoop<ScalarLinear<T, 3, true>>,
                        LinearLoop<ScalarLinear<T, 4, false>>>(a);
}
template <class T>
bool LinearOne(const RowLoopArgs& a) {
    return LinearLoop<ScalarLinear<T, 1, false>>(a);
}
template <class T, int C>
bool Nearest(const RowLoopArgs& a) {
    return NearestLoop<ScalarNearest<T, C>>(a);
}

}  // namespace

using std::uint16_t;
using std::uint8_t;

// Nine rows of three (data type 8u, 16u, 32f), in the order of KernelRow.
constexpr std::array<std::array<RowLoopFn, 3>, kKernelRows> ResizeKernelTable = {{
    {LanczosMulti<uint8_t>, LanczosMulti<uint16_t>, LanczosMulti<float>},
    {LanczosOne<uint8_t>, LanczosOne<uint16_t>, LanczosOne<float>},
    {CubicMulti<uint8_t>, CubicMulti<uint16_t>, CubicMulti<float>},
    {CubicOne<uint8_t>, CubicOne<uint16_t>, CubicOne<float>},
    {LinearMulti<uint8_t>, LinearMulti<uint16_t>, LinearMulti<float>},
    {LinearOne<uint8_t>, LinearOne<uint16_t>, LinearOne<float>},
    {Nearest<uint8_t, 3>, Nearest<uint16_t, 3>, Nearest<float, 3>},
    {Nearest<uint8_t, 1>, Nearest<uint16_t, 1>, Nearest<float, 1>},
    {Nearest<uint8_t, 4>, Nearest<uint16_t, 4>, Nearest<float, 4>},
}};

constexpr std::array<std::array<SuperRowFn, 3>, 3> kSuperRowTable = {{
    {SuperRow_8u_C1, SuperRow_8u_C3, SuperRow_8u_C4},
    {SuperRow_16u_C1, SuperRow_16u_C3, SuperRow_16u_C4},
    {SuperRow_32f_C1, SuperRow_32f_C3, SuperRow_32f_C4},
}};

const ResizeKernels& ReferenceKernels() {
    static constexpr ResizeKernels kReference{"scalar", ResizeKernelTable, kSuperRowTable};
    return kReference;
}

std::vector<const ResizeKernels*> VectorKernels() {
    std::vector<const ResizeKernels*> sets;
    for (const ResizeKernels* k : {Avx2Kernels(), Avx512Kernels()}) {
        if (k != nullptr) {
            sets.push_back(k);
        }
    }
    return sets;
}

bool ScalarSwitchOn(const char* value) {
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

const ResizeKernels& ChooseKernels(const char* scalarSwitch) {
    if (ScalarSwitchOn(scalarSwitch)) {
        return ReferenceKernels();
    }
    const std::vector<const ResizeKernels*> sets = VectorKernels();
    return sets.empty() ? ReferenceKernels() : *sets.back();
}

const ResizeKernels& SelectedKernels() {
    // Read once: every resize of a run uses the same kernels, and the switch
    // costs nothing per call.
    static const ResizeKernels& selected = ChooseKernels(std::getenv(kScalarSwitchVariable));
    return selected;
}

}  // namespace resample
