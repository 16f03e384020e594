#pragma once

// The slots of the two track interfaces that take one argument and answer
// a number, by slot number, for code that calls them one by one: the fake
// engine's probe of the tracks it burns, and the tests of the adapters.

#include "platform/burn_engine_api.h"

namespace fake_engine {

struct CurrentCallSlot {
    int number;
    BurnTrackCall BurnIsoTrackOps::*member;
};

struct OldCallSlot {
    int number;
    BurnOldTrackCall BurnOldIsoTrackOps::*member;
};

// Slot 0 frees the track; slot 9 (both) and slot 29 (current) fill outputs.
inline constexpr CurrentCallSlot kCurrentCallSlots[] = {
    {1, &BurnIsoTrackOps::firstItem}, {2, &BurnIsoTrackOps::volumeName},
    {3, &BurnIsoTrackOps::slot3},     {4, &BurnIsoTrackOps::slot4},
    {5, &BurnIsoTrackOps::slot5},     {6, &BurnIsoTrackOps::slot6},
    {7, &BurnIsoTrackOps::slot7},     {8, &BurnIsoTrackOps::slot8},
    {10, &BurnIsoTrackOps::slot10},   {11, &BurnIsoTrackOps::slot11},
    {12, &BurnIsoTrackOps::slot12},   {13, &BurnIsoTrackOps::slot13},
    {14, &BurnIsoTrackOps::slot14},   {15, &BurnIsoTrackOps::slot15},
    {16, &BurnIsoTrackOps::slot16},   {17, &BurnIsoTrackOps::slot17},
    {18, &BurnIsoTrackOps::slot18},   {19, &BurnIsoTrackOps::slot19},
    {20, &BurnIsoTrackOps::slot20},   {21, &BurnIsoTrackOps::slot21},
    {22, &BurnIsoTrackOps::slot22},   {23, &BurnIsoTrackOps::slot23},
    {24, &BurnIsoTrackOps::slot24},   {25, &BurnIsoTrackOps::slot25},
    {26, &BurnIsoTrackOps::slot26},   {27, &BurnIsoTrackOps::slot27},
    {28, &BurnIsoTrackOps::slot28},
};

inline constexpr OldCallSlot kOldCallSlots[] = {
    {1, &BurnOldIsoTrackOps::firstItem}, {2, &BurnOldIsoTrackOps::volumeName},
    {3, &BurnOldIsoTrackOps::slot3},     {4, &BurnOldIsoTrackOps::slot4},
    {5, &BurnOldIsoTrackOps::slot5},     {6, &BurnOldIsoTrackOps::slot6},
    {7, &BurnOldIsoTrackOps::slot7},     {8, &BurnOldIsoTrackOps::slot8},
    {10, &BurnOldIsoTrackOps::slot10},   {11, &BurnOldIsoTrackOps::slot11},
    {12, &BurnOldIsoTrackOps::slot12},   {13, &BurnOldIsoTrackOps::slot13},
    {14, &BurnOldIsoTrackOps::slot14},   {15, &BurnOldIsoTrackOps::slot15},
    {16, &BurnOldIsoTrackOps::slot16},   {17, &BurnOldIsoTrackOps::slot17},
    {18, &BurnOldIsoTrackOps::slot18},   {19, &BurnOldIsoTrackOps::slot19},
};

// What the fake engine's own tracks answer on a numbered slot other than
// 1 and 2, so that a caller can tell which slot it reached.
constexpr long SlotAnswer(int slot, long argument) {
    return slot * 1000L + argument;
}

}  // namespace fake_engine
