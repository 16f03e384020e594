// The save routines against a device on 127.0.0.1: for each family and
// firmware gate, a changed page value gives exactly these section bodies, in
// this order. Expected bodies are the sections as read with bytes patched by
// hand, so a field written at a wrong offset or a free byte changed shows.

#include "config/sheet/save_routines.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/sheet/section_layouts.h"
#include "platform/message_box.h"
#include "tests/support/core/global_state.h"
#include "tests/support/fake_device.h"
#include "tests/support/recording_message_box.h"

namespace {

using test_support::FakeDevice;
using test_support::Reply;

struct Patch {
    std::size_t at;
    std::string bytes;
};

struct Sent {
    std::string option;
    std::vector<Patch> patches;  // applied to the section as read
};

std::string Zeros(std::size_t n) {
    return std::string(n, '\0');
}
// A text followed by zeros to the field's width.
std::string Field(std::string_view text, std::size_t width) {
    std::string bytes(text);
    bytes.resize(width, '\0');
    return bytes;
}

class SaveRoutinesTest : public test_support::GlobalStateTest {
public:  // the case table's lambdas reach the fixture
    void SetUp() override {
        GlobalStateTest::SetUp();
        g_lpApp->CSettingINI.m_strServerName = "127.0.0.1";
        g_lpApp->CSettingINI.m_wWebPort = device.port();
        g_strHostIP.Set("10.1.2.3");
        device.SetReply("/SetSysCfg.cgi", Reply::Ok());
    }
    void TearDown() override {
        routines.reset();
        sender.reset();
        device.Stop();
        GlobalStateTest::TearDown();
        g_strHostIP.Clear();
    }

    // The sections as the device holds them: each byte of each area a
    // letter, texts without an end inside their fields; the four bytes the
    // sheet zeroes on opening are zero already, so they do not show.
    static char BaseByte(std::uint8_t option, std::size_t i) {
        return static_cast<char>('A' + (i * 3 + option) % 26);
    }
    void FillBase() {
        auto& config = g_lpApp->SystemConfigStruct;
        for (std::uint8_t option = 0; option < kSysCfgAll; ++option) {
            auto area = SysCfgArea(config, option);
            for (std::size_t i = 0; i < area.size(); ++i) {
                area[i] = static_cast<std::uint8_t>(BaseByte(option, i));
            }
        }
        for (std::size_t i = 0; i < config.pppoeOld.size(); ++i) {
            config.pppoeOld[i] = config.pppoe[i] =
                static_cast<std::uint8_t>(BaseByte(kSysCfgPppoe, i));
        }
        for (std::size_t at : {71u, 87u, 407u, 439u}) {
            config.smtp[at] = 0;
        }
    }

    void Open(const char* product, const char* firmware, std::uint32_t features = 0,
              std::optional<SectionSet> read = std::nullopt) {
        identity = DeviceIdentity{product, firmware, features};
        g_lpApp->str_ProductID.Set(product);
        g_lpApp->str_FWVersion.Set(firmware);
        g_lpApp->dw_FeatureFlags = features;
        FillBase();
        base = g_lpApp->SystemConfigStruct;
        sender = std::make_unique<SectionSender>(g_lpApp->SystemConfigStruct, identity,
                                                 read.value_or(SectionsOfAllRead(identity)));
        readValues = LoadReadValues(g_lpApp->SystemConfigStruct, identity, 640, 480);
        routines = std::make_unique<ConfigSaveRoutines>(*sender, readValues);
    }

    std::string Expected(const Sent& sent) {
        std::uint8_t option = 0;
        while (option < kSysCfgAll && SysCfgOption[option].option != sent.option) {
            ++option;
        }
        const auto area = AreaOf(base, option, identity);
        std::string bytes(area.begin(), area.end());
        for (const Patch& p : sent.patches) {
            bytes.replace(p.at, p.bytes.size(), p.bytes);
        }
        return bytes;
    }

    void ExpectSent(const std::vector<Sent>& expected) {
        const auto requests = device.Requests();
        ASSERT_EQ(requests.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE("send " + std::to_string(i) + " " + expected[i].option);
            EXPECT_EQ(requests[i].path, "/SetSysCfg.cgi");
            EXPECT_EQ(requests[i].Param("Option").value_or(""), expected[i].option);
            EXPECT_EQ(requests[i].body, Expected(expected[i]));
        }
    }

    // Page values equal to what the sheet read: a save sends nothing.
    MailPageValues MailAsRead() const {
        return {readValues.senderAddress,
                readValues.mailServer,
                readValues.mailPassword,
                readValues.mailUser,
                readValues.verifyMode,
                false,
                {}};
    }
    DdnsPageValues DdnsAsRead() const {
        return {readValues.dnsServer,        readValues.autoDns,      readValues.ddnsEnable,
                readValues.ddnsUser,         readValues.ddnsPassword, readValues.ddnsDomain,
                readValues.ddnsProviderIndex};
    }
    NetworkPageValues NetworkAsRead() const {
        return {readValues.serverAddress, readValues.gateway, readValues.netMask,
                readValues.webPort,       readValues.ipType,  readValues.pppoeUser,
                readValues.pppoePassword};
    }
    GeneralPageValues GeneralAsRead() const {
        return {readValues.title, readValues.channel1Name, readValues.channel2Name};
    }

