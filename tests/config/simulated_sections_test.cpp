// The device simulator's configuration as the sheet reads it: every family
// keeps all 17 sections, answers the "ALL" read in its own layout, and its
// contents read back as sensible page values through the sheet's own read
// path; the sections it receives are logged as they came.

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "config/sheet/read_values.h"
#include "config/sheet/section_layouts.h"
#include "config/sheet/section_sender.h"
#include "core/login/login_exchange.h"
#include "core/net/sys_config.h"
#include "core/state/app_global_state.h"
#include "platform/message_box.h"
#include "tests/support/core/global_state.h"
#include "tests/support/fake_device.h"
#include "tests/support/recording_message_box.h"

namespace {

using test_support::FakeDevice;

struct FamilyCase {
    const char* product;
    const char* firmware;
    std::size_t allSize;  // without the ONLINE records
    bool olderPppoe;
    std::string title;  // the General page's title
};

class SimulatedSections : public test_support::GlobalStateTest,
                          public ::testing::WithParamInterface<FamilyCase> {
protected:
    void SetUp() override {
        GlobalStateTest::SetUp();
        g_lpApp->CSettingINI.m_strServerName = "127.0.0.1";
        g_lpApp->CSettingINI.m_wWebPort = device.port();
        g_strHostIP.Set("10.1.2.3");
    }
    void TearDown() override {
        device.Stop();
        GlobalStateTest::TearDown();
        g_strHostIP.Clear();
    }

    FakeDevice device;
    test_support::ScopedMessageBoxRecorder boxes;
};

TEST_P(SimulatedSections, ReadAsTheSheetReadsThem) {
    const FamilyCase& c = GetParam();
    auto profile = devicesim::ProfileForProduct(c.product);
    ASSERT_TRUE(profile);
    profile->firmwareVersion = c.firmware;
    auto& model = device.EnableDeviceModel("tresk", "tresk", *profile);
    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kSessionThread), kLoginOk);

    // All 17 sections are kept, whatever the family.
    for (const auto& option : SysCfgOption) {
        if (option.option != "ALL") {
            EXPECT_TRUE(model.Section(option.option).has_value()) << option.option;
        }
    }
    EXPECT_EQ(model.Section("ALL")->size(), c.allSize + 24);  // one session

    const DeviceIdentity identity = DeviceIdentity::Current();
    const auto read = ReadConfigurationForSheet(identity);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, SectionsOfAllRead(identity));
    EXPECT_EQ(UsesOlderPppoe(identity), c.olderPppoe);
    SystemConfigStruct& config = g_lpApp->SystemConfigStruct;
    const SheetReadValues values = LoadReadValues(config, identity, 640, 480);

    EXPECT_EQ(values.webPort, 80);
    EXPECT_EQ(values.serverAddress, 0xC0A8010Au);
    EXPECT_EQ(values.pppoeUser, c.olderPppoe ? "dsl-subscriber" : "dsl-subscriber@isp.example");
    EXPECT_EQ(values.pppoePassword, "dsl-secret");
    EXPECT_EQ(values.ddnsProviderIndex, 1);  // dyndns
    EXPECT_FALSE(values.ddnsDomain.empty());
    EXPECT_EQ(values.senderAddress, "cam@site.local");
    EXPECT_EQ(values.mailServer, "smtp.example.net");
    EXPECT_EQ(values.ftpServer, "ftp.example.net");
    EXPECT_EQ(values.ftpPort, 21);
    EXPECT_EQ(values.alarmDurationIndex, 1);  // a row of the family's list
    EXPECT_EQ(values.maxUsers, 5);
    EXPECT_EQ(values.title, c.title);
    if (identity.IsDvr()) {
        EXPECT_EQ(values.timerModes[0], 1);
        EXPECT_EQ(values.timerStarts[0], TimerTime(8, 0));
        EXPECT_EQ(ReadText(config.dvrLive, cfg::DVRLIVE::Title.At(15)), "CH16");
    } else {
        EXPECT_EQ(values.sntpServer, "pool.ntp.org");
        EXPECT_EQ(values.device1BaudIndex, 2);  // 9600
    }
    EXPECT_EQ(ReadText(config.secure, cfg::SECURE::UserName.At(1)), "operator");
}

INSTANTIATE_TEST_SUITE_P(Families, SimulatedSections,
                         ::testing::Values(FamilyCase{"Q8A7", "1052", 2044, false, "Q8A7 DVR"},
                                           FamilyCase{"Q8A3", "1050", 2044, true, "Q8A3 DVR"},
                                           FamilyCase{"Q3A2", "1010", 1136, false, "Q3A2 VS"},
                                           FamilyCase{"Q3A2", "1006", 1136, true, ""},
                                           FamilyCase{"Q9C0", "1010", 1136, false, ""},
                                           FamilyCase{"Q7B5", "1007", 1136, false, ""}),
                         [](const auto& instance) {
                             return std::string(instance.param.product) + "_" +
                                    instance.param.firmware;
                         });

// Every body "/SetSysCfg.cgi" brings is logged, stored or not; a section
// outside the family's layout is refused.
TEST(SimulatedDevice, LogsEverySectionBodyItReceives) {
    test_support::ScopedGlobalState state;
    FakeDevice device;
    g_lpApp->CSettingINI.m_strServerName = "127.0.0.1";
    g_lpApp->CSettingINI.m_wWebPort = device.port();
    g_strHostIP.Set("10.1.2.3");
    auto& model = device.EnableDeviceModel("tresk", "tresk", *devicesim::ProfileForProduct("Q9C0"));
    std::vector<std::string> log;
    std::mutex logLock;
    model.SetLogger([&](std::string_view line) {
        std::lock_guard lock(logLock);
        log.emplace_back(line);
    });
    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kSessionThread), kLoginOk);
    const std::vector<std::uint8_t> ftp(104, 0x41);
    const std::vector<std::uint8_t> dvrRec(132, 0x42);
    EXPECT_EQ(WriteSysCfgSection(kSysCfgFtp, ftp), 1);
    EXPECT_EQ(WriteSysCfgSection(kSysCfgDvrRec, dvrRec), 0);  // not a section of a Q9C0
    const auto received = model.ReceivedSections();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].option, "FTP");
    EXPECT_EQ(received[0].body, std::string(104, 'A'));
    EXPECT_TRUE(received[0].stored);
    EXPECT_EQ(received[1].option, "DVRREC");
    EXPECT_FALSE(received[1].stored);
    EXPECT_EQ(model.Section("FTP"), std::string(104, 'A'));
    {
        std::lock_guard lock(logLock);
        bool logged = false;
        for (const std::string& line : log) {
            logged |= line.starts_with("stored section FTP (104 bytes): 414141");
        }
        EXPECT_TRUE(logged);
    }
    device.Stop();
    g_strHostIP.Clear();
}

}  // namespace
