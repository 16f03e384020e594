#include "core/store/address_book.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace {

using test_support::ReadBytes;
using test_support::WriteBytes;

using Bytes = std::vector<std::uint8_t>;

Bytes Record(const AddressBookEntry& entry) {
    const auto record = EncodeAddressRecord(entry);
    return Bytes(record.begin(), record.end());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const AddressBookEntry kOffice{"admin", "192.168.1.10", "office", 80};
const AddressBookEntry kStore{"guest", "dvr.example.net", "", 8080};

TEST(AddressRecord, LayoutIsPinned) {
    const Bytes record = Record({"ab", "1.2.3.4", "c", 0x01020304});
    ASSERT_EQ(record.size(), 400u);
    Bytes expected(400, 0);
    const auto put = [&](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), expected.begin() + static_cast<long>(at));
    };
    put(0, {0x12, 0x12, 0x12, 0x12});
    put(4, {'a', 'b'});
    put(132, {0x4C, 0x4C, 0x4C, 0x4C});
    put(136, {'1', '.', '2', '.', '3', '.', '4'});
    put(264, {0x8A, 0x8A, 0x8A, 0x8A});
    put(268, {'c'});
    put(396, {0x04, 0x03, 0x02, 0x01});
    EXPECT_EQ(record, expected);
}

TEST(AddressRecord, PortIsReadAsItsLowSixteenBits) {
    // Written whole as a signed 32-bit value, read back modulo 65536.
    const auto entry = DecodeAddressRecord(Record({"u", "h", "", 70000}));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->port, 70000 % 65536);
}

TEST(AddressRecord, TextsAreCutTo127Bytes) {
    const std::string comment(200, 'x');
    // 126 ASCII bytes and a two-byte character straddling the limit.
    const std::string user = std::string(126, 'a') + "\xC3\xA9";
    const auto entry = DecodeAddressRecord(Record({user, "h", comment, 1}));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->comment, std::string(127, 'x'));
    EXPECT_EQ(entry->userName, std::string(126, 'a'));
}

TEST(AddressRecord, UnterminatedTextsStopAtTheirField) {
    Bytes record = Record({"u", "h", "c", 1});
    // Fill user name, address and comment fields to their last byte.
    for (const std::size_t start : {4u, 136u, 268u}) {
        std::fill(record.begin() + static_cast<long>(start),
                  record.begin() + static_cast<long>(start + 128), 'z');
    }
    const auto entry = DecodeAddressRecord(record);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->userName, std::string(127, 'z'));
    EXPECT_EQ(entry->ipAddress, std::string(127, 'z'));
    EXPECT_EQ(entry->comment, std::string(127, 'z'));
}

TEST(AddressBookFile, RoundTrip) {
    test_support::TempDir dir;
    const auto file = dir / "IPRecord.dat";
    const std::vector<AddressBookEntry> entries = {kOffice, kStore};
    ASSERT_TRUE(SaveAddressBook(file, entries));
    EXPECT_EQ(std::filesystem::file_size(file), 800u);
    EXPECT_EQ(LoadAddressBook(file), entries);
}

TEST(AddressBookFile, MissingFileIsAnEmptyBook) {
    test_support::TempDir dir;
    const auto book = LoadAddressBook(dir / "IPRecord.dat");
    ASSERT_TRUE(book);
    EXPECT_TRUE(book->empty());
}

struct FileCase {
    const char* name;
    Bytes bytes;
    std::optional<std::size_t> entries;  // nullopt: refused as damaged
};

Bytes WithByte(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

std::vector<FileCase> FileCases() {
    const Bytes two = Concat({Record(kOffice), Record(kStore)});
    Bytes garbage(800);
    for (std::size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    return {
        {"empty", {}, 0},
        {"shorter_than_a_record", Bytes(399, 0x12), 0},
        {"tail_is_ignored", Concat({two, Bytes(200, 0xEE)}), 2},
        {"user_check_word_of_second", WithByte(two, 400 + 0, 0x13), std::nullopt},
        {"address_check_word_of_second", WithByte(two, 400 + 133, 0), std::nullopt},
        {"comment_check_word_of_second", WithByte(two, 400 + 267, 0x8B), std::nullopt},
        {"garbage", garbage, std::nullopt},
    };
}

class AddressBookFiles : public ::testing::TestWithParam<FileCase> {};

TEST_P(AddressBookFiles, LoadsOrRefuses) {
    test_support::TempDir dir;
    const auto file = dir / "IPRecord.dat";
    WriteBytes(file, GetParam().bytes);
    const auto book = LoadAddressBook(file);
    if (GetParam().entries) {
        ASSERT_TRUE(book);
        EXPECT_EQ(book->size(), *GetParam().entries);
    } else {
        EXPECT_FALSE(book);
    }
    EXPECT_EQ(ReadBytes(file), GetParam().bytes) << "reading never changes the file";
}

INSTANTIATE_TEST_SUITE_P(Files, AddressBookFiles, ::testing::ValuesIn(FileCases()),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(AddressBookFile, HugeFileIsRefusedUnread) {
    test_support::TempDir dir;
    const auto file = dir / "IPRecord.dat";
    WriteBytes(file, Record(kOffice));
    // A sparse file claiming one record more than a book may hold.
    std::filesystem::resize_file(file, (kMaxAddressRecords + 1) * kAddressRecordBytes);
    EXPECT_FALSE(LoadAddressBook(file));
}

TEST(AddressBookFile, FolderInPlaceOfTheFileIsRefused) {
    test_support::TempDir dir;
    std::filesystem::create_directory(dir / "IPRecord.dat");
    EXPECT_FALSE(LoadAddressBook(dir / "IPRecord.dat"));
}

TEST(AddressBookFile, SavingReplacesTheFileInOneStep) {
    test_support::TempDir dir;
    const auto file = dir / "IPRecord.dat";
    ASSERT_TRUE(SaveAddressBook(file, std::vector{kOffice, kStore}));
    std::ifstream before(file, std::ios::binary);  // a reader holding the old file
    ASSERT_TRUE(SaveAddressBook(file, std::vector{kStore}));
    // The old contents stay whole for whoever had them open: the new book
    // arrived by rename, not by truncating and rewriting in place.
    const Bytes old(std::istreambuf_iterator<char>(before), {});
    EXPECT_EQ(old, Concat({Record(kOffice), Record(kStore)}));
    EXPECT_EQ(ReadBytes(file), Record(kStore));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

struct CheckCase {
    const char* user;
    const char* address;
    std::int64_t port;
    AddressEntryCheck expected;
};

class AddressEntryChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(AddressEntryChecks, Decide) {
    const CheckCase& c = GetParam();
    EXPECT_EQ(CheckAddressEntry(c.user, c.address, c.port), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, AddressEntryChecks,
    ::testing::Values(CheckCase{"", "1.2.3.4", 80, AddressEntryCheck::kEmptyField},
                      CheckCase{"u", "", 80, AddressEntryCheck::kEmptyField},
                      // Empty fields are reported before a bad port.
                      CheckCase{"", "", 0, AddressEntryCheck::kEmptyField},
                      CheckCase{"u", "h", 0, AddressEntryCheck::kPortOutOfRange},
                      CheckCase{"u", "h", -1, AddressEntryCheck::kPortOutOfRange},
                      CheckCase{"u", "h", 65536, AddressEntryCheck::kPortOutOfRange},
                      CheckCase{"u", "h", 1, AddressEntryCheck::kOk},
                      CheckCase{"u", "h", 10000, AddressEntryCheck::kOk},
                      CheckCase{"u", "h", 65535, AddressEntryCheck::kOk}));

}  // namespace
