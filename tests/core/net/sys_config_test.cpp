// Configuration sections against a scripted device: request bytes, the size
// checks of single reads, the "ALL" split of both layouts, the PPPOE gate.

#include "core/net/sys_config.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/login/login_exchange.h"
#include "tests/support/core/device_command_fixture.h"

namespace command_test {
namespace {

// Distinct bytes, so that a section taken from a wrong offset shows.
std::string Pattern(std::size_t size, unsigned seed = 0) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 251 + seed) & 0xFF);
    }
    return bytes;
}

class SysConfigTest : public DeviceCommandTest {
protected:
    void SetUp() override {
        DeviceCommandTest::SetUp();
        Fill(0xEE);
    }

    SystemConfigStruct& config() { return g_lpApp->SystemConfigStruct; }

    void Fill(std::uint8_t value) {
        for (std::uint8_t option = 0; option < kSysCfgAll; ++option) {
            auto area = SysCfgArea(config(), option);
            std::fill(area.begin(), area.end(), value);
        }
        config().pppoeOld.fill(value);
        config().pppoe.fill(value);
    }

    void Identity(std::string productId, std::string firmware) {
        g_lpApp->str_ProductID.Set(std::move(productId));
        g_lpApp->str_FWVersion.Set(std::move(firmware));
    }
};

TEST_F(SysConfigTest, RequestBytes) {
    struct Case {
        const char* cookie;
        std::function<int()> action;
        std::string expected;
    };
    const std::string ip = Pattern(24);
    const std::string dns = Pattern(12);
    const std::vector<Case> cases = {
        {"C00C1E", [this] { return ReadSysCfgSection(kSysCfgIp, config().ip); },
         "GET /GetSysCfg.cgi?Option=IP&Size=24&Cookie=C00C1E HTTP/1.1\r\n" + FixedHeaders()},
        {"", [] { return ReadSysCfgSection(kSysCfgAll, {}); },
         "GET /GetSysCfg.cgi?Option=ALL&Size=0 HTTP/1.1\r\n" + FixedHeaders()},
        {"C00C1E", [&dns] { return WriteSysCfgSection(kSysCfgDns, Bytes(dns)); },
         "GET /SetSysCfg.cgi?Option=DNS&Refresh=False&Cookie=C00C1E HTTP/1.1\r\n" +
             FixedHeaders("12") + dns},
        {"", [&dns] { return WriteSysCfgSection(kSysCfgDns, Bytes(dns), true); },
         "GET /SetSysCfg.cgi?Option=DNS&Refresh=True HTTP/1.1\r\n" + FixedHeaders("12") + dns},
        {"", [&ip] { return WriteSysCfgSection(kSysCfgIp, Bytes(ip)); },
         "GET /SetSysCfg.cgi?Option=IP HTTP/1.1\r\n" + FixedHeaders("24") + ip},
    };
    device.SetReply("/GetSysCfg.cgi", Reply::Ok(ip));
    device.SetReply("/SetSysCfg.cgi", Reply::Ok());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        g_szSessionCookie.Set(cases[i].cookie);
        cases[i].action();
        EXPECT_EQ(RawRequest(i), cases[i].expected) << "case " << i;
    }
    EXPECT_EQ(WriteSysCfgSection(kSysCfgAll, Bytes(ip)), 0);  // read only
    EXPECT_EQ(device.RequestCount(), cases.size());
}

