#include "maintenance/disc/track_adapters.h"

#include <atomic>
#include <cstdint>
#include <type_traits>

namespace {

static_assert(sizeof(BurnIsoTrackOps) == 30 * sizeof(void*));
static_assert(sizeof(BurnOldIsoTrackOps) == 20 * sizeof(void*));
static_assert(offsetof(BurnIsoTrackOps, slot29) == 29 * sizeof(void*));
static_assert(offsetof(BurnOldIsoTrackOps, slot19) == 19 * sizeof(void*));
static_assert(sizeof(BurnTrackArguments) == 20);
static_assert(std::is_standard_layout_v<OldTrackAdapter> &&
              std::is_standard_layout_v<CurrentTrackAdapter>);

std::atomic<std::ptrdiff_t> g_liveAdapters{0};

OldTrackAdapter* OldAdapterOf(BurnIsoTrack* track) {
    return reinterpret_cast<OldTrackAdapter*>(track);
}

CurrentTrackAdapter* CurrentAdapterOf(BurnOldIsoTrack* track) {
    return reinterpret_cast<CurrentTrackAdapter*>(track);
}

// A slot of the current interface passed on to slot `Old` of the old track.
template <BurnOldTrackCall BurnOldIsoTrackOps::*Old>
intptr_t ToOld(BurnIsoTrack* self, intptr_t argument) {
    BurnOldIsoTrack* wrapped = OldAdapterOf(self)->wrapped;
    const BurnOldTrackCall call = wrapped->ops->*Old;
    return call != nullptr ? call(wrapped, argument) : 0;
}

// A slot of the old interface passed on to slot `Current` of the current track.
template <BurnTrackCall BurnIsoTrackOps::*Current>
intptr_t ToCurrent(BurnOldIsoTrack* self, intptr_t argument) {
    BurnIsoTrack* wrapped = CurrentAdapterOf(self)->wrapped;
    const BurnTrackCall call = wrapped->ops->*Current;
    return call != nullptr ? call(wrapped, argument) : 0;
}

template <typename Track>
intptr_t Nothing(Track*, intptr_t) {
    return 0;
}

template <typename Track>
intptr_t NoPair(Track*, uint32_t* first, uint32_t* second) {
    for (uint32_t* out : {first, second}) {
        if (out != nullptr) {
            *out = 0;
        }
    }
    return 0;
}

intptr_t NoEight(BurnIsoTrack*, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* d, uint32_t* e,
                 uint32_t* f, uint32_t* g, uint32_t* h) {
    for (uint32_t* out : {a, b, c, d, e, f, g, h}) {
        if (out != nullptr) {
            *out = 0;
        }
    }
    return 0;
}

void DestroyOldAdapter(BurnIsoTrack* self) {
    OldTrackAdapter* adapter = OldAdapterOf(self);
    if (adapter->owns && adapter->wrapped != nullptr && adapter->wrapped->ops->destroy != nullptr) {
        adapter->wrapped->ops->destroy(adapter->wrapped);
    }
    delete adapter;
    --g_liveAdapters;
}

void DestroyCurrentAdapter(BurnOldIsoTrack* self) {
    CurrentTrackAdapter* adapter = CurrentAdapterOf(self);
    if (adapter->owns && adapter->wrapped != nullptr && adapter->wrapped->ops->destroy != nullptr) {
        adapter->wrapped->ops->destroy(adapter->wrapped);
    }
    delete adapter;
    --g_liveAdapters;
}

constexpr auto kZero = &Nothing<BurnIsoTrack>;
constexpr auto kOldZero = &Nothing<BurnOldIsoTrack>;

constexpr BurnIsoTrackOps kOldTrackAdapterOps = {
    .destroy = &DestroyOldAdapter,
    .firstItem = &ToOld<&BurnOldIsoTrackOps::firstItem>,
    .volumeName = &ToOld<&BurnOldIsoTrackOps::volumeName>,
    .slot3 = &ToOld<&BurnOldIsoTrackOps::slot3>,
    .slot4 = &ToOld<&BurnOldIsoTrackOps::slot4>,
    .slot5 = kZero,
    .slot6 = kZero,
    .slot7 = kZero,
    .slot8 = kZero,
    .slot9 = &NoPair<BurnIsoTrack>,
    .slot10 = &ToOld<&BurnOldIsoTrackOps::slot10>,
    .slot11 = &ToOld<&BurnOldIsoTrackOps::slot11>,
    .slot12 = kZero,
    .slot13 = kZero,
    .slot14 = kZero,
    .slot15 = kZero,
    .slot16 = kZero,
    .slot17 = kZero,
    .slot18 = kZero,
    .slot19 = kZero,
    .slot20 = kZero,
    .slot21 = &ToOld<&BurnOldIsoTrackOps::slot13>,
    .slot22 = &ToOld<&BurnOldIsoTrackOps::slot14>,
    .slot23 = &ToOld<&BurnOldIsoTrackOps::slot15>,
    .slot24 = &ToOld<&BurnOldIsoTrackOps::slot16>,
    .slot25 = &ToOld<&BurnOldIsoTrackOps::slot17>,
    .slot26 = &ToOld<&BurnOldIsoTrackOps::slot18>,
    .slot27 = &ToOld<&BurnOldIsoTrackOps::slot19>,
    .slot28 = kZero,
    .slot29 = &NoEight,
};

constexpr BurnOldIsoTrackOps kCurrentTrackAdapterOps = {
    .destroy = &DestroyCurrentAdapter,
    .firstItem = &ToCurrent<&BurnIsoTrackOps::firstItem>,
    .volumeName = &ToCurrent<&BurnIsoTrackOps::volumeName>,
    .slot3 = &ToCurrent<&BurnIsoTrackOps::slot3>,
    .slot4 = &ToCurrent<&BurnIsoTrackOps::slot4>,
    .slot5 = kOldZero,
    .slot6 = kOldZero,
    .slot7 = kOldZero,
    .slot8 = kOldZero,
    .slot9 = &NoPair<BurnOldIsoTrack>,
    .slot10 = &ToCurrent<&BurnIsoTrackOps::slot10>,
    .slot11 = &ToCurrent<&BurnIsoTrackOps::slot11>,
    .slot12 = kOldZero,
    .slot13 = &ToCurrent<&BurnIsoTrackOps::slot21>,
    .slot14 = &ToCurrent<&BurnIsoTrackOps::slot22>,
    .slot15 = &ToCurrent<&BurnIsoTrackOps::slot23>,
    .slot16 = &ToCurrent<&BurnIsoTrackOps::slot24>,
    .slot17 = &ToCurrent<&BurnIsoTrackOps::slot25>,
    .slot18 = &ToCurrent<&BurnIsoTrackOps::slot26>,
    .slot19 = &ToCurrent<&BurnIsoTrackOps::slot27>,
};

}  // namespace

