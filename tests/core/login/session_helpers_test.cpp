// The session login module's helpers that the login itself does not use:
// the stream error, the two byte scans and the device record copy.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/application/subsystem_services.h"
#include "core/login/session_login.h"
#include "core/state/app_global_state.h"

namespace {

TEST(GetStreamError, AsksTheMediaPipeline) {
    EXPECT_EQ(GetStreamError(), 0u);  // the placeholder: no stream, no failure
    struct FailedStream : PlaceholderMedia {
        std::uint32_t GetStreamError() override { return 4097; }
    } media;
    SetMediaServices(&media);
    EXPECT_EQ(GetStreamError(), 4097u);
    SetMediaServices(nullptr);
}

TEST(CountBytesBeforeFF, CountsUpToTheFirstFF) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::size_t expected;
    };
    const Case cases[] = {
        {"empty", {}, 0},
        {"FF first", {0xFF, 0x00}, 0},
        {"FF inside", {0x01, 0x02, 0xFF, 0xFF}, 2},
        {"no FF", {0x01, 0xFE, 0x00}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CountBytesBeforeFF(c.bytes), c.expected);
    }
}

TEST(FindJpegEndMarker, GivesThePositionPlusOne) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::size_t expected;
    };
    const Case cases[] = {
        {"at the start", {0xFF, 0xD9, 0xFF, 0xFF, 0x00}, 1},
        {"inside", {0x00, 0xFF, 0xFF, 0xD9, 0xFF, 0xFF}, 3},
        {"first of two", {0xFF, 0xD9, 0xFF, 0xFF, 0xFF, 0xD9, 0xFF, 0xFF}, 1},
        {"plain end of image", {0x00, 0xFF, 0xD9}, 0},
        {"cut at the end", {0x00, 0xFF, 0xD9, 0xFF}, 0},
        {"empty", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindJpegEndMarker(c.bytes), c.expected);
    }
}

class DeviceRecordCopy : public ::testing::Test {
protected:
    void SetUp() override { g_lpApp = new AppGlobalState(); }
    void TearDown() override {
        delete g_lpApp;
        g_lpApp = nullptr;
    }
};

TEST_F(DeviceRecordCopy, TakesTheFieldsInOrderLittleEndian) {
    std::vector<std::uint8_t> packed(DeviceRecord::kPackedBytes);
    for (std::size_t i = 0; i < packed.size(); ++i) {
        packed[i] = static_cast<std::uint8_t>(i + 1);
    }
    ASSERT_EQ(CopyDeviceRecord(packed), 1);
    const DeviceRecord& r = g_lpApp->DeviceRecord;
    EXPECT_EQ(r.dwWords[0], 0x04030201u);
    EXPECT_EQ(r.dwWords[4], 0x14131211u);
    EXPECT_EQ(r.abBytes, (std::array<std::uint8_t, 6>{21, 22, 23, 24, 25, 26}));
    EXPECT_EQ(r.bFirstByte, 27);
    EXPECT_EQ(r.dwMoreWords[0], 0x1F1E1D1Cu);
    EXPECT_EQ(r.dwMoreWords[1], 0x23222120u);
    EXPECT_EQ(r.wHalfWords, (std::array<std::uint16_t, 3>{0x2524, 0x2726, 0x2928}));
    EXPECT_EQ(r.bSecondByte, 42);
    EXPECT_EQ(r.wHalfWord, 0x2C2B);
    EXPECT_EQ(r.bLastByte, 45);
}

TEST_F(DeviceRecordCopy, RefusesAShortRecordAndLeavesTheOldOne) {
    const std::vector<std::uint8_t> full(DeviceRecord::kPackedBytes, 0xAB);
    ASSERT_EQ(CopyDeviceRecord(full), 1);
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, DeviceRecord::kPackedBytes - 1}) {
        SCOPED_TRACE(size);
        const std::vector<std::uint8_t> shortRecord(size, 0x11);
        EXPECT_EQ(CopyDeviceRecord(shortRecord), 0);
        EXPECT_EQ(g_lpApp->DeviceRecord.bLastByte, 0xAB);
    }
    // Bytes past the record are not its business.
    std::vector<std::uint8_t> longer(DeviceRecord::kPackedBytes + 3, 0x22);
    EXPECT_EQ(CopyDeviceRecord(longer), 1);
    EXPECT_EQ(g_lpApp->DeviceRecord.bLastByte, 0x22);
}

TEST(CopyDeviceRecordWithoutState, GivesZero) {
    ASSERT_EQ(g_lpApp, nullptr);
    const std::vector<std::uint8_t> full(DeviceRecord::kPackedBytes, 1);
    EXPECT_EQ(CopyDeviceRecord(full), 0);
}

}  // namespace