    FakeDevice device;
    test_support::ScopedMessageBoxRecorder boxes;
    DeviceIdentity identity;
    SystemConfigStruct base;
    SheetReadValues readValues;
    std::unique_ptr<SectionSender> sender;
    std::unique_ptr<ConfigSaveRoutines> routines;
};

// The table: family × gate × changed value → bodies sent.
struct SaveCase {
    const char* name;
    const char* product;
    const char* firmware;
    std::uint32_t features;
    std::function<int(SaveRoutinesTest&)> save;
    std::vector<Sent> sent;
};

class SaveTable : public SaveRoutinesTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveTable, SendsExactlyTheseBodies) {
    const SaveCase& c = GetParam();
    Open(c.product, c.firmware, c.features);
    c.save(*this);
    ExpectSent(c.sent);
    EXPECT_TRUE(boxes.Ids().empty());
    EXPECT_FALSE(sender->AnyFailed());
}

const std::string kTwenty = "abcdefghijklmnopqrst";

const SaveCase kCases[] = {
    // Network: PPPoE account in the device's layout (older below "1052" on
    // the DVR family, below "1007" elsewhere), then IP.
    {"NetworkDvrPppoe1050",
     "Q8A7",
     "1050",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.NetworkAsRead();
         page.user = "pppuser";
         return t.routines->SaveNetwork(page);
     },
     {{"PPPOE", {{36, Field("pppuser", 16)}}}}},
    {"NetworkDvrPppoe1052",
     "Q8A3",
     "1052",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.NetworkAsRead();
         page.user = "pppuser";
         page.password = "secret";
         return t.routines->SaveNetwork(page);
     },
     {{"PPPOE", {{4, Field("pppuser", 32)}, {36, Field("secret", 32)}}}}},
    {"NetworkQ3A2Pppoe1006",
     "Q3A2",
     "1006",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.NetworkAsRead();
         page.password = std::string(15, 'p');  // all the field keeps before its end
         return t.routines->SaveNetwork(page);
     },
     {{"PPPOE", {{52, Field(std::string(15, 'p'), 16)}}}}},
    {"NetworkQ9C0Pppoe1007",
     "Q9C0",
     "1007",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.NetworkAsRead();
         page.user = std::string(31, 'u');
         return t.routines->SaveNetwork(page);
     },
     {{"PPPOE", {{4, Field(std::string(31, 'u'), 32)}}}}},
    {"NetworkAddressesAndPort",
     "Q8A5",
     "1052",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.NetworkAsRead();
         page.serverAddress = 0x0A000005;
         page.gateway = 0x0A000001;
         page.netMask = 0xFF000000;
         page.webPort = 8080;
         EXPECT_EQ(t.routines->SaveNetwork(page), 1);
         return 1;
     },
     {{"IP", {{4, std::string("\x0A\0\0\x05\xFF\0\0\0\x0A\0\0\x01\x90\x1F", 14)}}}}},
    {"NetworkPppoeThenIpType",
     "Q3A2",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.NetworkAsRead();
         page.user = "dsl";
         page.ipType = 1;
         EXPECT_EQ(t.routines->SaveNetwork(page), 1);
         return 1;
     },
     {{"PPPOE", {{4, Field("dsl", 32)}}}, {"IP", {{22, "\x01"}}}}},
    {"NetworkWebPortOutOfRangeSendsNoIp",
     "Q7B5",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.NetworkAsRead();
         page.password = "pw";
         page.serverAddress = 0x0A000005;
         page.webPort = 70000;
         EXPECT_EQ(t.routines->SaveNetwork(page), 0);
         EXPECT_FALSE(g_bPendingServerName.load());
         EXPECT_FALSE(g_bPendingWebPort.load());
         return 0;
     },
     {{"PPPOE", {{36, Field("pw", 32)}}}}},
    // Sender address: where its continuation goes, by family and gate.
    {"DvrSender1027",
     "Q8A7",
     "1027",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.MailAsRead();
         page.sender = kTwenty;
         return t.routines->SaveMail(page);
     },
     {{"SMTP", {{72, Field("abcdefghijklmno", 16)}}}, {"SNTP", {{8, Field("pqrst", 28)}}}}},
    {"DvrSender1026",
     "Q8A7",
     "1026",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.MailAsRead();
         page.sender = kTwenty.substr(0, 15);  // no continuation below "1027"
         return t.routines->SaveMail(page);
     },
     {{"SMTP", {{72, Field("abcdefghijklmno", 16)}}}}},
    {"Q9C0Sender1003",
     "Q9C0",
     "1003",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.MailAsRead();
         page.sender = std::string(42, 'x');
         return t.routines->SaveMail(page);
     },
     {{"SMTP", {{72, Field(std::string(15, 'x'), 16)}}},
      {"SYSTEM", {{4, Field(std::string(27, 'x'), 32)}}}}},
    // A Q3A2 from "1010" keeps the continuation below its title (20..35).
    {"Q3A2Sender1010KeepsTitle",
     "Q3A2",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.MailAsRead();
         page.sender = std::string(30, 'x');
         return t.routines->SaveMail(page);
     },
     {{"SMTP", {{72, Field(std::string(15, 'x'), 16)}}},
      {"SYSTEM", {{4, Field(std::string(15, 'x'), 16)}}}}},
    {"Q7BSenderShort",
     "Q7B5",
     "1002",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.MailAsRead();
         page.sender = "me@x.org";
         return t.routines->SaveMail(page);
     },
     {{"SMTP", {{72, Field("me@x.org", 16)}}}}},
    {"MailServerVerifyRecipients",
     "Q7B7",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.MailAsRead();
         page.server = "smtp.x.org";
         page.verifyMode = 2;
         page.recipientsChanged = true;
         page.recipients = {"a <a@b.c>", std::string(47, 'r')};
         return t.routines->SaveMail(page);
     },
     {{"SMTP",
       {{4, "\x02"},
        {8, Field("smtp.x.org", 64)},
        {136, Field("a <a@b.c>", 48) + Field(std::string(47, 'r'), 48) + Zeros(96)}}}}},
    // Dynamic DNS: DNS first, then SMTP.
    {"DdnsServerAndUser",
     "Q3A2",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.DdnsAsRead();
         page.dnsServer = 0x08080404;
         page.autoDns = 0;
         page.user = "duser";
         page.providerIndex = 2;
         return t.routines->SaveDdns(page);
     },
     {{"DNS", {{3, std::string("\0\x08\x08\x04\x04", 5)}}},
      {"SMTP", {{88, Field("statdns", 16)}, {104, Field("duser", 16)}}}}},
    {"DdnsQuillmereOnly",
     "Q9C0",
     "1010",
     0x80,
     [](SaveRoutinesTest& t) {
         auto page = t.DdnsAsRead();
         page.providerIndex = 0;
         page.enable = 1;
         return t.routines->SaveDdns(page);
     },
     {{"SMTP", {{5, "\x01"}, {88, Field("quillmere", 16)}}}}},
    // FTP: a user name as long as its field keeps, the password, the port.
    {"FtpUserAtItsRoom",
     "Q7B3",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         FtpPageValues page{t.readValues.ftpServer, std::string(15, 'u'), "pw",
                            t.readValues.ftpDirectory, 2121};
         return t.routines->SaveFtp(page);
     },
     {{"FTP", {{36, Field(std::string(15, 'u'), 16)}, {52, Field("pw", 16)}, {100, "\x49\x08"}}}}},
    // Alarm: duration by family, post numbers + 1.
    {"AlarmQ3A2",
     "Q3A2",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         AlarmPageValues page{3, 2, 7, 4, 4};
         return t.routines->SaveAlarm(page);
     },
     {{"ALARM", {{2, "\x05\x03"}, {5, "\x02\x08\x07"}, {9, "\x07"}}}}},
    {"AlarmDvrLeavesChannelTwoInput",
     "Q8A3",
     "1030",
     0,
     [](SaveRoutinesTest& t) {
         AlarmPageValues page{t.readValues.alarmMethod, t.readValues.imageSize, 7,
                              t.readValues.postNumbersIndex, 3};
         return t.routines->SaveAlarm(page);
     },
     {{"ALARM", {{6, std::string("\x28\x00", 2)}}}}},
    // General: title and channel names.
    {"GeneralDvrTitle",
     "Q8A7",
     "1030",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.GeneralAsRead();
         page.title = "Gate";
         return t.routines->SaveGeneral(page);
     },
     {{"SYSTEM", {{20, Field("Gate", 16)}}}}},
    {"GeneralQ3A2ChannelNames",
     "Q3A2",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.GeneralAsRead();
         page.channel1Name = "CH1";  // the second name keeps the device's bytes
         return t.routines->SaveGeneral(page);
     },
     {{"RS485", {{44, Field("CH1", 8)}}}}},
    {"GeneralQ3A2WithoutTitle",
     "Q3A2",
     "1009",
     0,
     [](SaveRoutinesTest& t) {
         auto page = t.GeneralAsRead();
         page.title = "Gate";  // bytes 20..35 hold the sender's continuation here
         return t.routines->SaveGeneral(page);
     },
     {}},
    // Peripherals: models by code, bauds by row.
    {"Peripheral",
     "Q3A2",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         PeripheralPageValues page{9, t.readValues.device2Id, 10, t.readValues.device2ModelIndex, 6,
                                   9};
         return t.routines->SavePeripheral(page);
     },
     {{"PERI",
       {{2, "\x19"}, {4, std::string("\x00\xC2\x01\x00\x60\x09\x00\x00", 8)}, {12, "\x09"}}}}},
    // Server time.
    {"SntpServerAndZone",
     "Q9C0",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         SntpPageValues page{false, "pool.ntp.org", 7, -5, 0, 1};
         return t.routines->SaveSntp(page);
     },
     {{"SNTP",
       {{2, std::string("\xFB\x00", 2)}, {5, "\x07\x01"}, {8, Field("pool.ntp.org", 28)}}}}},
    {"SntpAutomatic",
     "Q3A2",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         SntpPageValues page{true, "", t.readValues.zoneIndex, 0, 0, t.readValues.syncMode};
         return t.routines->SaveSntp(page);
     },
     {{"SNTP", {{8, Zeros(28)}}}}},
    // DVR timer rows.
    {"TimerRecord",
     "Q8A5",
     "1030",
     0,
     [](SaveRoutinesTest& t) {
         TimerPageValues page{t.readValues.timerModes, t.readValues.timerStarts,
                              t.readValues.timerEnds};
         page.modes[0] = 2;
         page.ends[6] = TimerTime(23, 59);
         return t.routines->SaveTimerRecord(page);
     },
     {{"DVRREC", {{87, "\x02"}, {120, "\x3B\x17"}}}}},
    // Accounts.
    {"AccountSlotsAndMaxUsers",
     "Q7B5",
     "1010",
     0,
     [](SaveRoutinesTest& t) {
         AccountPageValues page;
         page.slotsChanged = true;
         page.accounts[0] = {true, 30, 0xFFFFFFFF, "admin", "pw"};
         page.maxUsers = 4;
         (void)t;
         return t.routines->SaveAccount(page);
     },
     {{"SECURE",
       {{2, "\x04"},
        {8, Field("admin", 16)},
        {24, Zeros(64)},
        {88, Field("pw", 16)},
        {104, Zeros(64)},
        {168, "\x1E"},
        {176, "\xFF\xFF\xFF\xFF"}}}}},
    // In-place pages: their sections in order, as the page left them.
    {"CameraPage",
     "Q8A7",
     "1030",
     0,
     [](SaveRoutinesTest& t) {
         WriteByte(t.sender->Area(kSysCfgDvrLive), cfg::DVRLIVE::Covert.At(1), 1);
         WriteByte(t.sender->Area(kSysCfgDvrRec), cfg::DVRREC::Record.At(2), 0);
         return t.routines->SaveCamera({true, true});
     },
     {{"DVRLIVE", {{85, "\x01"}}}, {"DVRREC", {{22, std::string("\0", 1)}}}}},
    {"DevicePage",
     "Q8A7",
     "1030",
     0,
     [](SaveRoutinesTest& t) {
         DevicePageValues page;
         page.channelsChanged = true;
         page.types[15] = 1;
         page.ids[0] = 5;
         page.bauds[0] = 9600;
         const int result = t.routines->SaveDevice(page);
         EXPECT_TRUE(t.readValues.rs485Changed);
         return result;
     },
     {{"RS485",
       {{12, "\x05" + Zeros(15) + Zeros(15) + "\x01" + Zeros(16) +
                 std::string("\x80\x25\x00\x00", 4) + Zeros(60)}}}}},
};

