#include "media/record_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/kst_reader.h"
#include "tests/support/temp_dir.h"

namespace {

using test_support::ReadBytes;

using Bytes = std::vector<std::uint8_t>;
using test_support::ReadKstFile;

struct Field {
    std::size_t offset;
    Bytes value;
};

void ExpectFields(std::span<const std::uint8_t> bytes, std::initializer_list<Field> fields) {
    for (const Field& f : fields) {
        ASSERT_LE(f.offset + f.value.size(), bytes.size());
        EXPECT_EQ(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(f.offset),
                        bytes.begin() + static_cast<std::ptrdiff_t>(f.offset + f.value.size())),
                  f.value)
            << "offset " << f.offset;
    }
}

FrameMarkEntry Entry(std::uint32_t timeValue, bool videoLoss = false) {
    FrameMarkEntry entry;
    entry.magic = FrameMarkEntry::kMagic;
    entry.width = 640;
    entry.height = 480;
    entry.timeValue = timeValue;
    entry.channel = 2;
    entry.videoLoss = videoLoss ? 1 : 0;
    return entry;
}

Bytes Jpeg(std::uint8_t seed, std::size_t size) {
    Bytes jpeg(size);
    for (std::size_t i = 0; i < size; ++i) jpeg[i] = static_cast<std::uint8_t>(seed + i * 7);
    return jpeg;
}

RecFileHeader SampleHeader() {
    RecFileHeader header;
    header.created = FrameTime{2024, 5, 5, 17, 13, 4, 59, 0};
    header.kind = RecordKind::Alarm;
    SetHeaderIdentity(header, "10.1.2.3", "operator");
    return header;
}

// ---- bytes laid out by hand ------------------------------------------------

TEST(RecordFileLayout, HeaderBytes) {
    RecFileHeader header = SampleHeader();
    header.firstTimeValue = 0x01020304;
    header.lastTimeValue = 0x0A0B0C0D;
    header.frameCount = 6000;
    ExpectFields(header.ToBytes(),
                 {{0, {0x52, 0x4B, 88, 0, 'Q', '3', 'A', '2'}},
                  {8, Bytes(16, 0)},
                  {24, {0xE8, 0x07, 5, 0, 5, 0, 17, 0, 13, 0, 4, 0, 59, 0, 0, 0}},
                  {40, {4, 3, 2, 1, 0x0D, 0x0C, 0x0B, 0x0A, 0x70, 0x17, 0, 0}},
                  {52, {10, 1, 2, 3, 23, 0, 0, 1}},
                  {60, {'o', 'p', 'e', 'r', 'a', 't', 'o', 'r', 0, 0, 0, 0, 0, 0, 0, 0}},
                  {76, {2, 0, 0, 0}}});
}

struct IdentityCase {
    std::string serverName;
    std::string userName;
    std::array<std::uint8_t, 4> address;
    std::string storedUser;  // the 16 bytes up to the first zero
};

class HeaderIdentityTest : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(HeaderIdentityTest, AddressBytesAndUserNameFitTheirFields) {
    RecFileHeader header;
    SetHeaderIdentity(header, GetParam().serverName, GetParam().userName);
    EXPECT_EQ(header.deviceAddress, GetParam().address);
    const auto bytes = header.ToBytes();
    std::string user;
    for (std::size_t i = 60; i < 76 && bytes[i] != 0; ++i) user += static_cast<char>(bytes[i]);
    EXPECT_EQ(user, GetParam().storedUser);
    EXPECT_EQ(bytes[76], 2);  // nothing ran over into the next field
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeaderIdentityTest,
    ::testing::Values(IdentityCase{"192.168.1.10", "admin", {192, 168, 1, 10}, "admin"},
                      IdentityCase{"10.0.300.2.7", "", {10, 0, 44, 2}, ""},  // low bytes, 4 pieces
                      IdentityCase{"10.2", "a", {10, 2, 0, 0}, "a"},
                      IdentityCase{"camera.local", "x", {0, 0, 0, 0}, "x"},
                      IdentityCase{"", "exactly16chars!!", {0, 0, 0, 0}, "exactly16chars!!"},
                      IdentityCase{
                          "1.2.3.4", "seventeen chars!!", {1, 2, 3, 4}, "seventeen chars!"}));

