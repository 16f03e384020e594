#pragma once

// IMA/DVI ADPCM decoding: 4-bit codes to 16-bit samples.

#include <cstdint>
#include <span>

struct AdpcmState {
    std::int32_t stepIndex = 0;  // 0 to 88
    std::int32_t predicted = 0;  // −32,768 to 32,767
};

// Decodes one code (0 to 15) against `state` and returns the new predicted
// sample, which is also stored in the state. A code outside 0 to 15 gives 0
// and leaves the state alone. A state outside its ranges is brought into
// them first.
int DecodeADPCMC(int code, AdpcmState& state);

// Decodes each byte as two codes, the low nibble first, one sample per code,
// continuing from `state`. Before the first sample, `stateAtStart` receives
// the state as it was. Returns 0, or -1 with nothing written or changed when
// `samples` holds fewer than 2 × bytes.size() samples.
int DecodeADPCMBuffer(std::span<const std::uint8_t> bytes, std::span<std::int16_t> samples,
                      AdpcmState& state, AdpcmState& stateAtStart);
