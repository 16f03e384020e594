#include "maintenance/firmware/packed_firmware.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "maintenance/firmware/firmware_files.h"
#include "tests/support/temp_dir.h"

namespace maintenance {
namespace {

using Bytes = std::vector<std::uint8_t>;

void AddRecord(Bytes& file, std::uint32_t length, std::uint8_t type, std::uint8_t fill = 0x5A) {
    const std::uint32_t word = length << 4 | type;
    for (int shift = 0; shift < 32; shift += 8) {
        file.push_back(static_cast<std::uint8_t>(word >> shift));
    }
    file.insert(file.end(), length, fill);
}

Bytes Records(std::initializer_list<std::pair<std::uint32_t, std::uint8_t>> records) {
    Bytes file;
    for (const auto& [length, type] : records) {
        AddRecord(file, length, type);
    }
    return file;
}

struct ParseCase {
    const char* name;
    Bytes file;
    UploadProtocol protocol;
    PackedFirmwareError error;
    std::vector<std::uint32_t> lengths;
};

class PackedParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PackedParse, RecordsOrRefusal) {
    const ParseCase& c = GetParam();
    const PackedFirmwareResult result = ParsePackedFirmware(c.file, c.protocol);
    EXPECT_EQ(result.error, c.error);
    if (c.error == PackedFirmwareError::kNone) {
        EXPECT_EQ(result.image.recordLengths, c.lengths);
        EXPECT_EQ(result.image.recordCount, c.lengths.size());
        EXPECT_EQ(result.image.fileSize, c.file.size());
        EXPECT_EQ(result.image.pieceSize, 900u);
        ASSERT_EQ(result.image.recordData.size(), c.lengths.size());
        for (std::size_t i = 0; i < c.lengths.size(); ++i) {
            EXPECT_EQ(result.image.recordData[i].size(), c.lengths[i]);
        }
    } else {
        EXPECT_EQ(result.image.recordCount, 0);
        EXPECT_TRUE(result.image.recordData.empty());
    }
}

Bytes ManyRecords(std::size_t count) {
    Bytes file;
    for (std::size_t i = 0; i < count; ++i) {
        AddRecord(file, 1, kPackedTypeKernel);
    }
    return file;
}

Bytes WithTail(Bytes file, std::size_t tail) {
    file.insert(file.end(), tail, 0);
    return file;
}

Bytes CutShort(Bytes file, std::size_t by) {
    file.resize(file.size() - by);
    return file;
}

INSTANTIATE_TEST_SUITE_P(
    Files, PackedParse,
    ::testing::Values(ParseCase{"ThreeRecords",
                                Records({{1000, 1}, {20, 0}, {5, 4}}),
                                UploadProtocol::kNew,
                                PackedFirmwareError::kNone,
                                {1000, 20, 5}},
                      ParseCase{"EmptyRecordIsOneRecord",
                                Records({{0, 1}}),
                                UploadProtocol::kOld,
                                PackedFirmwareError::kNone,
                                {0}},
                      ParseCase{"Exactly255", ManyRecords(255), UploadProtocol::kOld,
                                PackedFirmwareError::kNone, std::vector<std::uint32_t>(255, 1)},
                      ParseCase{"UnknownTypeOldProtocol",
                                Records({{4, 1}, {4, 7}}),
                                UploadProtocol::kOld,
                                PackedFirmwareError::kNone,
                                {4, 4}},
                      ParseCase{
                          "Empty", {}, UploadProtocol::kOld, PackedFirmwareError::kNoRecord, {}},
                      ParseCase{"TooMany",
                                ManyRecords(256),
                                UploadProtocol::kOld,
                                PackedFirmwareError::kTooManyRecords,
                                {}},
                      ParseCase{"PastEnd",
                                CutShort(Records({{16, 1}}), 1),
                                UploadProtocol::kOld,
                                PackedFirmwareError::kRecordPastEnd,
                                {}},
                      ParseCase{"HugeLength",
                                Bytes{0xF1, 0xFF, 0xFF, 0xFF, 1, 2},
                                UploadProtocol::kOld,
                                PackedFirmwareError::kRecordPastEnd,
                                {}},
                      ParseCase{"TrailingBytes",
                                WithTail(Records({{8, 1}}), 3),
                                UploadProtocol::kOld,
                                PackedFirmwareError::kTrailingBytes,
                                {}},
                      ParseCase{"UnknownTypeNewProtocol",
                                Records({{4, 1}, {4, 0}, {4, 4}, {4, 7}}),
                                UploadProtocol::kNew,
                                PackedFirmwareError::kNone,
                                {4, 4, 4, 4}},
                      ParseCase{"UnknownFirstTypeNewProtocol",
                                Records({{4, 2}, {4, 1}}),
                                UploadProtocol::kNew,
                                PackedFirmwareError::kUnknownFirstType,
                                {}},
                      ParseCase{"UnknownFirstTypeOldProtocol",
                                Records({{4, 2}, {4, 1}}),
                                UploadProtocol::kOld,
                                PackedFirmwareError::kNone,
                                {4, 4}}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST(PackedTypes, OldNamesInheritAndNewNumbersMap) {
    const std::vector<std::uint8_t> types{7, 1, 0, 9, 4};
    EXPECT_EQ(OldProtocolTypeNames(types),
              (std::vector<std::string>{"", "KERNEL", "BOOT", "BOOT", "HTML"}));
    EXPECT_EQ(NewProtocolTypeNumber(1), 0);
    EXPECT_EQ(NewProtocolTypeNumber(0), 1);
    EXPECT_EQ(NewProtocolTypeNumber(4), 2);
    EXPECT_EQ(NewProtocolTypeNumber(3), -1);
}

TEST(PackedFile, ReadsFromDiskAndRefusesMissingAndOversizedFiles) {
    test_support::TempDir dir;
    const Bytes file = Records({{30, 1}, {2, 4}});
    {
        std::ofstream out(dir / "fw.bin", std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
    }
    const auto read = ReadPackedFirmware(dir / "fw.bin", UploadProtocol::kOld);
    ASSERT_TRUE(read.Ok());
    EXPECT_EQ(read.image.recordLengths, (std::vector<std::uint32_t>{30, 2}));

    EXPECT_EQ(ReadPackedFirmware(dir / "missing.bin", UploadProtocol::kOld).error,
              PackedFirmwareError::kOpenFailed);
    EXPECT_EQ(ReadPackedFirmware(dir.path(), UploadProtocol::kOld).error,
              PackedFirmwareError::kOpenFailed);

    // A sparse file one byte over the limit.
    { std::ofstream touch(dir / "big.bin", std::ios::binary); }
    std::filesystem::resize_file(dir / "big.bin", kMaxPackedFirmwareBytes + 1);
    EXPECT_EQ(ReadPackedFirmware(dir / "big.bin", UploadProtocol::kOld).error,
              PackedFirmwareError::kTooLarge);
}

TEST(FirmwareFolder, TablesPerModelAndCaseBlindLookup) {
    ASSERT_TRUE(FirmwareFileTableFor("Q8A7"));
    EXPECT_EQ((*FirmwareFileTableFor("Q8A7"))[0].name, "KERNEL16.BIN");
    EXPECT_EQ((*FirmwareFileTableFor("Q8A5"))[0].name, "KERNEL8.BIN");
    EXPECT_EQ((*FirmwareFileTableFor("Q8A3"))[0].name, "KERNEL4.BIN");
    const auto table = *FirmwareFileTableFor("Q8A5");
    EXPECT_EQ(table[6].name, "LANGU1.GZ");
    EXPECT_EQ(table[16].name, "LANGU11.GZ");
    EXPECT_EQ(table[17].name, "PLAYER.BIN");
    EXPECT_TRUE(table[18].name.empty());
    EXPECT_FALSE(FirmwareFileTableFor("Q3A2"));

    test_support::TempDir dir;
    const auto write = [&](const std::string& name, std::size_t size) {
        std::ofstream out(dir / name, std::ios::binary);
        out << std::string(size, 'x');
    };
    write("player.bin", 1234);
    write("BOOT.BIN", 10);
    write("boot.bin", 99);  // the exact name wins
    write("LANGU1.GZ", 0);
    std::filesystem::create_directory(dir / "HTML.BIN");  // not a file: skipped

    auto q8a3 = *FirmwareFileTableFor("Q8A3");
    const FirmwareFolderLoad load = LoadFirmwareFiles(dir.path(), q8a3);
    EXPECT_EQ(load.loadedCount, 3);
    EXPECT_EQ(load.totalBytes, 1244u);
    EXPECT_TRUE(q8a3[1].loaded);
    EXPECT_EQ(q8a3[1].size, 10u);
    EXPECT_TRUE(q8a3[6].loaded);
    EXPECT_EQ(q8a3[6].size, 0u);
    EXPECT_TRUE(q8a3[17].loaded);
    EXPECT_EQ(q8a3[17].size, 1234u);
    EXPECT_FALSE(q8a3[5].loaded);
    EXPECT_FALSE(q8a3[0].loaded);

    // Loading an empty folder clears what an earlier load held.
    test_support::TempDir empty;
    EXPECT_EQ(LoadFirmwareFiles(empty.path(), q8a3).loadedCount, 0);
    EXPECT_FALSE(q8a3[17].loaded);
    EXPECT_TRUE(q8a3[17].data.empty());
}

}  // namespace
}  // namespace maintenance
