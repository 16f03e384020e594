#include "liveview/control/ctrl_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/state/app_global_state.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<std::uint8_t> Bytes(const CtrlKeySequence& sequence) {
    if (!sequence.pBytes)
        return {};
    return {sequence.pBytes.get(), sequence.pBytes.get() + sequence.byCount};
}

std::string Name(const CtrlDeviceRecord& record) {
    return record.szName.data();
}

TEST(CtrlFileLine, KeepsPrintableUpperCasedCharactersUpToTheLineFeed) {
    struct Case {
        std::string text;
        std::string line;
        std::size_t consumed;
    };
    const std::string longLine(200, 'a');
    const std::vector<Case> cases{
        {"[ch1]\r\nX01X02\n", "[CH1]", 7},
        {"\tx04 \x80X%b\xff\n", "X04 X%B", 11},
        {"no line feed", "NO LINE FEED", 12},
        {"\n", "", 1},
        {longLine + "\nX", std::string(kCtrlLineChars, 'A'), 201},
    };
    for (const Case& c : cases) {
        std::string line = "old";
        EXPECT_EQ(ReadCtrlLine(c.text, line), c.consumed) << c.text;
        EXPECT_EQ(line, c.line) << c.text;
    }
}

TEST(CtrlFileSequence, ReadsLiteralAndVariableBytes) {
    struct Case {
        std::string line;
        bool complete;
        std::vector<std::uint8_t> bytes;
        std::uint32_t mask;
    };
    const std::vector<Case> cases{
        {"X04X10X%BX20X%2", true, {0x10, 0x0B, 0x20, 0x02}, 0b1010},
        {"X02 , XFF , XA0 ; CH", true, {0xFF, 0xA0}, 0},
        // One digit then the next group: the group's X reads as the digit 0.
        {"X02X5X10", true, {0x50, 0x10}, 0},
        {"X02XG1XZZ", true, {0x01, 0x00}, 0},
        {"X00X11", true, {}, 0},
        // A line that ends early keeps zeros for the missing bytes.
        {"X03X01", false, {0x01, 0x00, 0x00}, 0},
        {"X0", true, {}, 0},
        {"NO GROUPS", false, {}, 0},
    };
    for (const Case& c : cases) {
        CtrlKeySequence sequence;
        EXPECT_EQ(ParseKeySequence(sequence, c.line), c.complete) << c.line;
        EXPECT_EQ(Bytes(sequence), c.bytes) << c.line;
        EXPECT_EQ(sequence.byCount, c.bytes.size()) << c.line;
        EXPECT_EQ(sequence.dwVarMask, c.mask) << c.line;
    }
}

