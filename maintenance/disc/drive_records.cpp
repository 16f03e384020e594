#include "maintenance/disc/drive_records.h"

#include <string.h>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

namespace {

// The old record's layout is the old engines' own; these are its offsets.
static_assert(sizeof(BurnOldDriveRecord) == 360);
static_assert(offsetof(BurnOldDriveRecord, adapterName) == 0x20);
static_assert(offsetof(BurnOldDriveRecord, bus) == 0x28);
static_assert(offsetof(BurnOldDriveRecord, target) == 0x2C);
static_assert(offsetof(BurnOldDriveRecord, unit) == 0x30);
static_assert(offsetof(BurnOldDriveRecord, flags) == 0x34);
static_assert(offsetof(BurnOldDriveRecord, capabilities) == 0x38);
static_assert(offsetof(BurnOldDriveRecord, readSpeedCount) == 0x3C);
static_assert(offsetof(BurnOldDriveRecord, readSpeeds) == 0x40);
static_assert(offsetof(BurnOldDriveRecord, writeSpeedCount) == 0x90);
static_assert(offsetof(BurnOldDriveRecord, writeSpeeds) == 0x94);
static_assert(offsetof(BurnOldDriveRecord, kind) == 0xE4);
static_assert(offsetof(BurnOldDriveRecord, revision) == 0xE8);
static_assert(offsetof(BurnOldDriveRecord, bufferSize) == 0x108);
static_assert(sizeof(BurnOldDriveList) == 8);

// The old record keeps three characters of the adapter's name.
constexpr std::size_t kOldAdapterCharacters = 3;

// Copies at most `limit` characters of the zero-ended (or full) text `from`
// of `capacity` bytes into `to`, which is zero-filled and larger than `limit`.
void CopyText(char* to, std::size_t limit, const char* from, std::size_t capacity) {
    std::memcpy(to, from, std::min(strnlen(from, capacity), limit));
}

std::uint32_t TimesBase(std::uint32_t multiple) {
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    return multiple > kMax / BURN_SPEED_BASE_KBPS ? kMax : multiple * BURN_SPEED_BASE_KBPS;
}

void SpeedsFromOld(std::uint32_t count, const std::uint32_t* multiples, BurnSpeedList& speeds) {
    speeds.count = count;
    speeds.baseKBps = BURN_SPEED_BASE_KBPS;
    for (std::uint32_t i = 0; i < count; ++i) {
        speeds.kBps[i] = TimesBase(multiples[i]);
        speeds.multiples[i] = multiples[i];
    }
}

void SpeedsToOld(const BurnSpeedList& speeds, std::uint32_t& count, std::uint32_t* multiples) {
    count = std::min<std::uint32_t>(speeds.count, BURN_OLD_SPEED_COUNT_MAX);
    std::copy_n(speeds.multiples, count, multiples);
    if (speeds.count > BURN_OLD_SPEED_COUNT_MAX) {
        multiples[BURN_OLD_SPEED_COUNT_MAX - 1] = speeds.multiples[speeds.count - 1];
    }
}

// The numbers both records hold, copied as they are, either way.
template <typename To, typename From>
void CopyNumbers(const From& from, To& to) {
    to.bus = from.bus;
    to.target = from.target;
    to.unit = from.unit;
    to.flags = from.flags;
    to.capabilities = from.capabilities;
    to.kind = from.kind;
    to.bufferSize = from.bufferSize;
}

void RecordFromOld(const BurnOldDriveRecord& old, BurnDriveRecord& current) {
    std::memset(&current, 0, sizeof current);
    current.size = sizeof current;
    CopyText(current.name, BURN_OLD_DRIVE_NAME_SIZE - 1, old.name, sizeof old.name);
    CopyText(current.adapterName, kOldAdapterCharacters, old.adapterName, sizeof old.adapterName);
    CopyText(current.revision, BURN_OLD_DRIVE_REVISION_SIZE - 1, old.revision, sizeof old.revision);
    CopyNumbers(old, current);
    SpeedsFromOld(old.readSpeedCount, old.readSpeeds, current.readSpeeds);
    SpeedsFromOld(old.writeSpeedCount, old.writeSpeeds, current.writeSpeeds);
}

}  // namespace

bool IsDriveListSound(const BurnDriveList* list) {
    if (list == nullptr || list->size < sizeof(BurnDriveList) ||
        list->recordSize != sizeof(BurnDriveRecord)) {
        return false;
    }
    if (list->count == 0) {
        return true;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(list);
    const auto drives = reinterpret_cast<std::uintptr_t>(list->drives);
    if (drives < start + sizeof(BurnDriveList) || drives - start > list->size ||
        drives % alignof(BurnDriveRecord) != 0) {
        return false;
    }
    const std::uint64_t room = list->size - (drives - start);
    return std::uint64_t{list->count} * sizeof(BurnDriveRecord) <= room;
}

BurnDriveList* ConvertOldDriveList(const BurnOldDriveList* old, DriveListAllocator allocate) {
    if (old == nullptr || allocate == nullptr) {
        return nullptr;
    }
    BurnOldDriveList header;
    std::memcpy(&header, old, sizeof header);
    if (header.size < sizeof header ||
        header.count > (header.size - sizeof header) / sizeof(BurnOldDriveRecord)) {
        return nullptr;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(old) + sizeof header;
    for (std::uint32_t i = 0; i < header.count; ++i) {
        BurnOldDriveRecord record;
        std::memcpy(&record, bytes + i * sizeof record, sizeof record);
        if (record.readSpeedCount > BURN_OLD_SPEED_COUNT_MAX ||
            record.writeSpeedCount > BURN_OLD_SPEED_COUNT_MAX) {
            return nullptr;
        }
    }
    const std::uint64_t total =
        sizeof(BurnDriveList) + std::uint64_t{header.count} * sizeof(BurnDriveRecord);
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        return nullptr;
    }
    auto* list = static_cast<BurnDriveList*>(allocate(static_cast<std::uint32_t>(total)));
    if (list == nullptr) {
        return nullptr;
    }
    std::memset(list, 0, sizeof *list);
    list->size = static_cast<std::uint32_t>(total);
    list->count = header.count;
    list->recordSize = sizeof(BurnDriveRecord);
    auto* drives = reinterpret_cast<BurnDriveRecord*>(list + 1);
    for (std::uint32_t i = 0; i < header.count; ++i) {
        BurnOldDriveRecord record;
        std::memcpy(&record, bytes + i * sizeof record, sizeof record);
        RecordFromOld(record, drives[i]);
    }
    list->drives = drives;
    return list;
}

bool MakeOldDriveRecord(const BurnDriveRecord& current, BurnOldDriveRecord& old) {
    std::memset(&old, 0, sizeof old);
    if (current.readSpeeds.count > BURN_SPEED_COUNT_MAX ||
        current.writeSpeeds.count > BURN_SPEED_COUNT_MAX) {
        return false;
    }
    CopyText(old.name, BURN_OLD_DRIVE_NAME_SIZE - 1, current.name, sizeof current.name);
    CopyText(old.adapterName, BURN_ADAPTER_NAME_SIZE - 1, current.adapterName,
             sizeof current.adapterName);
    CopyText(old.revision, BURN_OLD_DRIVE_REVISION_SIZE - 1, current.revision,
             sizeof current.revision);
    CopyNumbers(current, old);
    SpeedsToOld(current.readSpeeds, old.readSpeedCount, old.readSpeeds);
    SpeedsToOld(current.writeSpeeds, old.writeSpeedCount, old.writeSpeeds);
    return true;
}
