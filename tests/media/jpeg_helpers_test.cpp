#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "media/jpeg_codec_adapter.h"

namespace {

struct StartCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int expected;
};

const StartCase kStarts[] = {
    {"device_image", {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x84}, 1},
    {"exactly_four_bytes", {0xFF, 0xD8, 0xFF, 0xDB}, 1},
    {"jfif_segment_first", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10}, 0},
    {"exif_segment_first", {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10}, 0},
    {"huffman_table_first", {0xFF, 0xD8, 0xFF, 0xC4, 0x00, 0x10}, 0},
    {"no_start_of_image", {0x00, 0xD8, 0xFF, 0xDB, 0x00, 0x84}, 0},
    {"end_of_image", {0xFF, 0xD9, 0xFF, 0xDB, 0x00, 0x84}, 0},
    {"three_bytes", {0xFF, 0xD8, 0xFF}, 0},
    {"empty", {}, 0},
};

class JpegStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(JpegStart, MatchesOnlyTheDeviceStart) {
    EXPECT_EQ(IsJpegStart(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Starts, JpegStart, ::testing::ValuesIn(kStarts),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(TwoDigitText, LastTwoDecimalDigits) {
    const struct {
        int n;
        const char* text;
    } cases[] = {
        {2007, "07"},
        {5, "05"},
        {12, "12"},
        {100, "00"},
        {0, "00"},
        {9, "09"},
        {10, "10"},
        {99, "99"},
        {1999, "99"},
        // The remainder keeps the sign and is below 10.
        {-7, "0-7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TwoDigitText(c.n), c.text) << c.n;
    }
}

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(SnapshotFileName, DateTheLetterTAndTime) {
    EXPECT_EQ(SnapshotFileName(LocalTime(2007, 12, 3, 15, 45, 2)), "071203T154502");
    EXPECT_EQ(SnapshotFileName(LocalTime(2000, 1, 9, 0, 0, 0)), "000109T000000");
    EXPECT_EQ(SnapshotFileName(LocalTime(2031, 10, 31, 23, 59, 59)), "311031T235959");
}

}  // namespace
