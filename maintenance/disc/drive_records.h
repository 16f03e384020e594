#pragma once

// The engines' drive lists: the check that a list fits the block it comes
// in, and the conversions between the current drive record and the smaller
// one of engines whose EngineGetAPIVersion is below 5555. Fields the two
// records share are copied as they are; names and the revision text are cut
// to what the smaller record holds; a speed S of the old record is S times
// the base speed of 150 KB/s.

#include <cstdint>

#include "platform/burn_engine_api.h"

// Whether the list's records lie inside its block, as its header says, in
// records of the size this program knows. A list that does not counts as
// no list.
bool IsDriveListSound(const BurnDriveList* list);

// Memory for the converted list: the engine's own (EngineCreateIsoItemOfSize),
// so that the list is given back like any list of the engine's.
using DriveListAllocator = void* (*)(std::uint32_t size);

// A current list with the drives of an old engine's list, each record
// zero-filled and then filled from the old one; null when the old list does
// not fit its block, a speed count exceeds what its record holds, or no
// memory is given.
BurnDriveList* ConvertOldDriveList(const BurnOldDriveList* old, DriveListAllocator allocate);

// `current` as an old engine takes it, in `old` (zero-filled first). Speed
// lists longer than the old record's 20 entries keep their first 19 and the
// last. False, with `old` zeroed, when a speed count exceeds the current
// record's own lists.
bool MakeOldDriveRecord(const BurnDriveRecord& current, BurnOldDriveRecord& old);