INSTANTIATE_TEST_SUITE_P(Routines, SaveTable, ::testing::ValuesIn(kCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

// Where the client turns after a network change: the pending address and
// port are taken over by the settings with the IP section's own reply.
struct PendingCase {
    const char* name;
    int ipType;  // -1: as read
    const char* domain;
    std::uint32_t server;  // 0: as read
    int port;              // 0: as read
    std::string expectedServer;
    std::uint16_t expectedPort;  // 0: the fake device's
};

class PendingTable : public SaveRoutinesTest, public ::testing::WithParamInterface<PendingCase> {};

TEST_P(PendingTable, ClientFollowsTheDevice) {
    const PendingCase& c = GetParam();
    Open("Q8A7", "1052");
    WriteText(g_lpApp->SystemConfigStruct.smtp, cfg::SMTP::DdnsDomain, c.domain);
    auto page = NetworkAsRead();
    if (c.ipType >= 0) {
        page.ipType = static_cast<std::uint8_t>(c.ipType);
    }
    if (c.server != 0) {
        page.serverAddress = c.server;
    }
    if (c.port != 0) {
        page.webPort = c.port;
    }
    const std::uint16_t fakePort = device.port();
    EXPECT_EQ(routines->SaveNetwork(page), 1);
    ASSERT_EQ(device.RequestsTo("/SetSysCfg.cgi").size(), 1u);
    EXPECT_EQ(g_lpApp->CSettingINI.m_strServerName.Get(), c.expectedServer);
    EXPECT_EQ(g_lpApp->CSettingINI.m_wWebPort.load(),
              c.expectedPort == 0 ? fakePort : c.expectedPort);
    EXPECT_FALSE(g_bPendingServerName.load());
    EXPECT_FALSE(g_bPendingWebPort.load());
}

INSTANTIATE_TEST_SUITE_P(
    Network, PendingTable,
    ::testing::Values(
        PendingCase{"StaticTakesItsAddress", 0, "dvr.example.net", 0x0A000005, 0, "10.0.0.5", 0},
        PendingCase{"PppoeTakesTheDomain", 1, "dvr.example.net", 0x0A000005, 0, "dvr.example.net",
                    0},
        PendingCase{"PppoeWithoutDomainKeepsTheAddress", 1, "", 0, 0, "127.0.0.1", 0},
        PendingCase{"DhcpWithoutDomainDropsTheAddress", 2, "", 0x0A000005, 0, "127.0.0.1", 0},
        PendingCase{"DhcpTakesTheDomain", 2, "dyn.example.org", 0, 0, "dyn.example.org", 0},
        PendingCase{"PortOnly", -1, "", 0, 8080, "127.0.0.1", 8080}),
    [](const auto& instance) { return std::string(instance.param.name); });

// A failed IP send withdraws the pending values: the device did not take
// them, so the client must not turn to them after its next command.
TEST_F(SaveRoutinesTest, FailedIpSendWithdrawsPendingValues) {
    Open("Q9C0", "1010");
    device.SetReply("/SetSysCfg.cgi", Reply::Status(500, "Internal Server Error"));
    auto page = NetworkAsRead();
    page.serverAddress = 0x0A000005;
    page.webPort = 8080;
    EXPECT_EQ(routines->SaveNetwork(page), 1);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4012});
    EXPECT_FALSE(g_bPendingServerName.load());
    EXPECT_FALSE(g_bPendingWebPort.load());
    EXPECT_TRUE(sender->AnyFailed());
}

