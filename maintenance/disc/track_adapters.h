#pragma once

// ISO tracks between the two track interfaces of the burning engines.
// Engines from 5.5.9.16 on make and take tracks with the 30-slot interface
// (BurnIsoTrackOps), older ones with the 20-slot one (BurnOldIsoTrackOps).
// An adapter presents one interface over a track of the other, so the disc
// writer always holds a current track and an old engine always sees an old
// one. The slots the two interfaces share are passed through:
//
//   current slot   1  2  3  4  10  11  21  22  23  24  25  26  27
//   old slot       1  2  3  4  10  11  13  14  15  16  17  18  19
//
// Every other slot of an adapter answers 0 without calling the wrapped
// track; slot 9 also sets its two outputs to 0, and slot 29 of the current
// interface its eight. Slot 0 deletes the adapter, and the wrapped track
// through the track's own slot 0 when the adapter owns it.

#include <cstddef>

#include "platform/burn_engine_api.h"

// The current interface over an old engine's track.
struct OldTrackAdapter {
    BurnIsoTrack track;  // first: the adapter is handed out as this
    BurnOldIsoTrack* wrapped;
    bool owns;
};

// The old interface over a current track.
struct CurrentTrackAdapter {
    BurnOldIsoTrack track;  // first: the adapter is handed out as this
    BurnIsoTrack* wrapped;
    bool owns;
};

// A new adapter over `track`; null for a null track.
BurnIsoTrack* WrapOldIsoTrack(BurnOldIsoTrack* track, bool owns);
BurnOldIsoTrack* WrapCurrentIsoTrack(BurnIsoTrack* track, bool owns);

// Deletes an adapter made above (through its slot 0); nothing for null.
void DeleteTrackAdapter(BurnIsoTrack* adapter);
void DeleteTrackAdapter(BurnOldIsoTrack* adapter);

// The adapter behind a track, or null when the track is not one of ours.
const OldTrackAdapter* AsOldTrackAdapter(const BurnIsoTrack* track);
const CurrentTrackAdapter* AsCurrentTrackAdapter(const BurnOldIsoTrack* track);

// Adapters made and not yet deleted, for the tests' count of what was freed.
std::ptrdiff_t LiveTrackAdapters();

// The argument record of EngineCreateIsoTrackEx as engines before 5.5.9.26
// take it: the same record with 0 in its first member.
BurnTrackArguments ConvertTrackArguments(const BurnTrackArguments& arguments);
