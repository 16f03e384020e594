// Fuzzes the reading of the burning engines' drive lists: an old engine's
// list converted into the current form, the check that a current list lies
// inside its block, and the old record made from a current one. Whatever the
// bytes, nothing outside them is read, and what comes out keeps to its
// fields' bounds.

#include <string.h>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "maintenance/disc/drive_records.h"

namespace {

using fuzz_support::Check;

void* Allocate(std::uint32_t size) {
    return std::malloc(size);
}

// A block's size member beyond the bytes there are is taken as the bytes
// there are: an engine's block is as large as it says.
void ClampSize(std::vector<std::uint8_t>& block, std::size_t room) {
    std::uint32_t stated = 0;
    std::memcpy(&stated, block.data(), sizeof stated);
    if (stated > room) {
        stated = static_cast<std::uint32_t>(room);
        std::memcpy(block.data(), &stated, sizeof stated);
    }
}

void CheckOldRecord(const BurnOldDriveRecord& old) {
    Check(strnlen(old.name, sizeof old.name) < sizeof old.name);
    Check(strnlen(old.adapterName, sizeof old.adapterName) < sizeof old.adapterName);
    Check(strnlen(old.revision, sizeof old.revision) < sizeof old.revision);
    Check(old.readSpeedCount <= BURN_OLD_SPEED_COUNT_MAX);
    Check(old.writeSpeedCount <= BURN_OLD_SPEED_COUNT_MAX);
}

void CheckConverted(const BurnDriveRecord& record) {
    Check(record.size == sizeof record);
    Check(strnlen(record.name, sizeof record.name) < BURN_OLD_DRIVE_NAME_SIZE);
    Check(strnlen(record.adapterName, sizeof record.adapterName) <= 3);
    Check(strnlen(record.revision, sizeof record.revision) < BURN_OLD_DRIVE_REVISION_SIZE);
    for (const BurnSpeedList* speeds : {&record.readSpeeds, &record.writeSpeeds}) {
        Check(speeds->count <= BURN_OLD_SPEED_COUNT_MAX && speeds->baseKBps == 150);
        for (std::uint32_t i = 0; i < speeds->count; ++i) {
            Check(speeds->kBps[i] == UINT32_MAX || speeds->kBps[i] == speeds->multiples[i] * 150);
        }
    }
    BurnOldDriveRecord old;
    Check(MakeOldDriveRecord(record, old));
    CheckOldRecord(old);
    Check(old.readSpeedCount == record.readSpeeds.count);
    Check(std::strcmp(old.name, record.name) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The bytes as an old engine's list.
    if (size >= sizeof(BurnOldDriveList)) {
        std::vector<std::uint8_t> block(data, data + size);
        ClampSize(block, size);
        BurnDriveList* list =
            ConvertOldDriveList(reinterpret_cast<const BurnOldDriveList*>(block.data()), &Allocate);
        if (list != nullptr) {
            Check(IsDriveListSound(list));
            for (std::uint32_t i = 0; i < list->count; ++i) {
                CheckConverted(list->drives[i]);
            }
            std::free(list);
        }
    }

    // The bytes as a current record.
    BurnDriveRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, data, std::min(size, sizeof record));
    BurnOldDriveRecord old;
    if (MakeOldDriveRecord(record, old)) {
        CheckOldRecord(old);
    } else {
        Check(record.readSpeeds.count > BURN_SPEED_COUNT_MAX ||
              record.writeSpeeds.count > BURN_SPEED_COUNT_MAX);
    }

    // The bytes as a current list whose records lie where bytes 12..15 say,
    // inside the block or not; a list found sound is read whole.
    if (size >= sizeof(BurnDriveList)) {
        std::vector<std::uint64_t> storage((size + 7) / 8);
        auto* bytes = reinterpret_cast<std::uint8_t*>(storage.data());
        std::vector<std::uint8_t> header(data, data + size);
        ClampSize(header, size);
        std::memcpy(bytes, header.data(), size);
        auto* list = reinterpret_cast<BurnDriveList*>(bytes);
        std::int32_t offset = 0;
        std::memcpy(&offset, data + 12, sizeof offset);
        list->drives = reinterpret_cast<const BurnDriveRecord*>(
            reinterpret_cast<std::intptr_t>(bytes) + offset);
        if (IsDriveListSound(list)) {
            for (std::uint32_t i = 0; i < list->count; ++i) {
                Check(strnlen(list->drives[i].name, sizeof list->drives[i].name) <=
                      sizeof list->drives[i].name);
            }
        }
    }
    return 0;
}