TEST(CtrlFileSequence, LaterLineReplacesTheEarlierOneWhole) {
    CtrlKeySequence sequence;
    ASSERT_TRUE(ParseKeySequence(sequence, "X02X%1X%2"));
    ASSERT_TRUE(ParseKeySequence(sequence, "X03X01X02X03"));
    EXPECT_EQ(Bytes(sequence), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(sequence.dwVarMask, 0u);  // no stale marks turn literals into variables
}

TEST(CtrlFileSequence, VariableBeyondTheMaskLeavesTheSequenceEmpty) {
    std::string line = "X21";
    for (int i = 0; i < 32; ++i) line += "X00";
    CtrlKeySequence sequence;
    EXPECT_TRUE(ParseKeySequence(sequence, line + "X01"));
    EXPECT_EQ(sequence.byCount, 33);
    EXPECT_FALSE(ParseKeySequence(sequence, line + "X%2"));
    EXPECT_EQ(sequence.byCount, 0);
    EXPECT_EQ(sequence.pBytes, nullptr);
}

constexpr const char* kTwoDevices =
    "; key sequences of the linked devices\r\n"
    "[Device Number]\r\n"
    "2\r\n"
    "[Device Name]\r\n"
    "ptz pelco\r\n"
    "[Parameter]\r\n"
    "%1X05\r\n"
    "%9XAB\r\n"
    "[CH1]\r\n"
    "X04X10X%BX20X%2\r\n"
    "[Sequence]\r\n"
    "X01X7F\r\n"
    "[Power]\r\n"
    "X02XA0XA1\r\n"
    "[Display]\r\n"
    "3\r\n"
    "[Device Name]\r\n"
    "4CH DVR (FULL)\r\n"
    "[CH1]\r\n"
    "X01X01\r\n"
    "X01X02\r\n"
    "[Display]\r\n"
    "300\r\n"
    "[EOF]\r\n"
    "more\r\n"
    "END\r\n"
    "[Device Name]\r\n"
    "after the end\r\n";

TEST(CtrlFileParse, ReadsRecordsSectionBySection) {
    test_support::ScopedMessageBoxRecorder boxes;
    const CtrlFileContent content = ParseCtrlFile(kTwoDevices);
    ASSERT_EQ(content.count, 2);
    EXPECT_TRUE(content.ended);
    const CtrlDeviceRecord& ptz = content.records[0];
    const CtrlDeviceRecord& dvr = content.records[1];
    EXPECT_EQ(Name(ptz), "PTZ PELCO");
    EXPECT_EQ(ptz.abyParam[1], 0x05);
    EXPECT_EQ(ptz.abyParam[9], 0xAB);
    EXPECT_EQ(Bytes(ptz.aseqKey[0]), (std::vector<std::uint8_t>{0x10, 0x0B, 0x20, 0x02}));
    EXPECT_EQ(ptz.aseqKey[0].pOwner, &ptz);
    EXPECT_EQ(Bytes(ptz.aseqKey[kCtrlLoadedKeySlots - 1]), std::vector<std::uint8_t>{0x7F});
    EXPECT_EQ(ptz.aseqKey[kCtrlKeySlots - 1].byCount, 0);
    EXPECT_EQ(Bytes(ptz.seqPower), (std::vector<std::uint8_t>{0xA0, 0xA1}));
    EXPECT_EQ(ptz.seqPower.pOwner, &ptz);
    EXPECT_EQ(ptz.byDisplay, 3);
    EXPECT_EQ(Name(dvr), "4CH DVR (FULL)");
    EXPECT_EQ(Bytes(dvr.aseqKey[0]), std::vector<std::uint8_t>{0x02});
    EXPECT_EQ(dvr.aseqKey[1].pOwner, nullptr);
    EXPECT_EQ(dvr.byDisplay, 255);
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST(CtrlFileParse, LinesWithNowhereToGoAreReportedOnceAndSkipped) {
    struct Case {
        const char* name;
        std::string text;
        std::int32_t count;
        std::vector<unsigned> messages;
        bool ended = false;
    };
    const std::string longName(100, 'N');
    const std::vector<Case> cases{
        {"data before any section", "X01X01\n[DEVICE NUMBER]\n1\n[EOF]\nEND\n", 1, {4084}, true},
        {"unknown section", "[DEVICE NUMBER]\n1\n[NOPE]\nA\nB\n[EOF]\nEND\n", 1, {4084}, true},
        {"key before any name",
         "[DEVICE NUMBER]\n1\n[CH1]\nX01X01\n[PARAMETER]\n%1X01\n",
         1,
         {4084}},
        {"name before the count", "[DEVICE NAME]\nPTZ\n[DEVICE NUMBER]\n1\n", 1, {4084}},
        {"more names than records",
         "[DEVICE NUMBER]\n1\n[DEVICE NAME]\nPTZ\nCAMERA\n[CH1]\nX01X01\n",
         1,
         {4084}},
        {"damaged sequences",
         "[DEVICE NUMBER]\n1\n[DEVICE NAME]\nPTZ\n[CH1]\nX02X01\n[CH2]\nX02\n",
         1,
         {4051}},
        {"negative count", "[DEVICE NUMBER]\n-5\n[DEVICE NAME]\nPTZ\n", 0, {4084}},
        {"huge count", "[DEVICE NUMBER]\n99999999999\n", kCtrlMaxDevices, {}},
        {"second count", "[DEVICE NUMBER]\n1\n[DEVICE NAME]\nPTZ\n[DEVICE NUMBER]\n3\n", 1, {}},
        {"long name", "[DEVICE NUMBER]\n1\n[DEVICE NAME]\n" + longName + "\n", 1, {}},
        {"no end", "[DEVICE NUMBER]\n1\n[DEVICE NAME]\nPTZ\n[EOF]\nEN\n", 1, {}},
        {"empty file", "", 0, {}},
    };
    for (const Case& c : cases) {
        test_support::ScopedMessageBoxRecorder boxes;
        const CtrlFileContent content = ParseCtrlFile(c.text);
        EXPECT_EQ(content.count, c.count) << c.name;
        EXPECT_EQ(content.ended, c.ended) << c.name;
        EXPECT_EQ(boxes.Ids(), c.messages) << c.name;
        if (content.count > 0) {
            EXPECT_LE(Name(content.records[0]).size(), kCtrlNameBytes - 1) << c.name;
        }
    }
}

class CtrlFileLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramFolder(folder.path());
        g_lpApp = new AppGlobalState();
    }
    void TearDown() override {
        FreeCtrlFileRecords();
        delete g_lpApp;
        g_lpApp = nullptr;
        platform::ResetProgramFolder();
    }
    void Write(const std::string& text) {
        std::ofstream(folder.path() / "CtrlFile.ini", std::ios::binary) << text;
    }

    test_support::TempDir folder;
    test_support::ScopedMessageBoxRecorder boxes;
};

