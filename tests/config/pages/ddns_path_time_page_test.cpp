// The DDNS page (AUTO by network type and family, providers and the
// feature bit, enable, the DNS-then-SMTP bodies), the File Path page
// (pickers, typed paths, the alarm audio row) and the server time page
// (modes, automatic server, the zone table, "/SyncTime.cgi" and the SNTP
// body stored after it, refused server names, zones outside the table).

#include "config/pages/dns_page.h"
#include "config/pages/network_config_page.h"
#include "config/pages/page_controls.h"
#include "config/pages/record_page.h"
#include "config/pages/sntp_page.h"
#include "config/pages/time_zone_table.h"
#include "liveview/dialogs/dlg_get_path.h"

#include <QDateEdit>
#include <QTimeEdit>

#include "tests/config/pages/page_test_fixture.h"
#include "tests/support/modal_script.h"

namespace {

using namespace page_test;
using namespace cfg;

// ---- DDNS page --------------------------------------------------------------------

struct AutoCase {
    const char* product;
    std::uint8_t storedType;  // IP.IpType on the device
    int networkClick;         // 0: the Network page is never shown
    bool autoShown;
};

TEST_F(PageTest, DdnsAutoFollowsTheNetworkType) {
    for (const AutoCase& c : {AutoCase{"Q8A7", 0, 0, false},
                              {"Q8A7", 2, 0, true},
                              {"Q8A7", 0, 1254, true},
                              {"Q8A7", 2, 1252, false},
                              {"Q3A2", 2, 0, false}}) {
        SCOPED_TRACE(std::string(c.product) + " " + std::to_string(c.storedType) + " " +
                     std::to_string(c.networkClick));
        opener.DeleteConfigSheet();
        // A value left by an earlier sheet must not count.
        g_bNetworkIpType = static_cast<std::uint8_t>(c.storedType == 2 ? 0 : 2);
        Open(c.product, "1052", {}, [&](devicesim::DeviceModel& m) {
            PatchSection(m, "IP", [&](SectionBytes s) { WriteByte(s, IP::IpType, c.storedType); });
            PatchSection(m, "DNS", [](SectionBytes s) { WriteByte(s, DNS::AutoDns, 1); });
        });
        if (c.networkClick != 0) {
            Click(Show<NetworkConfigPage>(SheetPageId::kNetwork), c.networkClick);
        }
        auto* page = Show<CDNSPage>(SheetPageId::kDdns);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Control<QCheckBox>(page, 1469)->isVisible(), c.autoShown);
        if (c.autoShown) {
            EXPECT_FALSE(Control<QWidget>(page, 1251)->isEnabled());
            Click(page, 1469);
            EXPECT_TRUE(Control<QWidget>(page, 1251)->isEnabled());
        } else if (std::string(c.product) != "Q3A2") {
            EXPECT_TRUE(Control<QWidget>(page, 1251)->isEnabled());
        }
    }
}

struct ProviderCase {
    const char* stored;
    std::uint32_t features;
    std::vector<std::string> list;
    int shownRow;
    const char* storedAfterApply;  // nullptr: SMTP not sent
};

TEST_F(PageTest, DdnsProviderList) {
    const std::vector<std::string> all{"custom", "dyndns", "statdns"};
    for (const ProviderCase& c : {ProviderCase{"statdns", 0, all, 2, nullptr},
                                  {"quillmere", 0, all, 1, nullptr},
                                  {"dyndns", 0x80, {"quillmere"}, -1, "quillmere"},
                                  {"quillmere", 0x80, {"quillmere"}, 0, nullptr}}) {
        SCOPED_TRACE(std::string(c.stored) + " " + std::to_string(c.features));
        opener.DeleteConfigSheet();
        Open(
            "Q9C0", "1052", [&](devicesim::DeviceProfile& p) { p.features = c.features; },
            [&](devicesim::DeviceModel& m) {
                PatchSection(m, "SMTP",
                             [&](SectionBytes s) { WriteText(s, SMTP::DdnsProvider, c.stored); });
            });
        const std::size_t before = SentOptions().size();
        auto* page = Show<CDNSPage>(SheetPageId::kDdns);
        ASSERT_NE(page, nullptr);
        auto* combo = Control<QComboBox>(page, 1195);
        std::vector<std::string> items;
        for (int i = 0; i < combo->count(); ++i) {
            items.push_back(combo->itemText(i).toStdString());
        }
        EXPECT_EQ(items, c.list);
        EXPECT_EQ(combo->currentIndex(), c.shownRow);
        Apply();
        const auto sent = SentOptions();
        if (c.storedAfterApply == nullptr) {
            EXPECT_EQ(sent.size(), before);
        } else {
            ASSERT_EQ(sent.size(), before + 1);
            EXPECT_EQ(sent.back(), "SMTP");
            EXPECT_EQ(ReadText(Span(SentBody("SMTP")), SMTP::DdnsProvider), c.storedAfterApply);
        }
    }
}

