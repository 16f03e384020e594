#include "media/ima_adpcm.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct CodeCase {
    AdpcmState before;
    int code;
    int sample;
    AdpcmState after;
};

// Worked by hand from the step and index tables: difference = (2m + 1) ×
// step / 8, so code 7 at step 7 gives 105 / 8 = 13 (the shift-and-add form
// would give 11).
constexpr CodeCase kCodeCases[] = {
    {{0, 0}, 0, 0, {0, 0}},
    {{0, 0}, 7, 13, {8, 13}},
    {{0, 0}, 15, -13, {8, -13}},
    {{0, 0}, 4, 7, {2, 7}},
    {{0, 0}, 12, -7, {2, -7}},
    {{0, 0}, 3, 6, {0, 6}},
    {{10, 100}, 5, 126, {14, 126}},        // step 19: 11 × 19 / 8 = 26
    {{88, 32000}, 7, 32767, {88, 32767}},  // clamped at both ends
    {{88, -32000}, 15, -32768, {88, -32768}},
    // A state outside its ranges is brought into them before use.
    {{200, 0}, 1, 12287, {87, 12287}},  // step 32767: 3 × 32767 / 8
    {{-5, 0}, 8, 0, {0, 0}},
    {{0, 100000}, 0, 32767, {0, 32767}},
    {{0, -100000}, 8, -32768, {0, -32768}},
};

TEST(ImaAdpcmTest, DecodesSingleCodes) {
    for (const CodeCase& c : kCodeCases) {
        AdpcmState state = c.before;
        EXPECT_EQ(DecodeADPCMC(c.code, state), c.sample) << c.before.stepIndex << "/" << c.code;
        EXPECT_EQ(state.stepIndex, c.after.stepIndex);
        EXPECT_EQ(state.predicted, c.after.predicted);
    }
}

TEST(ImaAdpcmTest, CodesOutsideTheRangeGiveZeroAndKeepTheState) {
    for (const int code : {-1, 16, 255, -1000}) {
        AdpcmState state{40, 1234};
        EXPECT_EQ(DecodeADPCMC(code, state), 0);
        EXPECT_EQ(state.stepIndex, 40);
        EXPECT_EQ(state.predicted, 1234);
    }
}

TEST(ImaAdpcmTest, BufferDecodesLowNibbleFirstAndReportsTheStartingState) {
    const std::vector<std::uint8_t> bytes = {0x07, 0xF0};
    std::vector<std::int16_t> samples(4, 99);
    AdpcmState state{};
    AdpcmState atStart{-1, -1};
    ASSERT_EQ(DecodeADPCMBuffer(bytes, samples, state, atStart), 0);
    EXPECT_EQ(samples, (std::vector<std::int16_t>{13, 15, 16, -8}));
    EXPECT_EQ(atStart.stepIndex, 0);
    EXPECT_EQ(atStart.predicted, 0);
    EXPECT_EQ(state.stepIndex, 14);
    EXPECT_EQ(state.predicted, -8);

    // The next block continues where this one ended.
    const std::vector<std::uint8_t> next = {0x00};
    ASSERT_EQ(DecodeADPCMBuffer(next, samples, state, atStart), 0);
    EXPECT_EQ(atStart.stepIndex, 14);
    EXPECT_EQ(atStart.predicted, -8);
}

TEST(ImaAdpcmTest, BufferRefusesAnOutputTooSmall) {
    const std::vector<std::uint8_t> bytes = {0x77, 0x77, 0x77};
    std::vector<std::int16_t> samples(5, 99);
    AdpcmState state{3, 3};
    AdpcmState atStart{9, 9};
    EXPECT_EQ(DecodeADPCMBuffer(bytes, samples, state, atStart), -1);
    EXPECT_EQ(samples, std::vector<std::int16_t>(5, 99));
    EXPECT_EQ(state.stepIndex, 3);
    EXPECT_EQ(atStart.stepIndex, 9);
    EXPECT_EQ(DecodeADPCMBuffer({}, {}, state, atStart), 0);
}

}  // namespace
