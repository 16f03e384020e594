#include "core/state/device_family.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/state/app_global_state.h"
#include "core/state/control_device.h"
#include "tests/support/core/global_state.h"

namespace {

// Predicates read the shared state record; each test gets a fresh one.
class DeviceFamilyTest : public test_support::GlobalStateTest {};

TEST_F(DeviceFamilyTest, ProductIdSelectsExactlyOneFamily) {
    struct Row {
        const char* id;
        int dvr, q3a2, q9c0, q7b;
    };
    const Row rows[] = {
        {"Q8A7", 1, 0, 0, 0}, {"Q8A5", 1, 0, 0, 0}, {"Q8A3", 1, 0, 0, 0},  {"Q3A2", 0, 1, 0, 0},
        {"Q9C0", 0, 0, 1, 0}, {"Q7B7", 0, 0, 0, 1}, {"Q7B5", 0, 0, 0, 1},  {"Q7B3", 0, 0, 0, 1},
        {"q8a7", 0, 0, 0, 0}, {"Q8A", 0, 0, 0, 0},  {"Q8A77", 0, 0, 0, 0}, {"", 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        g_lpApp->str_ProductID.Set(r.id);
        EXPECT_EQ(IsDvrFamily(), r.dvr) << r.id;
        EXPECT_EQ(IsQ3A2(), r.q3a2) << r.id;
        EXPECT_EQ(IsQ9C0(), r.q9c0) << r.id;
        EXPECT_EQ(IsQ7BFamily(), r.q7b) << r.id;
    }
}

TEST(CompareVersionTest, GateAgainstDeviceVersion) {
    struct Row {
        const char* gate;
        const char* device;
        int result;
    };
    const Row rows[] = {
        {"1035", "1034", 2},
        {"1035", "1035", 0},
        {"1035", "1100", 1},
        {"1035", "103", -1},
        {"103", "1035", -1},
        {"1035", "10350", -1},
        {"1046", "0999", 2},
        {"1006", "1006", 0},
        // Characters compare as signed bytes: a high-bit character is smaller.
        {"1035",
         "10\x80"
         "5",
         2},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(CompareVersion(r.gate, r.device), r.result) << r.gate << " vs " << r.device;
    }
}

TEST_F(DeviceFamilyTest, FirmwareGateAndFeatureBits) {
    g_lpApp->str_FWVersion.Set("1034");
    EXPECT_TRUE(FirmwareOlderThan("1035"));
    g_lpApp->str_FWVersion.Set("103");
    EXPECT_FALSE(FirmwareOlderThan("1035"));

    g_lpApp->dw_FeatureFlags = 0x81;
    EXPECT_EQ(HasFeature(0x1), 1);
    EXPECT_EQ(HasFeature(0x2), 0);
    EXPECT_EQ(HasFeature(0x82), 1);
    g_lpApp->b_MultiChannel = 4;
    EXPECT_EQ(IsMultiChannel(), 4);
}

TEST(FilterDigitsTest, Modes) {
    struct Row {
        const char* in;
        int mode;
        const char* out;
    };
    const Row rows[] = {{"12a-3", 1, "123"}, {"-1-2", 0, "-12"}, {"-1-2", 1, "12"},
                        {"a-1", 0, "-1"},    {"1-", 0, "1"},     {"", 1, ""}};
    for (const Row& r : rows) {
        std::string text = r.in;
        EXPECT_EQ(FilterDigits(text, r.mode), 1);
        EXPECT_EQ(text, r.out) << r.in;
    }
    std::string longText(256, '1');
    longText[3] = 'x';
    EXPECT_EQ(FilterDigits(longText, 1), 0);
    EXPECT_EQ(longText[3], 'x');
}

TEST(PeripheralCodeTest, Table) {
    EXPECT_EQ(PeripheralCodeToIndex(25), 10);
    EXPECT_EQ(PeripheralCodeToIndex(10), 0);
    EXPECT_EQ(PeripheralCodeToIndex(0), 0);
    EXPECT_EQ(PeripheralCodeToIndex(7), 7);
    EXPECT_EQ(PeripheralIndexToCode(10), 25);
    EXPECT_EQ(PeripheralIndexToCode(11), 0);
    EXPECT_EQ(PeripheralIndexToCode(3), 3);
}

// Counts the pixels of the colour in a picture.
int CountPainted(const std::vector<std::uint8_t>& frame) {
    int n = 0;
    for (std::size_t i = 0; i + 2 < frame.size(); i += 3) {
        if (frame[i] == 0x11 && frame[i + 1] == 0x22 && frame[i + 2] == 0x33)
            ++n;
    }
    return n;
}

TEST(DrawCrossMarkTest, WholeMarkInsideThePicture) {
    const int w = 40, h = 40;
    std::vector<std::uint8_t> frame(w * h * 3, 0);
    EXPECT_EQ(DrawCrossMark(frame, w, h, 0x332211, 20, 20), 1);
    // Two 3 x 17 arms sharing a 3 x 3 centre, plus four brackets of 7 pixels
    // (two arms of 4 meeting at the corner).
    EXPECT_EQ(CountPainted(frame), 3 * 17 * 2 - 9 + 4 * 7);
    // The centre lies on row height - y (bottom-up rows), low byte first.
    const std::size_t centre = (static_cast<std::size_t>(h - 20) * w + 20) * 3;
    EXPECT_EQ(frame[centre], 0x11);
    EXPECT_EQ(frame[centre + 2], 0x33);
}

TEST(DrawCrossMarkTest, NeverWritesOutsideThePicture) {
    const int w = 16, h = 12;
    for (auto [x, y] : {std::pair{0, 0}, {0, h}, {w - 1, 1}, {w + 5, h + 5}, {-3, -20}, {8, 6}}) {
        // Guard bytes on both sides catch any write outside the picture.
        std::vector<std::uint8_t> buffer(w * h * 3 + 96, 0xEE);
        std::span<std::uint8_t> frame(buffer.data() + 48, w * h * 3);
        std::fill(frame.begin(), frame.end(), 0);
        DrawCrossMark(frame, w, h, 0x332211, x, y);
        for (int i = 0; i < 48; ++i) {
            ASSERT_EQ(buffer[i], 0xEE) << x << "," << y;
            ASSERT_EQ(buffer[buffer.size() - 1 - i], 0xEE) << x << "," << y;
        }
    }
    // A buffer smaller than the picture claims is written only within itself.
    std::vector<std::uint8_t> small(10 * 3, 0);
    DrawCrossMark(small, 10, 10, 0x332211, 5, 9);
    SUCCEED();
}

TEST(LoadSplitStringTest, SplitsAtTheFirstDollar) {
    const SplitText retr = LoadSplitString(8331);
    EXPECT_EQ(retr.first, "R.E.T.R.(Enable)");
    EXPECT_EQ(retr.second, "R.E.T.R.(Disable)");
    const SplitText plain = LoadSplitString(4094);
    EXPECT_EQ(plain.first, "Open device control file is failed");
    EXPECT_EQ(plain.second, "");
}

TEST(ControlDeviceTest, AddAndMakeCurrent) {
    CControlDevice devices;
    EXPECT_EQ(devices.AddDevice(0, 1, 19, kDeviceMaster), 0);
    EXPECT_EQ(devices.AddDevice(0, 2, 8, kDeviceSlave), 0);
    EXPECT_EQ(devices.AddDevice(0, 3, 8, kDeviceSlave), 0);
    EXPECT_EQ(devices.Entry(0).kinds, kDeviceMaster | kDeviceValid);
    EXPECT_EQ(devices.HasLinkedDvr(), 1);
    EXPECT_EQ(devices.MakeCurrent(kDeviceSlave, 1), 0);
    EXPECT_EQ(devices.CurrentIndex(), 2);
    EXPECT_EQ(devices.CurrentSlaveIndex(), 2);
    EXPECT_EQ(devices.IsCurrentMaster(), 0);
    EXPECT_EQ(devices.MakeCurrent(kDeviceSlave, 2), -1);
    EXPECT_EQ(devices.CurrentIndex(), 2);
    EXPECT_EQ(devices.MakeCurrent(kDeviceMaster, 0), 0);
    EXPECT_EQ(devices.PreviousIndex(), 2);
    EXPECT_EQ(devices.IsCurrentMaster(), 1);
    for (int i = 3; i < kMaxLinkedDevices; ++i) EXPECT_EQ(devices.AddDevice(0, 9, 0, 0), 0);
    EXPECT_EQ(devices.AddDevice(0, 9, 0, 0), -1);
    EXPECT_EQ(devices.Count(), kMaxLinkedDevices);
    devices.Reset();
    EXPECT_EQ(devices.Count(), 0);
    EXPECT_EQ(devices.HasLinkedDvr(), 0);
}

}  // namespace