struct MarkCase {
    bool videoLoss;
    Bytes expected;
};

class FrameMarkTest : public ::testing::TestWithParam<MarkCase> {};

TEST_P(FrameMarkTest, BytesFlagsLengthAndSum) {
    FrameMarkEntry entry = Entry(0x11223344, GetParam().videoLoss);
    entry.length = 3;
    std::array<std::uint8_t, kVideoLossFrameMarkBytes> mark{};
    const std::size_t length = BuildFrameMark(entry, 1, mark);
    EXPECT_EQ(Bytes(mark.begin(), mark.begin() + static_cast<std::ptrdiff_t>(length)),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameMarkTest,
    ::testing::Values(
        // flags, number, length, width, height, time, channel, 0, 5, magic,
        // mark length, byte sum (flags included), terminator
        MarkCase{false,
                 {0xFF, 0x00, 0x00, 0xE0, 1, 0, 0, 0,    3,    0,  0, 0,    0x80, 0x02, 0xE0, 0x01,
                  0x44, 0x33, 0x22, 0x11, 2, 0, 5, 0x52, 0x4B, 29, 0, 0xB1, 0x04, 0xFF, 0xFF}},
        MarkCase{true,
                 {0xFF, 0x08, 0x00, 0xE0, 1, 0, 0, 0, 3,    0,    0,  0, 0x80, 0x02, 0xE0, 0x01,
                  0x44, 0x33, 0x22, 0x11, 2, 0, 5, 1, 0x52, 0x4B, 30, 0, 0xBB, 0x04, 0xFF, 0xFF}}));

// ---- names -------------------------------------------------------------------

TEST(RecordFileNames, UserAndAlarmStems) {
    const FrameTime t{2007, 3, 4, 15, 14, 25, 1, 0};
    EXPECT_EQ(UserRecordFileStem(t), "USER_MJPEG_070315T142501_UR");
    EXPECT_EQ(AlarmRecordFileStem(t, "abcd1234"), "ALARM_MJPEG_070315T142501_abcd");
    const FrameTime newYear{2100, 1, 5, 1, 0, 0, 9, 0};
    EXPECT_EQ(UserRecordFileStem(newYear), "USER_MJPEG_000101T000009_UR");
}

struct CookieCase {
    std::string cookie;
    std::string suffix;
};

class CookieNameTest : public ::testing::TestWithParam<CookieCase> {};

TEST_P(CookieNameTest, OnlyLettersAndDigitsOfTheFirstFourReachTheName) {
    const FrameTime t{2024, 5, 5, 17, 13, 4, 59, 0};
    EXPECT_EQ(AlarmRecordFileStem(t, GetParam().cookie),
              "ALARM_MJPEG_240517T130459_" + GetParam().suffix);
}

INSTANTIATE_TEST_SUITE_P(Cases, CookieNameTest,
                         ::testing::Values(CookieCase{"AB12xyz", "AB12"}, CookieCase{"", ""},
                                           CookieCase{"ab", "ab"}, CookieCase{"../x", "x"},
                                           CookieCase{"a/b\\c", "ab"},
                                           CookieCase{std::string("a\0b", 3) + "c", "abc"},
                                           CookieCase{"\xC3\xA9t\xC3", "t"},
                                           CookieCase{"..%2", "2"}));

// ---- writing files -----------------------------------------------------------

class RecordFileTest : public ::testing::Test {
protected:
    test_support::TempDir dir;
    CRecordFile file;
};

TEST_F(RecordFileTest, OneFrameFile) {
    ASSERT_TRUE(file.Create(dir.path(), "ONE"));
    EXPECT_EQ(file.Path(), dir / "ONE.kst");
    ASSERT_TRUE(file.WriteHeader(SampleHeader()));
    const Bytes jpeg = Jpeg(1, 100);
    ASSERT_TRUE(file.WriteFrame(Entry(777), jpeg));
    ASSERT_TRUE(file.Close(SampleHeader()));
    EXPECT_FALSE(file.IsOpen());

    const Bytes bytes = ReadBytes(dir / "ONE.kst");
    ASSERT_EQ(bytes.size(), 90u + 31 + 100 + 8 + 4);
    // First and last time value, frame count; index (90, 0) and count 1.
    ExpectFields(bytes, {{40, {0x09, 0x03, 0, 0, 0x09, 0x03, 0, 0, 1, 0, 0, 0}},
                         {80, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF}},
                         {90 + 31 + 100, {90, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}}});

    const auto read = ReadKstFile(dir / "ONE.kst");
    EXPECT_TRUE(read.problems.empty()) << ::testing::PrintToString(read.problems);
    ASSERT_EQ(read.frames.size(), 1u);
    EXPECT_EQ(read.frames[0].jpeg, jpeg);
    EXPECT_EQ(read.header.userName, "operator");
    EXPECT_EQ(read.header.kind, 1);
}

