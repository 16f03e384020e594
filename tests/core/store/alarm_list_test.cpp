#include "core/store/alarm_list.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/state/app_global_state.h"
#include "tests/support/core/global_state.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace {

using test_support::ReadBytes;
using test_support::WriteBytes;

using Bytes = std::vector<std::uint8_t>;

AlarmDBItem_Struct Record(const std::string& path, std::uint32_t frames) {
    AlarmDBItem_Struct item;
    std::copy(path.begin(), path.end(), item.path.begin());
    item.frameCount = frames;
    item.startTime = SystemTime{2024, 5, 0, 17, 13, 4, 59, 0};
    const std::string ip = "10.0.0.7";
    std::copy(ip.begin(), ip.end(), item.sourceIP.begin());
    return item;
}

// A list file: the header (magic, count) and the records.
Bytes ListBytes(std::uint16_t magic, std::uint16_t count,
                const std::vector<AlarmDBItem_Struct>& records) {
    Bytes bytes{static_cast<std::uint8_t>(magic), static_cast<std::uint8_t>(magic >> 8),
                static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8)};
    for (const AlarmDBItem_Struct& r : records) {
        const auto b = r.ToBytes();
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    return bytes;
}

std::vector<AlarmDBItem_Struct> Records(std::size_t count, const std::string& prefix = "/rec/A") {
    std::vector<AlarmDBItem_Struct> records;
    for (std::size_t i = 0; i < count; ++i) {
        records.push_back(
            Record(prefix + std::to_string(i) + ".kst", static_cast<std::uint32_t>(i)));
    }
    return records;
}

// What the file holds, read from its bytes here rather than by the store.
struct ListFile {
    std::uint16_t magic = 0;
    std::uint16_t count = 0;
    std::vector<AlarmDBItem_Struct> records;
};

ListFile ReadList(const std::filesystem::path& path) {
    const Bytes b = ReadBytes(path);
    ListFile list;
    if (b.size() < 4)
        return list;
    list.magic = static_cast<std::uint16_t>(b[0] | b[1] << 8);
    list.count = static_cast<std::uint16_t>(b[2] | b[3] << 8);
    EXPECT_EQ((b.size() - 4) % kAlarmDBItemBytes, 0u) << "partial record in the file";
    for (std::size_t at = 4; at + kAlarmDBItemBytes <= b.size(); at += kAlarmDBItemBytes) {
        list.records.push_back(AlarmDBItem_Struct::FromBytes(
            std::span<const std::uint8_t, kAlarmDBItemBytes>(b.data() + at, kAlarmDBItemBytes)));
    }
    return list;
}

std::vector<std::string> Paths(const std::vector<AlarmDBItem_Struct>& records) {
    std::vector<std::string> paths;
    for (const auto& r : records) paths.emplace_back(r.Path());
    return paths;
}

class AlarmListTest : public test_support::GlobalStateTest {
protected:
    void SetUp() override {
        GlobalStateTest::SetUp();
        g_lpApp->CSettingINI.m_strProgramDir = dir.path().string() + "/";
    }

    // Adds one record for `path`, dated, with `frames`.
    int Append(const std::string& path, std::uint32_t frames, const std::string& ip = "10.1.2.3") {
        if (store.AlarmDB_SetRecordFile(path) != 1)
            return -1;
        store.AlarmDB_SetRecordTime(SystemTime{2024, 12, 3, 31, 23, 58, 7, 900});
        return store.AlarmDB_AppendRecord(frames, ip);
    }
    std::filesystem::path File() const { return dir / "AlarmData.dat"; }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            names.push_back(e.path().filename().string());
        }
        return names;
    }

    test_support::TempDir dir;
    SystemConfig store;
};

TEST_F(AlarmListTest, FirstAppendCreatesTheFileWithOneRecord) {
    ASSERT_EQ(Append("/rec/ALARM_MJPEG_241231T235807_ab12.kst", 6000), 1);
    const Bytes b = ReadBytes(File());
    ASSERT_EQ(b.size(), 320u);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 8), (Bytes{0x87, 0x99, 1, 0, 0, 0, 0, 0}));
    // start time: year, month, day of week 0, day, hour, minute, second, ms 0
    EXPECT_EQ(Bytes(b.begin() + 8, b.begin() + 24),
              (Bytes{0xE8, 0x07, 12, 0, 0, 0, 31, 0, 23, 0, 58, 0, 7, 0, 0, 0}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 24)),
              "/rec/ALARM_MJPEG_241231T235807_ab12.kst");
    EXPECT_EQ(Bytes(b.begin() + 284, b.begin() + 288), (Bytes{0x70, 0x17, 0, 0}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 288)), "10.1.2.3");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"AlarmData.dat"});  // no temporary left
}

