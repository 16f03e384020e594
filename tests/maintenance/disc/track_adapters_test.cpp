#include "maintenance/disc/track_adapters.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "tests/support/fake_engine/track_slots.h"

namespace {

using fake_engine::kCurrentCallSlots;
using fake_engine::kOldCallSlots;
using fake_engine::SlotAnswer;

// The slot correspondence, written out: current slot -> old slot.
const std::map<int, int> kShared = {{1, 1},   {2, 2},   {3, 3},   {4, 4},   {10, 10},
                                    {11, 11}, {21, 13}, {22, 14}, {23, 15}, {24, 16},
                                    {25, 17}, {26, 18}, {27, 19}};

// Tracks of either interface that note every call: each numbered slot
// answers SlotAnswer(slot, argument), slot 9 sets 9 and 99, slot 29 1..8.
struct Calls {
    std::vector<std::pair<int, intptr_t>> slots;
    int destroyed = 0;
};

struct RecordingTrack {
    BurnIsoTrack base;
    Calls* calls;
};

struct RecordingOldTrack {
    BurnOldIsoTrack base;
    Calls* calls;
};

Calls& CallsOf(BurnIsoTrack* track) {
    return *reinterpret_cast<RecordingTrack*>(track)->calls;
}

Calls& CallsOf(BurnOldIsoTrack* track) {
    return *reinterpret_cast<RecordingOldTrack*>(track)->calls;
}

template <typename Track, int Slot>
intptr_t Call(Track* track, intptr_t argument) {
    CallsOf(track).slots.emplace_back(Slot, argument);
    return SlotAnswer(Slot, static_cast<long>(argument));
}

template <typename Track>
intptr_t Pair(Track* track, uint32_t* first, uint32_t* second) {
    CallsOf(track).slots.emplace_back(9, 0);
    *first = 9;
    *second = 99;
    return SlotAnswer(9, 0);
}

intptr_t Eight(BurnIsoTrack* track, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* d, uint32_t* e,
               uint32_t* f, uint32_t* g, uint32_t* h) {
    CallsOf(track).slots.emplace_back(29, 0);
    uint32_t value = 1;
    for (uint32_t* out : {a, b, c, d, e, f, g, h}) {
        *out = value++;
    }
    return SlotAnswer(29, 0);
}

template <typename Track>
void Destroy(Track* track) {
    ++CallsOf(track).destroyed;
}

using C = BurnIsoTrack;
using O = BurnOldIsoTrack;

constexpr BurnIsoTrackOps kRecordingOps = {
    &Destroy<C>,  &Call<C, 1>,  &Call<C, 2>,  &Call<C, 3>,  &Call<C, 4>,  &Call<C, 5>,
    &Call<C, 6>,  &Call<C, 7>,  &Call<C, 8>,  &Pair<C>,     &Call<C, 10>, &Call<C, 11>,
    &Call<C, 12>, &Call<C, 13>, &Call<C, 14>, &Call<C, 15>, &Call<C, 16>, &Call<C, 17>,
    &Call<C, 18>, &Call<C, 19>, &Call<C, 20>, &Call<C, 21>, &Call<C, 22>, &Call<C, 23>,
    &Call<C, 24>, &Call<C, 25>, &Call<C, 26>, &Call<C, 27>, &Call<C, 28>, &Eight,
};

constexpr BurnOldIsoTrackOps kRecordingOldOps = {
    &Destroy<O>,  &Call<O, 1>,  &Call<O, 2>,  &Call<O, 3>,  &Call<O, 4>,
    &Call<O, 5>,  &Call<O, 6>,  &Call<O, 7>,  &Call<O, 8>,  &Pair<O>,
    &Call<O, 10>, &Call<O, 11>, &Call<O, 12>, &Call<O, 13>, &Call<O, 14>,
    &Call<O, 15>, &Call<O, 16>, &Call<O, 17>, &Call<O, 18>, &Call<O, 19>,
};

class TrackAdapterTest : public ::testing::Test {
protected:
    void SetUp() override { m_liveBefore = LiveTrackAdapters(); }
    void TearDown() override {
        EXPECT_EQ(LiveTrackAdapters(), m_liveBefore) << "an adapter was not deleted";
    }