TEST_F(CtrlFileLoadTest, MissingFileShowsItsMessage) {
    EXPECT_EQ(LoadCtrlFile(), 0);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4094});
    EXPECT_EQ(g_lpApp->dw_CtrlDeviceCount, 0);
    EXPECT_EQ(MatchCtrlFileDevices(), 1);
    EXPECT_EQ(CtrlFamilyRecord(18), nullptr);
}

TEST_F(CtrlFileLoadTest, OversizedFileIsRefused) {
    Write(std::string(kCtrlFileMaxBytes + 1, ';'));
    EXPECT_EQ(LoadCtrlFile(), 0);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4094});
}

TEST_F(CtrlFileLoadTest, FamiliesTakeTheFirstRecordOfTheirName) {
    Write(kTwoDevices);
    ASSERT_EQ(LoadCtrlFile(), 1);
    ASSERT_EQ(g_lpApp->dw_CtrlDeviceCount, 2);
    EXPECT_EQ(MatchCtrlFileDevices(), 1);
    ASSERT_NE(CtrlFamilyRecord(18), nullptr);
    EXPECT_EQ(Name(*CtrlFamilyRecord(18)), "PTZ PELCO");
    EXPECT_EQ(CtrlFamilyRecord(2), &g_lpApp->lp_CtrlDevices[1]);
    EXPECT_EQ(CtrlFamilyRecord(25), nullptr);  // "PTZ PELCO D" is another name
    EXPECT_EQ(CtrlFamilyRecord(kCtrlFamilyCount), nullptr);

    Write("[DEVICE NUMBER]\n2\n[DEVICE NAME]\nCAMERA\n[DISPLAY]\n[DEVICE NAME]\nCAMERA\n");
    ASSERT_EQ(LoadCtrlFile(), 1);
    MatchCtrlFileDevices();
    EXPECT_EQ(CtrlFamilyRecord(0), &g_lpApp->lp_CtrlDevices[0]);
    EXPECT_EQ(CtrlFamilyRecord(18), nullptr);

    FreeCtrlFileRecords();
    FreeCtrlFileRecords();
    EXPECT_EQ(g_lpApp->dw_CtrlDeviceCount, 0);
    EXPECT_EQ(g_lpApp->lp_CtrlDevices, nullptr);
    EXPECT_EQ(CtrlFamilyRecord(0), nullptr);
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(CtrlFileLoadTest, ShippedFileLoads) {
    std::filesystem::copy_file(std::filesystem::path(KESTRUNE_TEST_ASSETS_DIR) / "CtrlFile.ini",
                               folder.path() / "CtrlFile.ini");
    EXPECT_EQ(LoadCtrlFile(), 1);
    // A record for every family, none with invented key bytes.
    EXPECT_EQ(g_lpApp->dw_CtrlDeviceCount, static_cast<std::int32_t>(kCtrlFamilyCount));
    EXPECT_EQ(MatchCtrlFileDevices(), 1);
    for (std::size_t family = 0; family < kCtrlFamilyCount; ++family) {
        const CtrlDeviceRecord* record = CtrlFamilyRecord(family);
        ASSERT_NE(record, nullptr) << kCtrlFamilyNames[family];
        EXPECT_EQ(record->seqPower.byCount, 0);
        for (const CtrlKeySequence& key : record->aseqKey) EXPECT_EQ(key.byCount, 0);
    }
    EXPECT_TRUE(boxes.Ids().empty());
}

}  // namespace