TEST_F(SysConfigTest, SingleSectionTakesOnlyAReplyOfItsSize) {
    struct Case {
        std::uint8_t option;
        Reply reply;
        int result;
    };
    const std::vector<Case> cases = {
        {kSysCfgIp, Reply::Ok(Pattern(24)), 1},
        {kSysCfgIp, Reply::Ok(Pattern(25)), 0},
        {kSysCfgIp, Reply::Ok(Pattern(23)), 0},
        {kSysCfgIp, Reply::Ok(), 0},
        {kSysCfgIp, Reply::Status(404, "Not Found", Pattern(24)), 0},
        {kSysCfgDvrLive, Reply::Ok(Pattern(772)), 1},
        {kSysCfgOnline, Reply::Ok(Pattern(48)), 1},
        {kSysCfgOnline, Reply::Ok(Pattern(240)), 1},
        {kSysCfgOnline, Reply::Ok(), 1},
        {kSysCfgOnline, Reply::Ok(Pattern(241)), 0},
    };
    for (const Case& c : cases) {
        Fill(0xEE);
        device.SetReply("/GetSysCfg.cgi", c.reply);
        const auto area = SysCfgArea(config(), c.option);
        const std::string before = Text(area);
        EXPECT_EQ(ReadSysCfgSection(c.option, area), c.result)
            << SysCfgOption[c.option].option << " " << c.reply.body.size();
        if (c.result == 0) {
            EXPECT_EQ(Text(area), before);
        } else {
            // ONLINE: what the reply holds, the rest of the area zero.
            std::string expected = c.reply.body;
            expected.resize(area.size(), '\0');
            EXPECT_EQ(Text(area), expected);
        }
    }
}

// Offsets of the sections in an "ALL" reply, as the two layouts place them.
struct Placement {
    std::uint8_t option;
    std::size_t offset;
};
const std::vector<Placement> kCompactPlacement = {
    {kSysCfgInf, 0},     {kSysCfgIp, 44},   {kSysCfgSecure, 68}, {kSysCfgDns, 264},
    {kSysCfgSmtp, 276},  {kSysCfgFtp, 716}, {kSysCfgPppoe, 820}, {kSysCfgSystem, 888},
    {kSysCfgSntp, 924},  {kSysCfgImg, 960}, {kSysCfgRs485, 972}, {kSysCfgAlarm, 1096},
    {kSysCfgPeri, 1120},
};
const std::vector<Placement> kDvrPlacement = {
    {kSysCfgInf, 0},        {kSysCfgIp, 44},       {kSysCfgSecure, 68},   {kSysCfgDns, 264},
    {kSysCfgSmtp, 276},     {kSysCfgFtp, 716},     {kSysCfgPppoe, 820},   {kSysCfgSystem, 888},
    {kSysCfgSntp, 924},     {kSysCfgImg, 960},     {kSysCfgRs485, 972},   {kSysCfgAlarm, 1096},
    {kSysCfgDvrLive, 1120}, {kSysCfgDvrOsd, 1892}, {kSysCfgDvrRec, 1912},
};

struct AllCase {
    const char* productId;
    const char* firmware;
    std::size_t replySize;
    int result;
    bool compact;             // the layout of Q3A2, the Q7B family and Q9C0
    std::size_t onlineBytes;  // taken into ONLINE from the reply's end
    bool olderPppoe;
};