TEST_F(RecordFileTest, FramesOfEveryKindAreFoundThroughMarksAndIndex) {
    ASSERT_TRUE(file.Create(dir.path(), "MANY"));
    ASSERT_TRUE(file.WriteHeader(SampleHeader()));
    std::vector<Bytes> jpegs;
    for (std::uint32_t i = 0; i < 12; ++i) {
        jpegs.push_back(Jpeg(static_cast<std::uint8_t>(i), i == 3 ? 0 : 50 + i * 13));
        ASSERT_TRUE(file.WriteFrame(Entry(1000 + i, i % 4 == 1), jpegs.back()));
    }
    ASSERT_TRUE(file.Close(SampleHeader()));

    const auto read = ReadKstFile(dir / "MANY.kst");
    EXPECT_TRUE(read.problems.empty()) << ::testing::PrintToString(read.problems);
    EXPECT_TRUE(read.closed);
    ASSERT_EQ(read.frames.size(), 12u);
    EXPECT_EQ(read.header.firstTimeValue, 1000u);
    EXPECT_EQ(read.header.lastTimeValue, 1011u);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(read.frames[i].jpeg, jpegs[i]) << i;
        EXPECT_EQ(read.frames[i].videoLoss, i % 4 == 1) << i;
        EXPECT_EQ(read.frames[i].timeValue, 1000 + i);
        EXPECT_EQ(read.frames[i].width, 640);
        EXPECT_EQ(read.frames[i].height, 480);
        EXPECT_EQ(read.frames[i].channel, 2);
    }
}

TEST_F(RecordFileTest, AFrameAsLargeAsARingSlotFits) {
    ASSERT_TRUE(file.Create(dir.path(), "BIG"));
    ASSERT_TRUE(file.WriteHeader(SampleHeader()));
    const Bytes jpeg = Jpeg(9, CPreAlarmRing::kSlotBytes);
    ASSERT_TRUE(file.WriteFrame(Entry(5, true), jpeg));
    ASSERT_TRUE(file.Close(SampleHeader()));
    const auto read = ReadKstFile(dir / "BIG.kst");
    EXPECT_TRUE(read.problems.empty()) << ::testing::PrintToString(read.problems);
    ASSERT_EQ(read.frames.size(), 1u);
    EXPECT_EQ(read.frames[0].jpeg, jpeg);
}

TEST_F(RecordFileTest, ClosedBeforeAnyFrameHoldsAHeaderAndACountOfZero) {
    ASSERT_TRUE(file.Create(dir.path(), "EMPTY"));
    ASSERT_TRUE(file.Close(SampleHeader()));  // the header was never written
    EXPECT_EQ(ReadBytes(dir / "EMPTY.kst").size(), 94u);
    const auto read = ReadKstFile(dir / "EMPTY.kst");
    EXPECT_TRUE(read.problems.empty()) << ::testing::PrintToString(read.problems);
    EXPECT_TRUE(read.closed);
    EXPECT_TRUE(read.frames.empty());
    EXPECT_EQ(read.header.deviceAddress, (std::array<std::uint8_t, 4>{10, 1, 2, 3}));
}