// A failed PPPOE send ends the routine: IP is not sent in that APPLY.
TEST_F(SaveRoutinesTest, FailedPppoeSendStopsBeforeIp) {
    Open("Q8A7", "1052");
    device.SetReply("/SetSysCfg.cgi", Reply::Status(500, "Internal Server Error"));
    auto page = NetworkAsRead();
    page.user = "dsl";
    page.webPort = 8080;
    EXPECT_EQ(routines->SaveNetwork(page), 0);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4012});
    ASSERT_EQ(device.RequestsTo("/SetSysCfg.cgi").size(), 1u);
    EXPECT_EQ(device.Requests()[0].Param("Option").value_or(""), "PPPOE");
}

// Pages left as they were read send nothing, whatever the family.
TEST_F(SaveRoutinesTest, UnchangedPagesSendNothing) {
    for (const char* product : {"Q8A7", "Q3A2", "Q9C0", "Q7B5"}) {
        for (const char* firmware : {"1002", "1010", "1030", "1052"}) {
            SCOPED_TRACE(std::string(product) + " " + firmware);
            Open(product, firmware);
            EXPECT_EQ(routines->SaveNetwork(NetworkAsRead()), 0);
            EXPECT_EQ(routines->SaveMail(MailAsRead()), 1);
            routines->SaveDdns(DdnsAsRead());
            EXPECT_EQ(routines->SaveGeneral(GeneralAsRead()), 1);
            EXPECT_EQ(
                routines->SaveFtp({readValues.ftpServer, readValues.ftpUser, readValues.ftpPassword,
                                   readValues.ftpDirectory, readValues.ftpPort}),
                1);
            EXPECT_EQ(routines->SaveAlarm({readValues.alarmMethod, readValues.imageSize,
                                           readValues.videoSource, readValues.postNumbersIndex,
                                           readValues.alarmDurationIndex}),
                      1);
            EXPECT_EQ(routines->SaveTimerRecord(
                          {readValues.timerModes, readValues.timerStarts, readValues.timerEnds}),
                      1);
            EXPECT_EQ(routines->SavePeripheral(
                          {readValues.device1Id, readValues.device2Id, readValues.device1ModelIndex,
                           readValues.device2ModelIndex, readValues.device1BaudIndex,
                           readValues.device2BaudIndex}),
                      1);
            EXPECT_FALSE(readValues.peripheralChanged);
        }
    }
    EXPECT_EQ(device.RequestCount(), 0u);
}