    Calls currentCalls;
    Calls oldCalls;
    RecordingTrack current{{&kRecordingOps}, &currentCalls};
    RecordingOldTrack old{{&kRecordingOldOps}, &oldCalls};

private:
    std::ptrdiff_t m_liveBefore = 0;
};

TEST(TrackInterfaces, AreTablesOfThirtyAndTwentySlots) {
    EXPECT_EQ(sizeof(BurnIsoTrackOps), 30 * sizeof(void*));
    EXPECT_EQ(sizeof(BurnOldIsoTrackOps), 20 * sizeof(void*));
    EXPECT_EQ(offsetof(BurnIsoTrackOps, slot9), 9 * sizeof(void*));
    EXPECT_EQ(offsetof(BurnIsoTrackOps, slot21), 21 * sizeof(void*));
    EXPECT_EQ(offsetof(BurnIsoTrackOps, slot29), 29 * sizeof(void*));
    EXPECT_EQ(offsetof(BurnOldIsoTrackOps, slot9), 9 * sizeof(void*));
    EXPECT_EQ(offsetof(BurnOldIsoTrackOps, slot13), 13 * sizeof(void*));
    EXPECT_EQ(offsetof(BurnOldIsoTrackOps, slot19), 19 * sizeof(void*));
    EXPECT_EQ(offsetof(BurnIsoTrack, ops), 0u);
    EXPECT_EQ(offsetof(BurnOldIsoTrack, ops), 0u);
}

TEST_F(TrackAdapterTest, TheCurrentInterfaceOverAnOldTrackPassesTheSharedSlots) {
    BurnIsoTrack* adapter = WrapOldIsoTrack(&old.base, false);
    ASSERT_NE(adapter, nullptr);
    for (const auto& slot : kCurrentCallSlots) {
        SCOPED_TRACE(slot.number);
        oldCalls.slots.clear();
        const intptr_t argument = 500 + slot.number;
        const intptr_t answer = (adapter->ops->*slot.member)(adapter, argument);
        const auto shared = kShared.find(slot.number);
        if (shared == kShared.end()) {
            EXPECT_EQ(answer, 0);
            EXPECT_TRUE(oldCalls.slots.empty()) << "the old track was called";
        } else {
            EXPECT_EQ(answer, SlotAnswer(shared->second, argument));
            EXPECT_EQ(oldCalls.slots,
                      (std::vector<std::pair<int, intptr_t>>{{shared->second, argument}}));
        }
    }
    oldCalls.slots.clear();
    uint32_t first = 0xFFFFFFFF;
    uint32_t second = 0xFFFFFFFF;
    EXPECT_EQ(adapter->ops->slot9(adapter, &first, &second), 0);
    EXPECT_EQ(std::make_pair(first, second), std::make_pair(0u, 0u));
    uint32_t outputs[8];
    std::memset(outputs, 0xFF, sizeof outputs);
    EXPECT_EQ(adapter->ops->slot29(adapter, &outputs[0], &outputs[1], &outputs[2], &outputs[3],
                                   &outputs[4], &outputs[5], &outputs[6], &outputs[7]),
              0);
    for (uint32_t output : outputs) {
        EXPECT_EQ(output, 0u);
    }
    EXPECT_TRUE(oldCalls.slots.empty());
    DeleteTrackAdapter(adapter);
    EXPECT_EQ(oldCalls.destroyed, 0);
}

TEST_F(TrackAdapterTest, TheOldInterfaceOverACurrentTrackPassesTheSharedSlots) {
    std::map<int, int> toCurrent;
    for (const auto& [currentSlot, oldSlot] : kShared) {
        toCurrent[oldSlot] = currentSlot;
    }
    BurnOldIsoTrack* adapter = WrapCurrentIsoTrack(&current.base, false);
    ASSERT_NE(adapter, nullptr);
    for (const auto& slot : kOldCallSlots) {
        SCOPED_TRACE(slot.number);
        currentCalls.slots.clear();
        const intptr_t argument = 700 + slot.number;
        const intptr_t answer = (adapter->ops->*slot.member)(adapter, argument);
        const auto shared = toCurrent.find(slot.number);
        if (shared == toCurrent.end()) {
            EXPECT_EQ(answer, 0);
            EXPECT_TRUE(currentCalls.slots.empty()) << "the current track was called";
        } else {
            EXPECT_EQ(answer, SlotAnswer(shared->second, argument));
            EXPECT_EQ(currentCalls.slots,
                      (std::vector<std::pair<int, intptr_t>>{{shared->second, argument}}));
        }
    }
    currentCalls.slots.clear();
    uint32_t first = 0xFFFFFFFF;
    uint32_t second = 0xFFFFFFFF;
    EXPECT_EQ(adapter->ops->slot9(adapter, &first, &second), 0);
    EXPECT_EQ(std::make_pair(first, second), std::make_pair(0u, 0u));
    EXPECT_TRUE(currentCalls.slots.empty());
    DeleteTrackAdapter(adapter);
    EXPECT_EQ(currentCalls.destroyed, 0);
}

TEST_F(TrackAdapterTest, SlotZeroFreesTheWrappedTrackOnlyWhenOwned) {
    for (const bool owns : {false, true}) {
        SCOPED_TRACE(owns);
        oldCalls.destroyed = 0;
        currentCalls.destroyed = 0;
        BurnIsoTrack* overOld = WrapOldIsoTrack(&old.base, owns);
        ASSERT_NE(AsOldTrackAdapter(overOld), nullptr);
        EXPECT_EQ(AsOldTrackAdapter(overOld)->owns, owns);
        EXPECT_EQ(AsOldTrackAdapter(overOld)->wrapped, &old.base);
        overOld->ops->destroy(overOld);
        EXPECT_EQ(oldCalls.destroyed, owns ? 1 : 0);

        BurnOldIsoTrack* overCurrent = WrapCurrentIsoTrack(&current.base, owns);
        ASSERT_NE(AsCurrentTrackAdapter(overCurrent), nullptr);
        EXPECT_EQ(AsCurrentTrackAdapter(overCurrent)->owns, owns);
        overCurrent->ops->destroy(overCurrent);
        EXPECT_EQ(currentCalls.destroyed, owns ? 1 : 0);
    }
}

TEST_F(TrackAdapterTest, AdaptersOverAdaptersReachTheTrackAndFreeItOnce) {
    // An old engine's track as the program holds it, and as that engine is
    // handed it again for a burn.
    BurnIsoTrack* held = WrapOldIsoTrack(&old.base, true);
    BurnOldIsoTrack* handed = WrapCurrentIsoTrack(held, false);
    for (const auto& slot : kOldCallSlots) {
        SCOPED_TRACE(slot.number);
        oldCalls.slots.clear();
        const intptr_t answer = (handed->ops->*slot.member)(handed, slot.number);
        const bool shared =
            slot.number <= 4 || slot.number == 10 || slot.number == 11 || slot.number >= 13;
        EXPECT_EQ(answer, shared ? SlotAnswer(slot.number, slot.number) : 0);
        EXPECT_EQ(oldCalls.slots.size(), shared ? 1u : 0u);
    }
    DeleteTrackAdapter(handed);
    EXPECT_EQ(oldCalls.destroyed, 0);
    // Freed as an old engine frees it: the adapter it is handed owns the rest.
    BurnOldIsoTrack* freed = WrapCurrentIsoTrack(held, true);
    freed->ops->destroy(freed);
    EXPECT_EQ(oldCalls.destroyed, 1);
}

TEST_F(TrackAdapterTest, NullIsNotWrappedAndOnlyAdaptersAreDeleted) {
    EXPECT_EQ(WrapOldIsoTrack(nullptr, true), nullptr);
    EXPECT_EQ(WrapCurrentIsoTrack(nullptr, true), nullptr);
    DeleteTrackAdapter(static_cast<BurnIsoTrack*>(nullptr));
    DeleteTrackAdapter(static_cast<BurnOldIsoTrack*>(nullptr));
    // A track that is not an adapter is left to its engine.
    DeleteTrackAdapter(&current.base);
    DeleteTrackAdapter(&old.base);
    EXPECT_EQ(currentCalls.destroyed + oldCalls.destroyed, 0);
    EXPECT_EQ(AsOldTrackAdapter(&current.base), nullptr);
    EXPECT_EQ(AsCurrentTrackAdapter(&old.base), nullptr);
}

TEST(TrackArguments, OlderEnginesTakeTheRecordWithZeroInItsFirstMember) {
    const BurnTrackArguments arguments{sizeof(BurnTrackArguments), 0x11111111, 0x22222222,
                                       0x33333333, 0x44444444};
    const BurnTrackArguments converted = ConvertTrackArguments(arguments);
    const std::uint8_t expected[20] = {0,    0,    0,    0,    0x11, 0x11, 0x11, 0x11, 0x22, 0x22,
                                       0x22, 0x22, 0x33, 0x33, 0x33, 0x33, 0x44, 0x44, 0x44, 0x44};
    ASSERT_EQ(sizeof converted, 20u);
    EXPECT_EQ(std::memcmp(&converted, expected, 20), 0);
    EXPECT_EQ(arguments.size, 20u);
}

}  // namespace