TEST_F(AlarmListTest, AppendsInOrderAndCountsSequenceValues) {
    WriteBytes(File(), ListBytes(kAlarmDBMagic, 3, Records(3)));
    // Nobody loaded the file since start-up: the counter starts at 0.
    ASSERT_EQ(Append("/rec/new0.kst", 1), 1);
    ASSERT_EQ(Append("/rec/new1.kst", 2), 1);
    ListFile list = ReadList(File());
    EXPECT_EQ(list.count, 5);
    EXPECT_EQ(Paths(list.records),
              (std::vector<std::string>{"/rec/A0.kst", "/rec/A1.kst", "/rec/A2.kst",
                                        "/rec/new0.kst", "/rec/new1.kst"}));
    EXPECT_EQ(list.records[3].sequence, 0);
    EXPECT_EQ(list.records[4].sequence, 1);

    // After a reader loaded the five, the next record gets 5.
    ASSERT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::Loaded);
    ASSERT_EQ(Append("/rec/new2.kst", 3), 1);
    EXPECT_EQ(ReadList(File()).records.back().sequence, 5);
}

TEST_F(AlarmListTest, AFullListDropsItsOldestRecord) {
    WriteBytes(File(), ListBytes(kAlarmDBMagic, 1023, Records(1023)));
    ASSERT_EQ(Append("/rec/last.kst", 1), 1);
    EXPECT_EQ(ReadList(File()).count, 1024);
    ASSERT_EQ(Append("/rec/beyond.kst", 2), 1);
    ListFile list = ReadList(File());
    EXPECT_EQ(list.count, 1024);
    ASSERT_EQ(list.records.size(), 1024u);
    EXPECT_EQ(list.records.front().Path(), "/rec/A1.kst");
    EXPECT_EQ(list.records[1021].Path(), "/rec/A1022.kst");
    EXPECT_EQ(list.records[1022].Path(), "/rec/last.kst");
    EXPECT_EQ(list.records.back().Path(), "/rec/beyond.kst");
}

// ---- damaged files ---------------------------------------------------------

struct DamagedCase {
    std::string name;
    Bytes file;
    int appendResult;
    // After the append: the records' paths, or nothing when the file must be
    // left byte for byte.
    std::optional<std::vector<std::string>> paths;
};

class DamagedListTest : public AlarmListTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedListTest, TheFileSizeBoundsTheRecordsAndAForeignFileIsLeftAlone) {
    WriteBytes(File(), GetParam().file);
    EXPECT_EQ(Append("/rec/new.kst", 9), GetParam().appendResult);
    if (!GetParam().paths) {
        EXPECT_EQ(ReadBytes(File()), GetParam().file);
        return;
    }
    ListFile list = ReadList(File());
    EXPECT_EQ(list.magic, kAlarmDBMagic);
    EXPECT_EQ(list.count, GetParam().paths->size());
    EXPECT_EQ(Paths(list.records), *GetParam().paths);
}

Bytes WithTail(Bytes bytes, std::size_t extra) {
    bytes.resize(bytes.size() + extra, 0xEE);
    return bytes;
}

std::vector<std::string> PathsThen(std::size_t count, const std::string& last) {
    std::vector<std::string> paths = Paths(Records(count));
    paths.push_back(last);
    return paths;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedListTest,
    ::testing::Values(
        DamagedCase{"BadMagic", ListBytes(0x1234, 2, Records(2)), 0, std::nullopt},
        DamagedCase{"SwappedMagic", ListBytes(0x8799, 2, Records(2)), 0, std::nullopt},
        DamagedCase{"Empty", {}, 0, std::nullopt},
        DamagedCase{"HalfHeader", {0x87, 0x99, 0x01}, 0, std::nullopt},
        DamagedCase{"ExcessCount", ListBytes(kAlarmDBMagic, 10, Records(3)), 1,
                    PathsThen(3, "/rec/new.kst")},
        DamagedCase{"PartialRecord", WithTail(ListBytes(kAlarmDBMagic, 3, Records(2)), 100), 1,
                    PathsThen(2, "/rec/new.kst")},
        DamagedCase{"CountBelowRecords", ListBytes(kAlarmDBMagic, 1, Records(3)), 1,
                    PathsThen(1, "/rec/new.kst")},
        DamagedCase{"HeaderOnly", ListBytes(kAlarmDBMagic, 0, {}), 1,
                    std::vector<std::string>{"/rec/new.kst"}}),
    [](const auto& instance) { return instance.param.name; });