// A section never read when the sheet opened is never sent: its other bytes
// are not the device's. A change to it fails (4012) and leaves the block as
// it was, so nothing pretends the device took it.
TEST_F(SaveRoutinesTest, SectionNeverReadIsNeverSent) {
    SectionSet read;
    read.set(kSysCfgSmtp);
    Open("Q8A7", "1030", 0, read);  // SYSTEM and SNTP were not read
    auto page = MailAsRead();
    page.sender = kTwenty;
    EXPECT_EQ(routines->SaveMail(page), 0);
    auto general = GeneralAsRead();
    general.title = "Gate";
    EXPECT_EQ(routines->SaveGeneral(general), 0);
    ExpectSent({{"SMTP", {{72, Field("abcdefghijklmno", 16)}}}});
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4012, 4012}));
    EXPECT_EQ(sender->FailedSends(), 2);
    EXPECT_EQ(g_lpApp->SystemConfigStruct.sntp, base.sntp);
    EXPECT_EQ(g_lpApp->SystemConfigStruct.system, base.system);
}

// A section whose bytes end up as the device holds them is not sent: a
// quillmere-only device's provider is written again unchanged.
TEST_F(SaveRoutinesTest, UnchangedBytesAreNotSentAgain) {
    Open("Q9C0", "1010", 0x80);
    WriteText(g_lpApp->SystemConfigStruct.smtp, cfg::SMTP::DdnsProvider, "quillmere");
    sender = std::make_unique<SectionSender>(g_lpApp->SystemConfigStruct, identity,
                                             SectionsOfAllRead(identity));
    readValues = LoadReadValues(g_lpApp->SystemConfigStruct, identity, 0, 0);
    routines = std::make_unique<ConfigSaveRoutines>(*sender, readValues);
    ASSERT_EQ(readValues.ddnsProviderIndex, 3);
    auto page = DdnsAsRead();
    page.providerIndex = 0;  // the page's list has one row
    routines->SaveDdns(page);
    EXPECT_EQ(device.RequestCount(), 0u);
}