TEST_F(PageTest, DdnsEditsSendDnsThenSmtp) {
    Open("Q8A7");
    const Bytes dns = Section("DNS");
    const Bytes smtp = Section("SMTP");
    auto* page = Show<CDNSPage>(SheetPageId::kDdns);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Edit(page, 1042)->text(), "q8a7-dvr.dyndns.org");
    page->findChild<pages::IpAddressControl*>("1251")->SetAddress(0x08080808);
    Type(page, 1040, "newowner");
    Click(page, 1381);  // disabled: the edits lock, their values stay
    EXPECT_FALSE(Edit(page, 1040)->isEnabled());
    EXPECT_FALSE(Control<QComboBox>(page, 1195)->isEnabled());
    Apply();
    EXPECT_EQ(SentOptions(), (std::vector<std::string>{"DNS", "SMTP"}));
    EXPECT_EQ(SentBody("DNS"),
              Patched(dns, [](SectionBytes s) { WriteIpv4Number(s, DNS::DnsServer, 0x08080808); }));
    EXPECT_EQ(SentBody("SMTP"), Patched(smtp, [](SectionBytes s) {
                  WriteByte(s, SMTP::DdnsEnable, 0);
                  WriteText(s, SMTP::DdnsUser, "newowner");
              }));
}

// ---- File Path page ---------------------------------------------------------------

class FilePathTest : public PageTest {
public:
    void SetUp() override {
        PageTest::SetUp();
        g_lpApp->CSettingINI.m_strRecordPath = temp.path().string() + "/rec";
        g_lpApp->CSettingINI.m_strSnapshotPath = temp.path().string() + "/snap";
        g_lpApp->CSettingINI.m_strTriggerWavPath = "/sounds/alarm.wav";
        RecordPage::SetWavePicker([this](QWidget*) { return wave; });
    }
    void TearDown() override {
        RecordPage::SetWavePicker({});
        PageTest::TearDown();
    }
    test_support::TempDir temp;
    std::vector<std::string> starts;
    std::optional<std::string> folder;
    std::optional<std::string> wave;
    // The folder picker hands back `folder`, or is cancelled when there is none.
    test_support::ModalScript<liveview::CDlgGetPath> picker{[this](liveview::CDlgGetPath& dialog) {
        starts.push_back(dialog.GetPath());
        if (!folder) {
            dialog.reject();
            return;
        }
        dialog.tree()->clearSelection();
        dialog.SetPath(*folder);
        dialog.accept();
    }};
};

TEST_F(FilePathTest, PickersTypedPathsAndApply) {
    Open("Q9C0");
    auto* page = Show<RecordPage>(SheetPageId::kFilePath);
    ASSERT_NE(page, nullptr);
    const std::string rec = temp.path().string() + "/rec";
    EXPECT_EQ(Edit(page, 1040)->text().toStdString(), rec);
    EXPECT_TRUE(Control<QWidget>(page, 1042)->isVisible());

    Click(page, 1314);  // cancelled: unchanged
    Click(page, 1316);
    EXPECT_EQ(starts, std::vector<std::string>{rec});
    EXPECT_EQ(Edit(page, 1040)->text().toStdString(), rec);
    EXPECT_EQ(Edit(page, 1042)->text(), "/sounds/alarm.wav");

    folder = temp.path().string() + "/picked/";
    Click(page, 1315);
    wave = "/sounds/other.wav";
    Click(page, 1316);
    Type(page, 1040, QString::fromStdString(temp.path().string() + "/typed"));
    Apply();
    const CSettingINI& settings = g_lpApp->CSettingINI;
    EXPECT_EQ(settings.m_strSnapshotPath.Get(), temp.path().string() + "/picked/");
    EXPECT_EQ(settings.m_strRecordPath.Get(), temp.path().string() + "/typed");
    EXPECT_EQ(settings.m_strTriggerWavPath.Get(), "/sounds/other.wav");
    EXPECT_TRUE(std::filesystem::is_directory(temp.path() / "typed"));
    EXPECT_TRUE(SentOptions().empty());
}

TEST_F(FilePathTest, AlarmAudioRowNeedsALinkedRecorderOnTheDvrFamily) {
    for (const bool linked : {false, true}) {
        opener.DeleteConfigSheet();
        Open("Q8A7");
        if (linked) {
            g_lpApp->C_ControlD.AddDevice(0, 2, 19, kDeviceMaster);
        }
        auto* page = Show<RecordPage>(SheetPageId::kFilePath);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Control<QWidget>(page, 1042)->isVisible(), linked);
        EXPECT_EQ(Control<QWidget>(page, 1316)->isVisible(), linked);
    }
    Apply();
    EXPECT_EQ(g_lpApp->CSettingINI.m_strTriggerWavPath.Get(), "/sounds/alarm.wav");
}