BurnIsoTrack* WrapOldIsoTrack(BurnOldIsoTrack* track, bool owns) {
    if (track == nullptr) {
        return nullptr;
    }
    auto* adapter = new OldTrackAdapter{{&kOldTrackAdapterOps}, track, owns};
    ++g_liveAdapters;
    return &adapter->track;
}

BurnOldIsoTrack* WrapCurrentIsoTrack(BurnIsoTrack* track, bool owns) {
    if (track == nullptr) {
        return nullptr;
    }
    auto* adapter = new CurrentTrackAdapter{{&kCurrentTrackAdapterOps}, track, owns};
    ++g_liveAdapters;
    return &adapter->track;
}

void DeleteTrackAdapter(BurnIsoTrack* adapter) {
    if (AsOldTrackAdapter(adapter) != nullptr) {
        DestroyOldAdapter(adapter);
    }
}

void DeleteTrackAdapter(BurnOldIsoTrack* adapter) {
    if (AsCurrentTrackAdapter(adapter) != nullptr) {
        DestroyCurrentAdapter(adapter);
    }
}

const OldTrackAdapter* AsOldTrackAdapter(const BurnIsoTrack* track) {
    return track != nullptr && track->ops == &kOldTrackAdapterOps
               ? reinterpret_cast<const OldTrackAdapter*>(track)
               : nullptr;
}

const CurrentTrackAdapter* AsCurrentTrackAdapter(const BurnOldIsoTrack* track) {
    return track != nullptr && track->ops == &kCurrentTrackAdapterOps
               ? reinterpret_cast<const CurrentTrackAdapter*>(track)
               : nullptr;
}

std::ptrdiff_t LiveTrackAdapters() {
    return g_liveAdapters.load();
}

BurnTrackArguments ConvertTrackArguments(const BurnTrackArguments& arguments) {
    BurnTrackArguments converted = arguments;
    converted.size = 0;
    return converted;
}