// A failed send shows its message, the sequence goes on, the failure is
// counted; pressing APPLY again sends what failed and not what went through.
TEST_F(SaveRoutinesTest, FailedSendIsReportedAndRetried) {
    Open("Q8A7", "1030");
    device.SetReplies("/SetSysCfg.cgi", {Reply::Status(500, "Internal Server Error"), Reply::Ok()});
    auto mail = MailAsRead();
    mail.sender = kTwenty;  // SMTP fails: SNTP is not tried
    EXPECT_EQ(routines->SaveMail(mail), 0);
    auto general = GeneralAsRead();
    general.title = "Gate";
    EXPECT_EQ(routines->SaveGeneral(general), 1);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4012});
    EXPECT_EQ(sender->FailedSends(), 1);
    ASSERT_EQ(device.RequestCount(), 2u);
    EXPECT_EQ(device.Requests()[1].Param("Option").value_or(""), "SYSTEM");

    sender->ClearFailures();
    EXPECT_EQ(routines->SaveMail(mail), 1);
    EXPECT_EQ(routines->SaveGeneral(general), 1);
    const auto requests = device.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[2].Param("Option").value_or(""), "SMTP");
    EXPECT_EQ(requests[3].Param("Option").value_or(""), "SNTP");
    EXPECT_FALSE(sender->AnyFailed());
}

// What counts as changed is what differs from the bytes the device took:
// a value the device refused and the operator set back is not sent along
// with the next change of the same section...
TEST_F(SaveRoutinesTest, RefusedValueSetBackStaysOutOfTheNextSend) {
    Open("Q8A7", "1030");
    device.SetReplies("/SetSysCfg.cgi", {Reply::Status(500, "Internal Server Error"), Reply::Ok()});
    auto mail = MailAsRead();
    mail.server = "refused.example.org";
    EXPECT_EQ(routines->SaveMail(mail), 0);
    EXPECT_EQ(g_lpApp->SystemConfigStruct.smtp, base.smtp);  // the block says what the device has
    mail.server = readValues.mailServer;
    mail.user = "desk";
    EXPECT_EQ(routines->SaveMail(mail), 1);
    ExpectSent(
        {{"SMTP", {{8, Field("refused.example.org", 64)}}}, {"SMTP", {{376, Field("desk", 32)}}}});
}

// ...and a value the device took, then set back to what was read when the
// sheet opened, is a change again.
TEST_F(SaveRoutinesTest, TakenValueSetBackIsSentAgain) {
    Open("Q8A7", "1030");
    const std::string title = readValues.title;
    auto general = GeneralAsRead();
    general.title = "Gate";
    EXPECT_EQ(routines->SaveGeneral(general), 1);
    EXPECT_EQ(readValues.title, "Gate");
    general.title = title;
    EXPECT_EQ(routines->SaveGeneral(general), 1);
    ExpectSent({{"SYSTEM", {{20, Field("Gate", 16)}}}, {"SYSTEM", {{20, Field(title, 16)}}}});
    EXPECT_EQ(g_lpApp->str_DeviceTitle.Get(), title);
}

// A failed send puts back only what the routine wrote: an edit a page made
// in place before APPLY stays, and goes with the next send.
TEST_F(SaveRoutinesTest, FailedSendKeepsEditsMadeInPlace) {
    Open("Q8A7", "1030");
    device.SetReplies("/SetSysCfg.cgi", {Reply::Status(500, "Internal Server Error"), Reply::Ok()});
    auto& alarm = g_lpApp->SystemConfigStruct.alarm;
    WriteByte(alarm, cfg::ALARM::AlarmInput.At(3), 1);  // the Detection page's edit
    AlarmPageValues page{2, readValues.imageSize, readValues.videoSource,
                         readValues.postNumbersIndex, readValues.alarmDurationIndex};
    EXPECT_EQ(routines->SaveAlarm(page), 0);
    EXPECT_EQ(ReadByte(alarm, cfg::ALARM::Method), ReadByte(base.alarm, cfg::ALARM::Method));
    EXPECT_EQ(ReadByte(alarm, cfg::ALARM::AlarmInput.At(3)), 1);
    EXPECT_EQ(routines->SaveDetection({false, true}), 1);
    ExpectSent({{"ALARM", {{3, "\x02"}, {11, "\x01"}}}, {"ALARM", {{11, "\x01"}}}});
}