TEST_F(SysConfigTest, AllReplyIsSplitByProductLayout) {
    const std::vector<AllCase> cases = {
        {"Q9C0", "1010", 1200, 1, true, 64, false},
        {"Q9C0", "1010", 1400, 1, true, 0, false},
        {"Q9C0", "1010", 1136, 1, true, 0, false},
        {"Q9C0", "1010", 1135, 0, true, 0, false},
        {"Q3A2", "1006", 1376, 1, true, 240, true},
        {"Q7B5", "1007", 1377, 1, true, 0, false},
        {"Q8A7", "1052", 2144, 1, false, 100, false},
        {"Q8A7", "1051", 2284, 1, false, 240, true},
        {"Q8A3", "1052", 2285, 1, false, 0, false},
        {"Q8A5", "1052", 2043, 0, false, 0, false},
        // Any other product: the DVR layout, with the DVR layout's PPPOE gate.
        {"ZZZZ", "1008", 2050, 1, false, 6, true},
    };
    for (const AllCase& c : cases) {
        SCOPED_TRACE(std::string(c.productId) + " " + c.firmware + " " +
                     std::to_string(c.replySize));
        Fill(0xEE);
        Identity(c.productId, c.firmware);
        const std::string reply = Pattern(c.replySize, 3);
        device.SetReply("/GetSysCfg.cgi", Reply::Ok(reply));
        ASSERT_EQ(ReadSysCfgSection(kSysCfgAll, {}), c.result);

        const auto& placement = c.compact ? kCompactPlacement : kDvrPlacement;
        for (const Placement& p : placement) {
            const auto area = p.option != kSysCfgPppoe ? SysCfgArea(config(), p.option)
                              : c.olderPppoe           ? std::span<std::uint8_t>(config().pppoeOld)
                                                       : std::span<std::uint8_t>(config().pppoe);
            const std::string expected = c.result == 1 ? reply.substr(p.offset, area.size())
                                                       : std::string(area.size(), '\xEE');
            EXPECT_EQ(Text(area), expected) << SysCfgOption[p.option].option;
        }
        EXPECT_EQ(Text(c.olderPppoe ? config().pppoe : config().pppoeOld), std::string(68, '\xEE'));
        std::string online(240, c.result == 1 ? '\0' : '\xEE');
        online.replace(0, c.onlineBytes, reply.substr(reply.size() - c.onlineBytes));
        EXPECT_EQ(Text(config().online), online);
    }
}

TEST_F(SysConfigTest, PppoeGateDependsOnProductFamily) {
    struct Case {
        const char* productId;
        const char* firmware;
        bool older;
    };
    const std::vector<Case> cases = {
        {"Q8A7", "1051", true},  {"Q8A7", "1052", false},
        {"Q8A5", "0999", true},  {"Q3A2", "1006", true},
        {"Q3A2", "1007", false}, {"Q7B7", "1006", true},
        {"Q9C0", "1052", false}, {"ZZZZ", "1008", false},
        {"Q8A7", "105", false},  // not four characters: the current layout
    };
    device.SetReply("/GetSysCfg.cgi", Reply::Ok(Pattern(68)));
    for (const Case& c : cases) {
        Fill(0xEE);
        Identity(c.productId, c.firmware);
        EXPECT_EQ(UsesOlderPppoeLayout(), c.older) << c.productId << " " << c.firmware;
        ASSERT_EQ(ReadSysCfgSection(kSysCfgPppoe, SysCfgArea(config(), kSysCfgPppoe)), 1);
        EXPECT_EQ(Text(c.older ? config().pppoeOld : config().pppoe), Pattern(68));
        EXPECT_EQ(Text(c.older ? config().pppoe : config().pppoeOld), std::string(68, '\xEE'));
    }
}

TEST_F(SysConfigTest, SectionsRoundTripWithTheSimulatedRecorder) {
    auto& model = device.EnableDeviceModel();
    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kSessionThread), kLoginOk);
    ASSERT_EQ(ReadSysCfgSection(kSysCfgAll, {}), 1);
    for (const Placement& p : kDvrPlacement) {
        EXPECT_EQ(Text(SysCfgArea(config(), p.option)),
                  model.Section(SysCfgOption[p.option].option).value_or("(none)"))
            << SysCfgOption[p.option].option;
    }
    const std::string ip = Pattern(24, 9);
    ASSERT_EQ(WriteSysCfgSection(kSysCfgIp, Bytes(ip)), 1);
    EXPECT_EQ(model.Section("IP"), ip);
    ASSERT_EQ(ReadSysCfgSection(kSysCfgIp, config().ip), 1);
    EXPECT_EQ(Text(config().ip), ip);
}

TEST(SysConfig, FeatureBitsAreInfBytes20To23LittleEndian) {
    SystemConfigStruct config;
    config.inf[20] = 0x01;
    config.inf[21] = 0x02;
    config.inf[22] = 0x03;
    config.inf[23] = 0x84;
    EXPECT_EQ(InfFeatureBits(config), 0x84030201u);
}

}  // namespace
}  // namespace command_test