TEST_F(AlarmListTest, AFullListShorterThanItsCountKeepsWhatItHolds) {
    WriteBytes(File(), ListBytes(kAlarmDBMagic, 2000, Records(1500)));
    ASSERT_EQ(Append("/rec/new.kst", 1), 1);
    ListFile list = ReadList(File());
    EXPECT_EQ(list.count, 1500);
    EXPECT_EQ(list.records.front().Path(), "/rec/A1.kst");
    EXPECT_EQ(list.records.back().Path(), "/rec/new.kst");
}

TEST_F(AlarmListTest, TextsAreBoundedBothWays) {
    EXPECT_EQ(Append(std::string(260, 'p'), 1), -1);  // does not fit: no pending record
    EXPECT_EQ(store.AlarmDB_AppendRecord(1, "ip"), 0);
    EXPECT_FALSE(std::filesystem::exists(File()));

    ASSERT_EQ(Append(std::string(259, 'p'), 1, std::string(40, '9')), 1);
    ListFile list = ReadList(File());
    ASSERT_EQ(list.records.size(), 1u);
    EXPECT_EQ(list.records[0].Path(), std::string(259, 'p'));
    EXPECT_EQ(list.records[0].SourceIP(), std::string(31, '9'));
    EXPECT_EQ(store.AlarmDB_AppendRecord(1, "ip"), 0);  // the pending record went with the first

    // Fields without a terminator in the file are cut inside their field.
    Bytes raw = ListBytes(kAlarmDBMagic, 1, Records(1));
    std::fill(raw.begin() + 4 + 20, raw.begin() + 4 + 280, static_cast<std::uint8_t>('q'));
    std::fill(raw.begin() + 4 + 284, raw.begin() + 4 + 316, static_cast<std::uint8_t>('7'));
    WriteBytes(File(), raw);
    ASSERT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::Loaded);
    const auto items = store.AlarmDB_Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Path(), std::string(259, 'q'));
    EXPECT_EQ(items[0].SourceIP(), std::string(31, '7'));
}

// ---- the reader and the write-back ---------------------------------------------

TEST_F(AlarmListTest, LoadCreatesOrRemovesFilesItCannotList) {
    EXPECT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::Created);
    EXPECT_EQ(ReadBytes(File()), (Bytes{0x87, 0x99, 0, 0}));
    EXPECT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::Empty);

    // A file the list cannot use is set aside with its bytes, never deleted.
    const std::filesystem::path aside = File().string() + ".bad";
    const Bytes foreign = ListBytes(0x4321, 1, Records(1));
    WriteBytes(File(), foreign);
    EXPECT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::BadMagic);
    EXPECT_FALSE(std::filesystem::exists(File()));
    EXPECT_EQ(ReadBytes(aside), foreign);

    WriteBytes(File(), {0x87});
    EXPECT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::ReadFailed);
    EXPECT_FALSE(std::filesystem::exists(File()));
    EXPECT_EQ(ReadBytes(aside), (Bytes{0x87}));
    EXPECT_TRUE(store.AlarmDB_Items().empty());
}

TEST_F(AlarmListTest, LoadMarksRecordsWhoseFilesAreMissing) {
    std::ofstream(dir / "present.kst") << "x";
    std::vector<AlarmDBItem_Struct> records{Record((dir / "present.kst").string(), 1),
                                            Record((dir / "gone.kst").string(), 2)};
    records[0].flags = 0xFF;  // whatever the file says, the load decides
    WriteBytes(File(), ListBytes(kAlarmDBMagic, 2, records));
    ASSERT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::Loaded);
    const auto items = store.AlarmDB_Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].flags, 0);
    EXPECT_EQ(items[1].flags, kAlarmItemFileMissing);
    EXPECT_EQ(items[1].frameCount, 2u);
    EXPECT_EQ(store.RecordCounter(), 2);
}