// ---- server time page -------------------------------------------------------------

class SntpTest : public PageTest {
public:
    CSNTPPage* OpenTime(const std::function<void(SectionBytes)>& sntp = {}) {
        Open("Q3A2", "1010", {}, [&](devicesim::DeviceModel& m) {
            if (sntp) {
                PatchSection(m, "SNTP", sntp);
            }
        });
        return Show<CSNTPPage>(SheetPageId::kSntp);
    }
    std::vector<std::pair<std::string, std::string>> SyncParams() const {
        const auto requests = device.RequestsTo("/SyncTime.cgi");
        if (requests.empty()) {
            return {};
        }
        return {requests.back().query.begin(), requests.back().query.end()};
    }
    static std::vector<std::pair<std::string, std::string>> WithoutCookie(
        std::vector<std::pair<std::string, std::string>> params) {
        std::erase_if(params, [](const auto& p) { return p.first == "Cookie"; });
        return params;
    }
};

TEST_F(SntpTest, ShowsTheDevicesSetting) {
    auto* page = OpenTime();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Control<QComboBox>(page, 1195)->count(), 75);
    EXPECT_EQ(Control<QComboBox>(page, 1195)->currentIndex(), 1);
    EXPECT_EQ(Control<QComboBox>(page, 1195)->itemText(18), "(GMT-03:30) Newfoundland");
    EXPECT_EQ(Edit(page, 1040)->text(), "pool.ntp.org");
    EXPECT_TRUE(Control<QRadioButton>(page, 1452)->isChecked());
    EXPECT_TRUE(Control<QRadioButton>(page, 1449)->isChecked());
    EXPECT_FALSE(page->DatePicker()->isVisible());
    EXPECT_EQ(page->DatePicker()->displayFormat(), "yyyy / MM / dd");
    EXPECT_EQ(page->TimePicker()->displayFormat(), "HH : mm : ss");
    Click(page, 1450);
    EXPECT_TRUE(page->DatePicker()->isVisible());
    EXPECT_FALSE(Control<QWidget>(page, 1195)->isVisible());
}

struct ZoneCase {
    int zone;
    const char* hour;
    const char* minute;
};

TEST_F(SntpTest, SyncSendsTheZonesOffsets) {
    auto* page = OpenTime();
    ASSERT_NE(page, nullptr);
    for (const ZoneCase& c : {ZoneCase{18, "-3", "-30"}, {49, "5", "45"}, {25, "0", "0"}}) {
        Control<QComboBox>(page, 1195)->setCurrentIndex(c.zone);
        ASSERT_TRUE(page->OnSyncTime());
        EXPECT_EQ(WithoutCookie(SyncParams()), (std::vector<std::pair<std::string, std::string>>{
                                                   {"Mode", "1"},
                                                   {"ServerMode", "0"},
                                                   {"Server", "pool.ntp.org"},
                                                   {"NationID", std::to_string(c.zone)},
                                                   {"Hour", c.hour},
                                                   {"Minute", c.minute}}));
    }
    EXPECT_EQ(SyncParams().front().first, "Cookie");
    EXPECT_EQ(model->timeCommands().SyncCount(), 3);
}

// An empty server means automatic: no "Server" parameter; the sheet then
// stores the page's setting in SNTP (posted, whatever the command did).
TEST_F(SntpTest, AutomaticServerAndTheStoredSection) {
    auto* page = OpenTime([](SectionBytes s) { ZeroField(s, SNTP::Server); });
    ASSERT_NE(page, nullptr);
    const Bytes sntp = Section("SNTP");
    EXPECT_TRUE(Control<QRadioButton>(page, 1453)->isChecked());
    EXPECT_FALSE(Edit(page, 1040)->isEnabled());
    Control<QComboBox>(page, 1195)->setCurrentIndex(18);
    ASSERT_TRUE(page->OnSyncTime());
    EXPECT_EQ(WithoutCookie(SyncParams()),
              (std::vector<std::pair<std::string, std::string>>{{"Mode", "1"},
                                                                {"ServerMode", "1"},
                                                                {"NationID", "18"},
                                                                {"Hour", "-3"},
                                                                {"Minute", "-30"}}));
    EXPECT_TRUE(SentOptions().empty());
    platform::ProcessPostedMessages();
    EXPECT_EQ(SentOptions(), std::vector<std::string>{"SNTP"});
    EXPECT_EQ(SentBody("SNTP"), Patched(sntp, [](SectionBytes s) {
                  WriteByte(s, SNTP::ZoneIndex, 18);
                  WriteSignedByte(s, SNTP::GmtHours, -3);
                  WriteSignedByte(s, SNTP::GmtMinutes, -30);
              }));
    // APPLY afterwards has nothing left to send.
    Apply();
    EXPECT_EQ(SentOptions().size(), 1u);
}

