#include "maintenance/disc/drive_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "tests/maintenance/disc/drive_record_samples.h"

namespace {

using disc_test::CountingSpeeds;
using disc_test::OldDriveBytes;
using disc_test::SampleCurrentRecord;
using disc_test::SampleOldBytes;
using disc_test::SetSpeeds;

// Engine memory as an engine may hand it out: not zeroed.
int g_allocations = 0;
void* DirtyAllocate(std::uint32_t size) {
    ++g_allocations;
    void* memory = std::malloc(size);
    std::memset(memory, 0xAB, size);
    return memory;
}

TEST(OldDriveRecord, KeepsTheFieldsAtTheOldOffsetsWithTextsAndSpeedsCut) {
    BurnOldDriveRecord old;
    std::memset(&old, 0x5A, sizeof old);
    ASSERT_TRUE(MakeOldDriveRecord(SampleCurrentRecord(), old));
    ASSERT_EQ(sizeof old, OldDriveBytes::kSize);
    EXPECT_EQ(std::memcmp(&old, SampleOldBytes().bytes().data(), sizeof old), 0)
        << "old record differs from the expected bytes";
}

TEST(OldDriveRecord, SpeedListsOfEveryLengthFitTwentyEntries) {
    struct Case {
        std::uint32_t count;
        std::uint32_t oldCount;
        std::uint32_t twentieth;  // the old list's last entry when full
    };
    const Case cases[] = {
        {0, 0, 0}, {1, 1, 0}, {19, 19, 0}, {20, 20, 120}, {21, 20, 121}, {64, 20, 164},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        BurnDriveRecord current = SampleCurrentRecord();
        SetSpeeds(current.writeSpeeds, CountingSpeeds(c.count, 101));
        BurnOldDriveRecord old;
        ASSERT_TRUE(MakeOldDriveRecord(current, old));
        EXPECT_EQ(old.writeSpeedCount, c.oldCount);
        for (std::uint32_t i = 0; i + 1 < c.oldCount; ++i) {
            EXPECT_EQ(old.writeSpeeds[i], 101 + i);
        }
        if (c.oldCount == 20) {
            EXPECT_EQ(old.writeSpeeds[19], c.twentieth);
        }
        for (std::uint32_t i = c.oldCount; i < BURN_OLD_SPEED_COUNT_MAX; ++i) {
            EXPECT_EQ(old.writeSpeeds[i], 0u);
        }
    }
}

TEST(OldDriveRecord, ACountBeyondTheCurrentListIsRefused) {
    for (const bool write : {false, true}) {
        BurnDriveRecord current = SampleCurrentRecord();
        (write ? current.writeSpeeds : current.readSpeeds).count = BURN_SPEED_COUNT_MAX + 1;
        BurnOldDriveRecord old;
        std::memset(&old, 0x5A, sizeof old);
        EXPECT_FALSE(MakeOldDriveRecord(current, old));
        const std::vector<std::uint8_t> zero(sizeof old, 0);
        EXPECT_EQ(std::memcmp(&old, zero.data(), sizeof old), 0);
    }
}

// An old engine's list block: the size and count, then the records.
std::vector<std::uint8_t> OldList(const std::vector<OldDriveBytes>& records,
                                  std::uint32_t extraCount = 0) {
    std::vector<std::uint8_t> block(8);
    const auto size = static_cast<std::uint32_t>(8 + records.size() * OldDriveBytes::kSize);
    const auto count = static_cast<std::uint32_t>(records.size()) + extraCount;
    std::memcpy(block.data(), &size, 4);
    std::memcpy(block.data() + 4, &count, 4);
    for (const OldDriveBytes& record : records) {
        block.insert(block.end(), record.bytes().begin(), record.bytes().end());
    }
    return block;
}

OldDriveBytes OldRecord(const std::string& name, const std::vector<std::uint32_t>& read,
                        const std::vector<std::uint32_t>& write) {
    return OldDriveBytes()
        .Text(0x00, name)
        .Text(0x20, "ide1234")
        .Number(0x28, 7)
        .Number(0x2C, 8)
        .Number(0x30, 9)
        .Byte(0x34, 0x44)
        .Number(0x38, 0xBEEF)
        .Speeds(0x3C, read)
        .Speeds(0x90, write)
        .Number(0xE4, 3)
        .Text(0xE8, "2.10")
        .Number(0x108, 4096);
}

const BurnOldDriveList* AsOldList(const std::vector<std::uint8_t>& block) {
    return reinterpret_cast<const BurnOldDriveList*>(block.data());
}

TEST(OldDriveList, BecomesACurrentListOfZeroFilledRecordsInEngineMemory) {
    const auto block = OldList({OldRecord(std::string(31, 'A'), {1, 2, 4}, {}),
                                OldRecord("B", CountingSpeeds(20, 1), {0x7FFFFFFF})});
    g_allocations = 0;
    BurnDriveList* list = ConvertOldDriveList(AsOldList(block), &DirtyAllocate);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(g_allocations, 1);
    EXPECT_TRUE(IsDriveListSound(list));
    EXPECT_EQ(list->size, sizeof(BurnDriveList) + 2 * sizeof(BurnDriveRecord));
    EXPECT_EQ(list->count, 2u);
    EXPECT_EQ(list->recordSize, sizeof(BurnDriveRecord));
    EXPECT_EQ(reinterpret_cast<const void*>(list->drives), static_cast<const void*>(list + 1));

    struct Expected {
        std::string name;
        std::vector<std::uint32_t> read;
        std::vector<std::uint32_t> write;
    };
    const Expected drives[] = {{std::string(31, 'A'), {1, 2, 4}, {}},
                               {"B", CountingSpeeds(20, 1), {0x7FFFFFFF}}};
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        BurnDriveRecord expected;
        std::memset(&expected, 0, sizeof expected);
        expected.size = sizeof expected;
        std::memcpy(expected.name, drives[i].name.data(), drives[i].name.size());
        std::memcpy(expected.adapterName, "ide", 3);  // three characters are kept
        expected.bus = 7;
        expected.target = 8;
        expected.unit = 9;
        expected.flags = 0x44;
        expected.capabilities = 0xBEEF;
        SetSpeeds(expected.readSpeeds, drives[i].read);
        SetSpeeds(expected.writeSpeeds, drives[i].write);
        expected.kind = 3;
        std::memcpy(expected.revision, "2.10", 4);
        expected.bufferSize = 4096;
        if (i == 1) {
            // A speed beyond what KB/s can hold saturates.
            expected.writeSpeeds.kBps[0] = std::numeric_limits<std::uint32_t>::max();
        }
        EXPECT_EQ(std::memcmp(&list->drives[i], &expected, sizeof expected), 0)
            << "converted record differs";
    }
    std::free(list);
}