TEST_F(AlarmListTest, WriteBackKeepsUnmarkedAndNewerRecordsInOrder) {
    std::vector<AlarmDBItem_Struct> records = Records(10);
    records[7] = Record("/rec/A2.kst", 77);  // a second record with a marked path
    WriteBytes(File(), ListBytes(kAlarmDBMagic, 10, records));
    ASSERT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::Loaded);
    ASSERT_EQ(Append("/rec/since.kst", 5), 1);  // added after the page loaded

    EXPECT_TRUE(store.AlarmDB_SetItemFlags(2, kAlarmItemDeleted));
    EXPECT_TRUE(store.AlarmDB_SetItemFlags(5, kAlarmItemDeleted | kAlarmItemFileMissing));
    EXPECT_FALSE(store.AlarmDB_SetItemFlags(10, kAlarmItemDeleted));
    EXPECT_EQ(store.AlarmDB_WriteBack(), 1);  // not marked changed: nothing happens
    EXPECT_EQ(ReadList(File()).count, 11);

    ASSERT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::Loaded);
    store.AlarmDB_SetItemFlags(2, kAlarmItemDeleted);
    store.AlarmDB_SetItemFlags(5, kAlarmItemDeleted);
    ASSERT_EQ(Append("/rec/since2.kst", 6), 1);
    store.AlarmDB_SetChanged();
    EXPECT_EQ(store.AlarmDB_WriteBack(), 1);
    ListFile list = ReadList(File());
    EXPECT_EQ(list.count, 9);
    EXPECT_EQ(Paths(list.records),
              (std::vector<std::string>{"/rec/A0.kst", "/rec/A1.kst", "/rec/A3.kst", "/rec/A4.kst",
                                        "/rec/A6.kst", "/rec/A8.kst", "/rec/A9.kst",
                                        "/rec/since.kst", "/rec/since2.kst"}));
    EXPECT_TRUE(store.AlarmDB_Items().empty());  // the page loads again to see it
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"AlarmData.dat"});
}

TEST_F(AlarmListTest, WriteBackRecreatesADeletedFileFromTheItems) {
    WriteBytes(File(), ListBytes(kAlarmDBMagic, 4, Records(4)));
    ASSERT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::Loaded);
    store.AlarmDB_SetItemFlags(0, kAlarmItemDeleted);
    store.AlarmDB_SetChanged();
    std::filesystem::remove(File());
    EXPECT_EQ(store.AlarmDB_WriteBack(), 1);
    ListFile list = ReadList(File());
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(Paths(list.records),
              (std::vector<std::string>{"/rec/A1.kst", "/rec/A2.kst", "/rec/A3.kst"}));
}

TEST_F(AlarmListTest, WriteBackLeavesAForeignFileAlone) {
    WriteBytes(File(), ListBytes(kAlarmDBMagic, 2, Records(2)));
    ASSERT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::Loaded);
    store.AlarmDB_SetItemFlags(0, kAlarmItemDeleted);
    store.AlarmDB_SetChanged();
    const Bytes foreign = ListBytes(0x0102, 2, Records(2));
    WriteBytes(File(), foreign);
    EXPECT_EQ(store.AlarmDB_WriteBack(), 0);
    EXPECT_EQ(ReadBytes(File()), foreign);
}

TEST_F(AlarmListTest, RoundTripThroughAppendLoadAndDelete) {
    for (int i = 0; i < 5; ++i) ASSERT_EQ(Append("/rec/R" + std::to_string(i), i * 10), 1);
    ASSERT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::Loaded);
    auto items = store.AlarmDB_Items();
    ASSERT_EQ(items.size(), 5u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].Path(), "/rec/R" + std::to_string(i));
        EXPECT_EQ(items[i].frameCount, i * 10);
        EXPECT_EQ(items[i].SourceIP(), "10.1.2.3");
        EXPECT_EQ(items[i].startTime, (SystemTime{2024, 12, 0, 31, 23, 58, 7, 0}));
        EXPECT_EQ(items[i].flags, kAlarmItemFileMissing);
        EXPECT_EQ(items[i].sequence, i);
    }
    for (std::size_t i = 0; i < items.size(); ++i) store.AlarmDB_SetItemFlags(i, kAlarmItemDeleted);
    store.AlarmDB_SetChanged();
    ASSERT_EQ(store.AlarmDB_WriteBack(), 1);
    EXPECT_EQ(ReadBytes(File()), (Bytes{0x87, 0x99, 0, 0}));
}

TEST_F(AlarmListTest, WithoutAProgramFolderNothingIsWritten) {
    g_lpApp->CSettingINI.m_strProgramDir = "";
    EXPECT_EQ(Append("/rec/x.kst", 1), 0);
    EXPECT_EQ(store.AlarmDB_Load(), AlarmDBLoadResult::ReadFailed);
    EXPECT_TRUE(FolderEntries().empty());
}

}  // namespace
