#include "media/ima_adpcm.h"

#include <algorithm>
#include <array>

namespace {

// The standard IMA ADPCM tables: the quantiser step for each step index, and
// how each code moves the step index.
constexpr std::array<std::int32_t, 89> kStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<std::int32_t, 16> kIndexTable = {-1, -1, -1, -1, 2, 4, 6, 8,
                                                      -1, -1, -1, -1, 2, 4, 6, 8};

constexpr std::int32_t kMaxStepIndex = static_cast<std::int32_t>(kStepTable.size()) - 1;

}  // namespace

int DecodeADPCMC(int code, AdpcmState& state) {
    if (code < 0 || code > 15) {
        return 0;
    }
    const std::int32_t stepIndex = std::clamp(state.stepIndex, 0, kMaxStepIndex);
    const std::int32_t predicted = std::clamp(state.predicted, -32768, 32767);
    const std::int32_t step = kStepTable[static_cast<std::size_t>(stepIndex)];
    state.stepIndex =
        std::clamp(stepIndex + kIndexTable[static_cast<std::size_t>(code)], 0, kMaxStepIndex);
    // (2m + 1) × step / 8 in one product, which rounds differently from the
    // usual shift-and-add sum of step/8, step/4, step/2 and step.
    const std::int32_t magnitude = code & 7;
    const std::int32_t difference = (2 * magnitude + 1) * step / 8;
    const std::int32_t sample = (code & 8) != 0 ? predicted - difference : predicted + difference;
    state.predicted = std::clamp(sample, -32768, 32767);
    return state.predicted;
}

int DecodeADPCMBuffer(std::span<const std::uint8_t> bytes, std::span<std::int16_t> samples,
                      AdpcmState& state, AdpcmState& stateAtStart) {
    if (samples.size() / 2 < bytes.size()) {
        return -1;
    }
    stateAtStart = state;
    std::size_t out = 0;
    for (const std::uint8_t byte : bytes) {
        samples[out++] = static_cast<std::int16_t>(DecodeADPCMC(byte & 0x0F, state));
        samples[out++] = static_cast<std::int16_t>(DecodeADPCMC(byte >> 4, state));
    }
    return 0;
}
