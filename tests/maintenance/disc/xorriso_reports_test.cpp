#include "burnengine/xorriso_reports.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

TEST(XorrisoReports, PacketLinesNameTheirChannel) {
    EXPECT_EQ(xorriso::Payload("R:1: text", 'R'), std::optional<std::string_view>("text"));
    EXPECT_EQ(xorriso::Payload("I:0: ", 'I'), std::optional<std::string_view>(""));
    for (const char* line : {"I:1: text", "R:x: text", "R:1:text", "R:1", "", "xorriso 1.5.4"}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(xorriso::Payload(line, 'R').has_value());
    }
}

TEST(XorrisoReports, TheDeviceScanGivesAddressesAndNames) {
    const auto drives = xorriso::ParseDevices(
        "I:1: Beginning to scan for devices ...\n"
        "R:1: 0  -dev '/dev/sr0' rwrw-- :  'HL-DT-ST' 'DVDRAM GH24NSD1' \n"
        "R:1: 1  -dev '/dev/sr1' rwrw-- :\n"
        "R:1: 2  -dev '' rwrw-- :  'X' 'Y'\n"
        "I:1: 3  -dev '/dev/sr3' rwrw-- :  'X' 'Y'\n");
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].address, "/dev/sr0");
    EXPECT_EQ(drives[0].name, "HL-DT-ST DVDRAM GH24NSD1");
    EXPECT_EQ(drives[1].name, "/dev/sr1");  // no vendor given: the address names it
}

TEST(XorrisoReports, TheTableOfContentsGivesMediumRoomAndSessions) {
    struct Case {
        const char* report;
        bool present;
        std::string medium;
        bool blank, appendable, closed;
        std::uint64_t writable;
        std::uint32_t sessions;
    };
    const Case cases[] = {
        {"R:1: Media current: stdio file, overwriteable\nR:1: Media status : is written , is "
         "appendable\n"
         "R:1: Media blocks : 1568 readable , 24676392 writable , 24677960 overall\n"
         "R:1: Media summary: 2 sessions, 1512 data blocks, 3024k data, 47.1g free\n",
         true, "stdio file, overwriteable", false, true, false, 24676392, 2},
        {"R:1: Media current: CD-R\r\nR:1: Media status : is blank\r\n"
         "R:1: Media summary: 0 sessions, 0 data blocks, 0 data, 702m free\r\n",
         true, "CD-R", true, false, false, 0, 0},
        {"R:1: Media current: DVD+R\nR:1: Media status : is written , is closed\n"
         "R:1: Media blocks : 1 readable , 99999999999999999999999 writable , 1 overall\n"
         "R:1: Media summary: 99999999999 sessions\n",
         true, "DVD+R", false, false, true, UINT64_MAX, UINT32_MAX},
        {"I:1: Media current: CD-R\n", false, "", false, false, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        const auto toc = xorriso::ParseToc(c.report);
        EXPECT_EQ(toc.present, c.present);
        EXPECT_EQ(toc.medium, c.medium);
        EXPECT_EQ(toc.blank, c.blank);
        EXPECT_EQ(toc.appendable, c.appendable);
        EXPECT_EQ(toc.closed, c.closed);
        EXPECT_EQ(toc.writableBlocks, c.writable);
        EXPECT_EQ(toc.sessions, c.sessions);
    }
}

TEST(XorrisoReports, TheListingGivesTopLevelEntriesWithTheirTimes) {
    const auto entries = xorriso::ParseLsdl(
        "R:1: drwxr-xr-x    1 0        0               0 Dec 11 02:43 '/'\n"
        "R:1: -rw-r--r--    1 0        0               3 Dec 11 02:43 '/B.DVR'\n"
        "R:1: drwxr-xr-x    1 0        0               0 Jan  2  2024 '/dir'\n"
        "R:1: -rw-r--r--    1 0        0               0 Dec 11 03:03 '/it'\"'\"'s.dvr'\n"
        "R:1: -rw-r--r--    1 0        0               1 Feb 29 24:61 '/bad time'\n"
        "R:1: -rw-r--r--    1 0        0               1 Foo 11 03:03 '/bad month'\n"
        "R:1: -rw-r--r--    1 0        0               1 Dec 11 03:03 '/a/b'\n"
        "R:1: -rw-r--r--    1 0        0               1 Dec 11 03:03 'unterminated\n");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "B.DVR");
    EXPECT_EQ(entries[0].size, 3u);
    EXPECT_EQ((std::vector<int>{entries[0].year, entries[0].month, entries[0].day, entries[0].hour,
                                entries[0].minute}),
              (std::vector<int>{0, 12, 11, 2, 43}));
    EXPECT_TRUE(entries[1].directory);
    EXPECT_EQ(entries[1].year, 2024);
    EXPECT_EQ(entries[2].name, "it's.dvr");
}

TEST(XorrisoReports, ProgressComesFromWritingNotes) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"I:1: xorriso : UPDATE : Writing:       1664s  100.0%   fifo   0%  buf  50%", 100},
        {"I:1: xorriso : UPDATE : Writing:        512s   31.5%   fifo 100%  buf  99%", 31},
        {"Writing: 999999999999999999999%", 100},
        {"I:1: xorriso : UPDATE :       1 files added in 1 seconds", std::nullopt},
        {"Writing: no percentage", std::nullopt},
        {"Writing: x%", std::nullopt},
    };
    for (const auto& [line, percent] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(xorriso::ParseProgress(line), percent);
    }
}

}  // namespace