TEST_F(SaveRoutinesTest, FailureMessagesBySection) {
    device.SetReply("/SetSysCfg.cgi", Reply::Status(404, "Not Found"));
    Open("Q3A2", "1010");
    AccountPageValues account;
    account.maxUsers = static_cast<std::uint8_t>(readValues.maxUsers + 1);
    EXPECT_EQ(routines->SaveAccount(account), 0);
    auto ddns = DdnsAsRead();
    ddns.autoDns = !ddns.autoDns;
    ddns.user = "u";  // DNS fails first: SMTP is not sent
    routines->SaveDdns(ddns);
    auto general = GeneralAsRead();
    general.title = "T";
    routines->SaveGeneral(general);
    SntpPageValues sntp{false, "x", readValues.zoneIndex, 0, 0, readValues.syncMode};
    routines->OnSaveSntp(sntp);
    // Every failed send says so: the General page's and the server time
    // page's too.
    const auto entries = boxes.sink().Entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].textId, 0u);
    EXPECT_EQ(entries[0].text, "Set the system config is failed\n");
    EXPECT_EQ(entries[1].textId, 4012u);
    EXPECT_EQ(entries[2].textId, 4012u);
    EXPECT_EQ(entries[3].textId, 4012u);
    EXPECT_EQ(device.RequestCount(), 4u);  // SECURE, DNS, SYSTEM, SNTP
    EXPECT_EQ(sender->FailedSends(), 4);
}

// The title keeps to the General page's room: a longer title read from the
// device is not written back cut when the page was left alone, and the
// device-name text follows a changed one.
TEST_F(SaveRoutinesTest, CutTitleIsNotWrittenUnlessChanged) {
    for (const char* product : {"Q8A7", "Q3A2"}) {
        Open(product, "1010");
        WriteText(g_lpApp->SystemConfigStruct.system, cfg::SYSTEM::Title, "ReceptionDesk");
        sender = std::make_unique<SectionSender>(g_lpApp->SystemConfigStruct, identity,
                                                 SectionsOfAllRead(identity));
        readValues = LoadReadValues(g_lpApp->SystemConfigStruct, identity, 0, 0);
        routines = std::make_unique<ConfigSaveRoutines>(*sender, readValues);
        GeneralPageValues page{GeneralPageTitle(g_lpApp->SystemConfigStruct, identity),
                               readValues.channel1Name, readValues.channel2Name};
        EXPECT_EQ(page.title, "Receptio");
        routines->SaveGeneral(page);
        EXPECT_EQ(device.RequestCount(), 0u) << product;
    }
    GeneralPageValues page{"Desk", readValues.channel1Name, readValues.channel2Name};
    routines->SaveGeneral(page);
    EXPECT_EQ(device.RequestCount(), 1u);
    EXPECT_EQ(g_lpApp->str_DeviceTitle.Get(), "Desk");
}

// The sender's continuation and the title in one APPLY on a Q3A2 from
// "1010": the Mail page's save runs first, the General page's second; the
// SYSTEM body of the second holds both.
TEST_F(SaveRoutinesTest, SenderAndTitleShareSystemWithoutOverlap) {
    Open("Q3A2", "1010");
    auto mail = MailAsRead();
    mail.sender = std::string(30, 's');
    routines->SaveMail(mail);
    auto general = GeneralAsRead();
    general.title = "Door";
    routines->SaveGeneral(general);
    ExpectSent({{"SMTP", {{72, Field(std::string(15, 's'), 16)}}},
                {"SYSTEM", {{4, Field(std::string(15, 's'), 16)}}},
                {"SYSTEM", {{4, Field(std::string(15, 's'), 16)}, {20, Field("Door", 16)}}}});
    EXPECT_EQ(ReadText(g_lpApp->SystemConfigStruct.system, cfg::SYSTEM::Title), "Door");
}

TEST_F(SaveRoutinesTest, OnSaveSntpComparesWithTheSection) {
    Open("Q9C0", "1010");
    SntpPageValues page{true, "", 3, 1, 0, 1};
    EXPECT_EQ(routines->OnSaveSntp(page), 0);
    EXPECT_EQ(readValues.zoneIndex, 3);
    EXPECT_EQ(readValues.autoSntp, 1);
    ExpectSent(
        {{"SNTP", {{2, "\x01"}, {3, std::string("\0", 1)}, {5, "\x03\x01"}, {8, Zeros(28)}}}});
    // A second request with the same values finds the section equal.
    routines->OnSaveSntp(page);
    EXPECT_EQ(device.RequestCount(), 1u);
}