TEST(OldDriveList, ThatDoesNotFitItsBlockCountsAsNone) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> block;
    };
    auto shortSize = OldList({OldRecord("A", {}, {})});
    const std::uint32_t four = 4;
    std::memcpy(shortSize.data(), &four, 4);
    auto cutSize = OldList({OldRecord("A", {}, {})});
    const std::uint32_t almost = 8 + 359;
    std::memcpy(cutSize.data(), &almost, 4);
    const std::vector<Case> cases = {
        {"a count beyond the records", OldList({OldRecord("A", {}, {})}, 1)},
        {"a size below the header", shortSize},
        {"a size one byte short of the record", cutSize},
        {"21 read speeds", OldList({OldRecord("A", CountingSpeeds(21, 1), {})})},
        {"21 write speeds",
         OldList({OldRecord("A", {}, {}), OldRecord("B", {}, CountingSpeeds(21, 1))})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_allocations = 0;
        EXPECT_EQ(ConvertOldDriveList(AsOldList(c.block), &DirtyAllocate), nullptr);
        EXPECT_EQ(g_allocations, 0);
    }
    // An empty list is a list, with no drives.
    const auto empty = OldList({});
    BurnDriveList* list = ConvertOldDriveList(AsOldList(empty), &DirtyAllocate);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count, 0u);
    EXPECT_TRUE(IsDriveListSound(list));
    std::free(list);
    EXPECT_EQ(ConvertOldDriveList(nullptr, &DirtyAllocate), nullptr);
}

TEST(OldDriveList, RecordsComeBackAsTheyWereWhenTheirTextsFit) {
    const OldDriveBytes record = OldDriveBytes()
                                     .Text(0x00, "Plextor")
                                     .Text(0x20, "ha0")
                                     .Number(0x28, 1)
                                     .Byte(0x34, 2)
                                     .Speeds(0x3C, CountingSpeeds(20, 3))
                                     .Speeds(0x90, {8})
                                     .Text(0xE8, std::string(31, 'v'))
                                     .Number(0x108, 5);
    const auto block = OldList({record});
    BurnDriveList* list = ConvertOldDriveList(AsOldList(block), &DirtyAllocate);
    ASSERT_NE(list, nullptr);
    BurnOldDriveRecord back;
    ASSERT_TRUE(MakeOldDriveRecord(list->drives[0], back));
    EXPECT_EQ(std::memcmp(&back, record.bytes().data(), sizeof back), 0);
    std::free(list);
}

TEST(DriveList, IsSoundOnlyWhenItsRecordsLieInsideItsBlock) {
    // Room for two records after the header.
    const std::size_t bytes = sizeof(BurnDriveList) + 2 * sizeof(BurnDriveRecord);
    std::vector<std::uint64_t> storage(bytes / 8 + 1);
    auto* list = reinterpret_cast<BurnDriveList*>(storage.data());
    const auto* first = reinterpret_cast<const BurnDriveRecord*>(list + 1);
    // Records at `offset` bytes from the list's start, inside its block or not.
    const auto at = [list](std::ptrdiff_t offset) {
        return reinterpret_cast<const BurnDriveRecord*>(reinterpret_cast<std::intptr_t>(list) +
                                                        offset);
    };
    struct Case {
        const char* what;
        std::uint32_t size;
        std::uint32_t count;
        std::uint32_t recordSize;
        const BurnDriveRecord* drives;
        bool sound;
    };
    const auto size = static_cast<std::uint32_t>(bytes);
    const std::uint32_t record = sizeof(BurnDriveRecord);
    const Case cases[] = {
        {"two records", size, 2, record, first, true},
        {"one of two", size, 1, record, first, true},
        {"none, no records", sizeof(BurnDriveList), 0, record, nullptr, true},
        {"a count beyond the block", size, 3, record, first, false},
        {"a block one byte short", size - 1, 2, record, first, false},
        {"a size below the header", 8, 0, record, nullptr, false},
        {"records of another size", size, 1, record - 4, first, false},
        {"records over the header", size, 1, record, at(8), false},
        {"records outside the block", size, 1, record, at(static_cast<std::ptrdiff_t>(bytes) + 64),
         false},
        {"records before the block", size, 1, record, at(-4096), false},
        {"no records where some are counted", size, 1, record, nullptr, false},
        {"misaligned records", size, 1, record, at(sizeof(BurnDriveList) + 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        list->size = c.size;
        list->count = c.count;
        list->recordSize = c.recordSize;
        list->drives = c.drives;
        EXPECT_EQ(IsDriveListSound(list), c.sound);
    }
    EXPECT_FALSE(IsDriveListSound(nullptr));
}

}  // namespace
