// The main window's reading of the device-information reply: linked
// masters and slaves, the R.E.T.R. recorder, the identity values, and
// replies a hostile or broken device may send.

#include "liveview/window/device_info_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/state/app_global_state.h"

namespace {

struct Entry {
    int id;
    int type;
    std::uint16_t kinds;
    friend bool operator==(const Entry&, const Entry&) = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
    return out << "{" << e.id << ", " << e.type << ", " << e.kinds << "}";
}

constexpr std::uint16_t M = kDeviceMaster;
constexpr std::uint16_t S = kDeviceSlave;

struct InfoCase {
    const char* name;
    const char* product;
    const char* firmware;
    std::uint32_t features;
    std::string reply;
    std::vector<Entry> want;
    bool wantRetr = false;
};

class ReadInfo : public ::testing::TestWithParam<InfoCase> {
protected:
    void SetUp() override { g_lpApp = new AppGlobalState(); }
    void TearDown() override {
        delete g_lpApp;
        g_lpApp = nullptr;
    }
};

TEST_P(ReadInfo, FillsTheLinkedDeviceTable) {
    const InfoCase& c = GetParam();
    AppGlobalState& app = *g_lpApp;
    app.str_ProductID.Set(c.product);
    app.str_FWVersion.Set(c.firmware);
    app.dw_FeatureFlags = c.features;
    const WindowDeviceInfo info = ReadWindowDeviceInfo(
        std::span(reinterpret_cast<const std::uint8_t*>(c.reply.data()), c.reply.size()));
    std::vector<Entry> got;
    for (int i = 0; i < app.C_ControlD.Count(); ++i) {
        const LinkedDevice d = app.C_ControlD.Entry(i);
        got.push_back({d.id, d.type, static_cast<std::uint16_t>(d.kinds & (M | S))});
    }
    EXPECT_EQ(got, c.want);
    EXPECT_EQ(info.retrPresent, c.wantRetr);
}

std::string Masters(int count) {
    std::string text = "MASTERNUM=" + std::to_string(count) + ";";
    for (int i = 0; i < count; ++i) text += "MID=" + std::to_string(i) + ";MTYPE=24;";
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReadInfo,
    ::testing::Values(
        InfoCase{"NoMasterKeys", "Q8A7", "1052", 0, "LIFETIME=-1;SLAVENUM=0;", {}},
        InfoCase{"LinkDeviceWinsOverMasterNum",
                 "Q8A7",
                 "1052",
                 0,
                 "LINKDEVICE=8;MASTERNUM=1;MID=3;MTYPE=24;",
                 {{0, 8, M}}},
        InfoCase{"MissingMidKeepsThePreviousId",
                 "Q8A7",
                 "1052",
                 0,
                 "MASTERNUM=3;MID=4;MTYPE=24;MID=5;MTYPE=20;",
                 {{4, 24, M}, {5, 20, M}, {5, 20, M}}},
        InfoCase{"DvrMtypeOneIsAPtzSlave",
                 "Q8A7",
                 "1052",
                 0,
                 "MASTERNUM=1;MID=1;MTYPE=1;",
                 {{1, 11, M}}},
        InfoCase{
            "OtherMtypeOneStays", "Q3A2", "1010", 0, "MASTERNUM=1;MID=1;MTYPE=1;", {{1, 1, M}}},
        InfoCase{"SlavesWithPelco",
                 "Q8A7",
                 "1052",
                 0,
                 "SLAVENUM=3;SID=1;STYPE=1;SPROTOCOL=0;SID=2;STYPE=1;SPROTOCOL=1;SID=3;STYPE=8;"
                 "SPROTOCOL=1;",
                 {{1, 11, S}, {2, 18, S}, {3, 8, S}}},
        InfoCase{"SlavesOfAMultiChannelRecorderAreMasters",
                 "Q8A7",
                 "1052",
                 0,
                 "MULTICH=1;SLAVENUM=1;SID=2;STYPE=8;",
                 {{2, 8, M}}},
        InfoCase{"RetrOfARecorderWithTheFeature",
                 "Q8A7",
                 "1052",
                 1,
                 "MASTERNUM=1;MID=0;MTYPE=24;RETR=1;",
                 {{0, 19, M}},
                 true},
        InfoCase{"RetrWithoutTheFeatureIsIgnored",
                 "Q8A5",
                 "1052",
                 0,
                 "MASTERNUM=1;MID=0;MTYPE=20;RETR=1;",
                 {{0, 20, M}}},
        InfoCase{"RetrOfOldFirmwareCounts",
                 "Q8A3",
                 "1030",
                 0,
                 "MASTERNUM=1;MID=0;MTYPE=21;RETR=0;",
                 {{0, 23, M}},
                 true},
        InfoCase{"RetrOfANonRecorderEmptiesTheTable",
                 "Q3A2",
                 "1010",
                 0,
                 "MASTERNUM=1;MID=0;MTYPE=0;RETR=1;",
                 {},
                 true},
        InfoCase{"RetrThenSlaves",
                 "Q7B7",
                 "1002",
                 0,
                 "MASTERNUM=1;MID=0;MTYPE=0;RETR=1;SLAVENUM=1;SID=1;STYPE=8;",
                 {{1, 8, S}},
                 true},
        // Hostile replies: unknown and wrapping types are refused, counts
        // are one byte and the table holds 30, values are bounded.
        InfoCase{"UnknownTypesAreRefused",
                 "Q8A7",
                 "1052",
                 0,
                 "MASTERNUM=4;MID=1;MTYPE=26;MID=2;MTYPE=280;MID=3;MTYPE=-1;MID=4;MTYPE=25;",
                 {{4, 25, M}}},
        InfoCase{"LinkDeviceBeyondTheTables", "Q8A7", "1052", 0, "LINKDEVICE=300;", {}},
        InfoCase{
            "CountIsOneByte", "Q8A7", "1052", 0, "MASTERNUM=257;MID=1;MTYPE=24;", {{1, 24, M}}},
        InfoCase{"TableHoldsThirty", "Q8A7", "1052", 0, Masters(40),
                 [] {
                     std::vector<Entry> want;
                     for (int i = 0; i < 30; ++i) want.push_back({i, 24, M});
                     return want;
                 }()},
        InfoCase{"UnterminatedValue", "Q8A7", "1052", 0, "MASTERNUM=1;MID=7;MTYPE=2", {{7, 2, M}}},
        InfoCase{"NoDigits", "Q8A7", "1052", 0, "MASTERNUM=x;MID=1;MTYPE=24;", {}}),
    [](const ::testing::TestParamInfo<InfoCase>& instance) {
        return std::string(instance.param.name);
    });

TEST(ReadInfoValues, IdentityValuesAndBoundedTexts) {
    g_lpApp = new AppGlobalState();
    g_lpApp->str_ProductID.Set("Q8A7");
    g_lpApp->str_FWVersion.Set("1052");
    const std::string reply =
        "LIFETIME=45;MULTICH=1;VIDEOMODE=1;USERLEVEL=20;Boot-Version=" + std::string(600, 'B') +
        ";2041-Version=1012;FPGA-Version=1007;";
    ReadWindowDeviceInfo(
        std::span(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size()));
    EXPECT_EQ(g_lpApp->dw_LifeTime.load(), 45);
    EXPECT_EQ(g_lpApp->b_MultiChannel.load(), 1);
    EXPECT_EQ(g_lpApp->b_VideoMode.load(), 1);
    EXPECT_EQ(g_lpApp->w_UserLevel.load(), 20);
    EXPECT_EQ(g_lpApp->str_BootVersion.Get(), std::string(255, 'B'));
    EXPECT_EQ(g_lpApp->str_2041Version.Get(), "1012");
    EXPECT_EQ(g_lpApp->str_FPGAVersion.Get(), "1007");
    delete g_lpApp;
    g_lpApp = nullptr;
}

}  // namespace