TEST_F(SntpTest, UserModeSendsThePickersDateAndTime) {
    auto* page = OpenTime();
    ASSERT_NE(page, nullptr);
    Click(page, 1450);
    page->DatePicker()->setDate(QDate(2026, 3, 9));
    page->TimePicker()->setTime(QTime(7, 5, 42));
    ASSERT_TRUE(page->OnSyncTime());
    EXPECT_EQ(WithoutCookie(SyncParams()),
              (std::vector<std::pair<std::string, std::string>>{{"Mode", "0"},
                                                                {"Year", "2026"},
                                                                {"Month", "3"},
                                                                {"Day", "9"},
                                                                {"Hour", "7"},
                                                                {"Minute", "5"},
                                                                {"Second", "42"}}));
}

TEST_F(SntpTest, WithoutACookieTheRequestStartsWithTheMode) {
    auto* page = OpenTime();
    ASSERT_NE(page, nullptr);
    g_szSessionCookie.Clear();
    EXPECT_FALSE(page->OnSyncTime());  // the device wants its session
    const auto requests = device.RequestsTo("/SyncTime.cgi");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target.rfind("/SyncTime.cgi?Mode=1&", 0), 0u);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4064});
}

// Server names that would break the query are refused before anything is
// sent or stored.
TEST_F(SntpTest, ServerNamesThatBreakTheQueryAreRefused) {
    auto* page = OpenTime();
    ASSERT_NE(page, nullptr);
    for (const char* name : {"pool ntp.org", "a&b", "x=1", "t;z", "a\tb", "q?r", "50%"}) {
        boxes.sink().Clear();
        Type(page, 1040, name);
        EXPECT_FALSE(page->OnSyncTime()) << name;
        ASSERT_EQ(boxes.sink().Entries().size(), 1u) << name;
        EXPECT_EQ(boxes.sink().Entries()[0].textId, 0u);
    }
    platform::ProcessPostedMessages();
    EXPECT_TRUE(device.RequestsTo("/SyncTime.cgi").empty());
    EXPECT_TRUE(SentOptions().empty());
    for (const char* name : {"time.example-1.org", "10.0.0.1"}) {
        Type(page, 1040, name);
        EXPECT_TRUE(page->OnSyncTime()) << name;
    }
}

// A zone index outside the table is neither shown nor sent nor written.
TEST_F(SntpTest, ZoneOutsideTheTableIsNeverUsed) {
    auto* page = OpenTime([](SectionBytes s) { WriteByte(s, SNTP::ZoneIndex, 80); });
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Control<QComboBox>(page, 1195)->currentIndex(), -1);
    ASSERT_TRUE(page->OnSyncTime());
    for (const auto& [name, value] : SyncParams()) {
        EXPECT_NE(name, "NationID");
        EXPECT_NE(name, "Hour");
    }
    platform::ProcessPostedMessages();
    Apply();
    EXPECT_TRUE(SentOptions().empty());
}

TEST_F(SntpTest, ApplyWritesTheZoneModeAndServer) {
    auto* page = OpenTime();
    ASSERT_NE(page, nullptr);
    const Bytes sntp = Section("SNTP");
    Control<QComboBox>(page, 1195)->setCurrentIndex(49);
    Type(page, 1040, "ntp.site.org");
    Click(page, 1450);
    Apply();
    EXPECT_EQ(SentOptions(), std::vector<std::string>{"SNTP"});
    EXPECT_EQ(SentBody("SNTP"), Patched(sntp, [](SectionBytes s) {
                  WriteText(s, SNTP::Server, "ntp.site.org");
                  WriteByte(s, SNTP::ZoneIndex, 49);
                  WriteSignedByte(s, SNTP::GmtHours, 5);
                  WriteSignedByte(s, SNTP::GmtMinutes, 45);
                  WriteByte(s, SNTP::SyncMode, 0);
              }));
}

TEST(TimeZoneTable, OffsetsCarryTheHoursSign) {
    EXPECT_EQ(kTimeZoneTable[18].hours, -3);
    EXPECT_EQ(kTimeZoneTable[18].minutes, -30);
    EXPECT_EQ(kTimeZoneTable[74].text, "(GMT+13:00) Nuku'alofa");
    EXPECT_EQ(TimeZoneRowOf(75), nullptr);
    EXPECT_EQ(TimeZoneRowOf(-1), nullptr);
}

}  // namespace