TEST_F(RecordFileTest, AnAbandonedFileReadsAsNeverClosed) {
    ASSERT_TRUE(file.Create(dir.path(), "CUT"));
    ASSERT_TRUE(file.WriteHeader(SampleHeader()));
    ASSERT_TRUE(file.WriteFrame(Entry(1), Jpeg(1, 40)));
    ASSERT_TRUE(file.WriteFrame(Entry(2), Jpeg(2, 40)));
    file.Abandon();
    const auto read = ReadKstFile(dir / "CUT.kst");
    EXPECT_TRUE(read.problems.empty()) << ::testing::PrintToString(read.problems);
    EXPECT_FALSE(read.closed);
    EXPECT_EQ(read.header.frameCount, 0u);
    EXPECT_EQ(read.frames.size(), 2u);
}

TEST_F(RecordFileTest, SameNameGetsASuffixAndNothingIsReplaced) {
    std::ofstream(dir / "TAKEN.kst") << "older recording";
    std::vector<std::filesystem::path> paths;
    for (int i = 0; i < 3; ++i) {
        CRecordFile another;
        ASSERT_TRUE(another.Create(dir.path(), "TAKEN"));
        paths.push_back(another.Path());
        another.Close(SampleHeader());
    }
    EXPECT_EQ(paths, (std::vector<std::filesystem::path>{dir / "TAKEN_2.kst", dir / "TAKEN_3.kst",
                                                         dir / "TAKEN_4.kst"}));
    EXPECT_EQ(ReadBytes(dir / "TAKEN.kst").size(), 15u);
}

TEST_F(RecordFileTest, CreateFailsWithoutAUsableFolder) {
    std::ofstream(dir / "plain-file") << "x";
    EXPECT_FALSE(file.Create(dir / "plain-file", "X"));  // a folder under a regular file
    EXPECT_FALSE(file.Create(dir / "missing", "X"));
    EXPECT_FALSE(file.Create("", "X"));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.WriteHeader(SampleHeader()));
    EXPECT_FALSE(file.WriteFrame(Entry(1), Jpeg(1, 4)));
}

TEST_F(RecordFileTest, AWriteCutShortFailsAndTheFileKeepsItsWholeFrames) {
    ASSERT_TRUE(file.Create(dir.path(), "FULL"));
    ASSERT_TRUE(file.WriteHeader(SampleHeader()));
    {
        test_support::ScopedFileSizeLimit cap(700);
        std::size_t written = 0;
        while (file.WriteFrame(Entry(static_cast<std::uint32_t>(written)), Jpeg(3, 200))) {
            ++written;
        }
        EXPECT_EQ(written, 2u);  // 90 + 2 x 231 fits 700, a third does not
        EXPECT_TRUE(file.Failed());
        EXPECT_FALSE(file.WriteFrame(Entry(99), Jpeg(3, 1)));
        EXPECT_FALSE(file.Close(SampleHeader()));
    }
    const auto read = ReadKstFile(dir / "FULL.kst");
    EXPECT_TRUE(read.problems.empty()) << ::testing::PrintToString(read.problems);
    EXPECT_FALSE(read.closed);
    EXPECT_EQ(read.size, 90u + 2 * 231);
    EXPECT_EQ(read.frames.size(), 2u);
}

TEST_F(RecordFileTest, ClosingCutShortLeavesAnUnclosedFile) {
    ASSERT_TRUE(file.Create(dir.path(), "NOINDEX"));
    ASSERT_TRUE(file.WriteHeader(SampleHeader()));
    for (std::uint32_t i = 1; i <= 3; ++i) ASSERT_TRUE(file.WriteFrame(Entry(i), Jpeg(3, 100)));
    {
        test_support::ScopedFileSizeLimit cap(90 + 3 * 131 + 10);  // no room for the index
        EXPECT_FALSE(file.Close(SampleHeader()));
    }
    const auto read = ReadKstFile(dir / "NOINDEX.kst");
    EXPECT_TRUE(read.problems.empty()) << ::testing::PrintToString(read.problems);
    EXPECT_FALSE(read.closed);
    EXPECT_EQ(read.frames.size(), 3u);
}

}  // namespace