TEST_F(SaveRoutinesTest, VideoSettingWritesOnlyTheBlock) {
    Open("Q9C0", "1010");
    g_lpApp->SystemConfigStruct.videoSetting.fill(0xEE);
    VideoSettingPageValues page{2, 0, 0, 6, 1, 2};
    EXPECT_EQ(routines->SaveVideoSetting(page, 1), 1);
    EXPECT_EQ(page.width, 176);
    EXPECT_EQ(page.height, 144);
    const std::array<std::uint8_t, 16> expected{0xEE, 0xEE, 4, 0xEE, 0x99, 0,    0xEE, 4,
                                                1,    11,   9, 70,   1,    0xEE, 0xEE, 0xEE};
    EXPECT_EQ(g_lpApp->SystemConfigStruct.videoSetting, expected);
    // An unknown size takes the table's last row and the stream's size.
    VideoSettingPageValues odd{
        5, 800, 600, readValues.frameRateRow, readValues.twoWay, readValues.qualityRow};
    EXPECT_EQ(routines->SaveVideoSetting(odd, 0), 1);
    EXPECT_EQ(g_lpApp->SystemConfigStruct.videoSetting[7], 3);
    EXPECT_EQ(g_lpApp->SystemConfigStruct.videoSetting[9], 20);
    EXPECT_EQ(g_lpApp->SystemConfigStruct.videoSetting[10], 15);
    EXPECT_EQ(g_lpApp->w_ImageWidth, 320);
    EXPECT_EQ(g_lpApp->w_ImageHeight, 240);
    // Frame rate and quality alone ask for no reset.
    VideoSettingPageValues rateOnly{5, 640, 480, 0, readValues.twoWay, 0};
    EXPECT_EQ(routines->SaveVideoSetting(rateOnly, 0), 0);
    EXPECT_EQ(device.RequestCount(), 0u);
}

}  // namespace

namespace {

// The opening read: which sections, in which order, by family and gate.
class OpeningReadTest : public SaveRoutinesTest {
public:
    void SetUp() override {
        SaveRoutinesTest::SetUp();
        device.SetHandler("/GetSysCfg.cgi", [this](const test_support::HttpRequest& request,
                                                   test_support::Connection& c) {
            const std::string option(request.Param("Option").value_or(""));
            std::size_t size = 0;
            if (option == "ALL") {
                size = identity.IsServerFamily() ? 1136 : 2044;
            } else {
                for (std::uint8_t i = 0; i < kSysCfgAll; ++i) {
                    if (SysCfgOption[i].option == option) {
                        size = SysCfgSize(static_cast<SysCfgOptionIndex>(i));
                    }
                }
            }
            const Reply reply = option == failOption ? Reply::Status(404, "Not Found")
                                                     : Reply::Ok(std::string(size, 'r'));
            c.Send(reply.Bytes());
        });
    }

    std::vector<std::string> Options() {
        std::vector<std::string> options;
        for (const auto& request : device.RequestsTo("/GetSysCfg.cgi")) {
            options.emplace_back(request.Param("Option").value_or(""));
        }
        return options;
    }

    void Identify(const char* product, const char* firmware) {
        identity = DeviceIdentity{product, firmware, 0};
        g_lpApp->str_ProductID.Set(product);
        g_lpApp->str_FWVersion.Set(firmware);
    }

    std::string failOption;
};

TEST_F(OpeningReadTest, SectionBySectionOnOlderFirmwareElseAll) {
    Identify("Q3A2", "0002");
    auto read = ReadConfigurationForSheet(identity);
    ASSERT_TRUE(read);
    EXPECT_EQ(Options(), (std::vector<std::string>{"IP", "ONLINE", "ALARM", "SECURE", "SMTP", "FTP",
                                                   "RS485", "PERI", "SNTP", "PPPOE", "DNS"}));
    EXPECT_TRUE(read->test(kSysCfgPeri));
    EXPECT_FALSE(read->test(kSysCfgSystem));  // never read: never sent
    // The older PPPOE layout's area took the section.
    EXPECT_EQ(g_lpApp->SystemConfigStruct.pppoeOld[0], 'r');
}

TEST_F(OpeningReadTest, DvrFamilyGates) {
    Identify("Q8A7", "1023");
    auto read = ReadConfigurationForSheet(identity);
    ASSERT_TRUE(read);
    EXPECT_EQ(Options(), (std::vector<std::string>{"IP", "ONLINE", "ALARM", "SECURE", "SMTP", "FTP",
                                                   "RS485", "DVRLIVE", "DVRREC", "PPPOE", "DNS"}));
    EXPECT_FALSE(read->test(kSysCfgSystem));
    EXPECT_FALSE(read->test(kSysCfgSntp));

    Identify("Q8A7", "1024");
    read = ReadConfigurationForSheet(identity);
    ASSERT_TRUE(read);
    EXPECT_EQ(Options().back(), "ALL");
    EXPECT_EQ(*read, SectionsOfAllRead(identity));
    EXPECT_TRUE(read->test(kSysCfgSystem));
    EXPECT_FALSE(read->test(kSysCfgPeri));  // the DVR layout has no PERI

    failOption = "DNS";
    Identify("Q8A5", "1000");
    EXPECT_FALSE(ReadConfigurationForSheet(identity));
}

}  // namespace
