// The configuration sheet against the simulated device on 127.0.0.1: the
// main window's command opens it with the family's pages, APPLY runs the
// saves of the pages that exist in their fixed order and sends only what
// changed, a failed section keeps the sheet open, REBOOT sends
// "/Reboot.cgi", EXIT closes it. One picture of the sheet per family.

#include "config/sheet/my_system_dialog.h"
#include "tests/support/recording_message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/section_layouts.h"
#include "core/application/subsystem_services.h"
#include "core/login/login_exchange.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/global_state.h"
#include "tests/support/fake_device.h"
#include "tests/support/qt_app.h"

namespace {

namespace fs = std::filesystem;
using test_support::FakeDevice;
using test_support::Reply;

// A page that hands fixed values to its save routine.
template <class Values>
class ValuesPage : public QLabel, public SheetPageValues<Values> {
public:
    explicit ValuesPage(Values values) : QLabel("test page"), m_values(std::move(values)) {}
    Values TakePageValues() override {
        ++taken;
        return m_values;
    }
    int taken = 0;

private:
    Values m_values;
};

// Registers page factories for one test and removes them after it.
class ScopedPages {
public:
    ~ScopedPages() {
        for (const SheetPageId id : m_ids) {
            SetSheetPageFactory(id, {});
        }
    }
    template <class Values>
    void Add(SheetPageId id, std::function<Values(MySystemDialog&)> values) {
        m_ids.push_back(id);
        SetSheetPageFactory(id, [values](MySystemDialog& sheet) -> QWidget* {
            return new ValuesPage<Values>(values(sheet));
        });
    }

private:
    std::vector<SheetPageId> m_ids;
};

class ConfigSheetTest : public test_support::GlobalStateTest {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        GlobalStateTest::SetUp();
        g_lpApp->CSettingINI.m_strServerName = "127.0.0.1";
        g_lpApp->CSettingINI.m_wWebPort = device.port();
        g_strHostIP.Set("10.1.2.3");
        g_szSessionCookie.Clear();
        g_bPendingWebPort = false;
        g_bPendingServerName = false;
    }
    void TearDown() override {
        opener.DeleteConfigSheet();
        device.Stop();
        GlobalStateTest::TearDown();
        g_strHostIP.Clear();
        g_bPendingWebPort = false;
        g_bPendingServerName = false;
    }

    // Logs in to a simulated device of the product and opens the sheet as
    // the main window's configuration command does.
    MySystemDialog* Open(const char* product, const char* firmware = "1052") {
        auto profile = devicesim::ProfileForProduct(product);
        EXPECT_TRUE(profile.has_value()) << product;
        profile->firmwareVersion = firmware;
        model = &device.EnableDeviceModel("tresk", "tresk", *profile);
        EXPECT_EQ(LoginExchange("tresk", "tresk", LoginPath::kSessionThread), kLoginOk);
        g_lpApp->f_VideoConnected = true;
        opener.OnConfigurationCommand(&mainWindow);
        return opener.Sheet();
    }

    std::vector<std::string> SentOptions() const {
        std::vector<std::string> options;
        for (const auto& request : device.RequestsTo("/SetSysCfg.cgi")) {
            options.emplace_back(request.Param("Option").value_or(""));
        }
        return options;
    }

    static std::vector<std::string> Captions(QTreeWidget* tree) {
        std::vector<std::string> captions;
        std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
            captions.push_back(item->text(0).toStdString());
            for (int i = 0; i < item->childCount(); ++i) {
                walk(item->child(i));
            }
        };
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            walk(tree->topLevelItem(i));
        }
        return captions;
    }

    FakeDevice device;
    devicesim::DeviceModel* model = nullptr;
    test_support::ScopedMessageBoxRecorder boxes;
    // The application object before the first widget.
    const bool m_qt = (test_support::EnsureQtApp(), true);
    QWidget mainWindow;
    ConfigSheetOpener opener;
};

// ---- the family's pages and buttons -----------------------------------------

struct FamilyCase {
    const char* product;
    std::vector<std::string> pages;  // in the order the sheet adds them
    std::vector<int> buttons;        // control ids from left to right
};

const std::vector<std::string> kDvrPages = {
    "Network",     "DDNS",         "Mail",      "FTP",
    "DVR",         "Device",       "Detection", "Network Backup",
    "Search List", "Timer Record", "Date",      "Record Setting",
    "Alarm",       "General",      "Account",   "Online User Info",
    "File Path"};
const std::vector<std::string> kQ7BPages = {"Network",    "Mail",    "FTP",     "Alarm",
                                            "Alarm List", "General", "Account", "Online User Info",
                                            "File Path"};

class FamilySheet : public ConfigSheetTest, public ::testing::WithParamInterface<FamilyCase> {};

// Opens the sheet, goes through every page (each an empty frame: this test
// registers no page factory), saves a picture, and presses APPLY without a
// change: nothing is sent and the sheet closes.
TEST_P(FamilySheet, PagesButtonsPictureAndApplyWithoutChange) {
    const FamilyCase& c = GetParam();
    MySystemDialog* sheet = Open(c.product);
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 1);
    EXPECT_EQ(sheet->windowTitle(), "System setting");
    EXPECT_EQ(SheetProgressBlockRef(), sheet->ProgressBlock());

    std::vector<std::string> pages;
    for (const SheetPageId id : sheet->Pages()) {
        pages.emplace_back(PageEntry(id).caption);
    }
    EXPECT_EQ(pages, c.pages);
    EXPECT_EQ(Captions(sheet->GetPageTree()).size(), c.pages.size());

    std::vector<std::pair<int, int>> buttons;
    for (QPushButton* b : {sheet->ExitButton(), sheet->ApplyButton(), sheet->RebootButton()}) {
        if (b != nullptr) {
            buttons.emplace_back(b->x(), b->property("controlId").toInt());
            EXPECT_EQ(b->size(), QSize(80, 22));
            EXPECT_EQ(b->y(), sheet->height() - 27);
        }
    }
    std::sort(buttons.begin(), buttons.end());
    std::vector<int> ids;
    for (const auto& [x, id] : buttons) {
        ids.push_back(id);
    }
    EXPECT_EQ(ids, c.buttons);
    EXPECT_EQ(sheet->ExitButton()->text(), "EXIT");

    // Switching pages: every page of the family is shown once.
    for (int i = 0; i < sheet->PageCount(); ++i) {
        EXPECT_TRUE(sheet->SetActivePage(i));
        EXPECT_TRUE(sheet->PageWindowExists(i));
    }
    sheet->SetActivePage(0);
    QApplication::processEvents();
    test_support::SaveImagePicture(sheet->grab().toImage(),
                                   std::string("config_sheet_") + c.product + ".png");

    const std::size_t requests = device.RequestCount();
    sheet->OnClickApply();
    EXPECT_TRUE(SentOptions().empty());
    EXPECT_EQ(device.RequestCount(), requests);
    EXPECT_EQ(sheet->EndResult(), 3);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);
    EXPECT_EQ(SheetProgressBlockRef(), nullptr);
    EXPECT_TRUE(boxes.Ids().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Families, FamilySheet,
    ::testing::Values(
        FamilyCase{"Q8A7", kDvrPages, {kSheetExitId, kSheetApplyId}},
        FamilyCase{"Q8A3", kDvrPages, {kSheetExitId, kSheetApplyId}},
        FamilyCase{"Q3A2",
                   {"Network", "DDNS", "Mail", "FTP", "Server Time Config", "Alarm", "Alarm List",
                    "General", "Account", "Peripheral", "Online User Info", "File Path"},
                   {kSheetExitId, kSheetRebootId, kSheetApplyId}},
        FamilyCase{"Q9C0",
                   {"Network", "DDNS", "Mail", "FTP", "Server Time Config", "Alarm", "Alarm List",
                    "General", "Account", "Online User Info", "File Path"},
                   {kSheetExitId, kSheetRebootId, kSheetApplyId}},
        FamilyCase{"Q7B5", kQ7BPages, {kSheetExitId, kSheetApplyId}},
        FamilyCase{"Q7B3", kQ7BPages, {kSheetExitId, kSheetApplyId}}),
    [](const auto& instance) { return std::string(instance.param.product); });

TEST(SheetPages, LinkedDvrAddsTheAlarmList) {
    const auto without = PagesForProduct("Q8A5", false);
    const auto with = PagesForProduct("Q8A5", true);
    ASSERT_EQ(with.size(), without.size() + 1);
    EXPECT_EQ(with[13], SheetPageId::kAlarmList);
    EXPECT_TRUE(PagesForProduct("ZZZZ", true).empty());
}

// ---- APPLY --------------------------------------------------------------------

// The saves of the pages that exist run in their fixed order; the network
// save comes last and the sheet then gives the device 3 s.
TEST_F(ConfigSheetTest, ApplyRunsTheSavesInTheirOrder) {
    ScopedPages pages;
    pages.Add<NetworkPageValues>(SheetPageId::kNetwork, [](MySystemDialog& s) {
        const SheetReadValues& r = s.ReadValues();
        return NetworkPageValues{r.serverAddress, r.gateway,   r.netMask,      8080,
                                 r.ipType,        r.pppoeUser, r.pppoePassword};
    });
    pages.Add<AccountPageValues>(SheetPageId::kAccount, [](MySystemDialog& s) {
        AccountPageValues v;
        v.maxUsers = static_cast<std::uint8_t>(s.ReadValues().maxUsers + 1);
        return v;
    });
    pages.Add<AlarmPageValues>(SheetPageId::kAlarm, [](MySystemDialog& s) {
        const SheetReadValues& r = s.ReadValues();
        return AlarmPageValues{r.alarmMethod, r.imageSize, r.videoSource, r.postNumbersIndex, 3};
    });
    pages.Add<MailPageValues>(SheetPageId::kMail, [](MySystemDialog& s) {
        const SheetReadValues& r = s.ReadValues();
        return MailPageValues{r.senderAddress,
                              "mail.example.org",
                              r.mailPassword,
                              r.mailUser,
                              r.verifyMode,
                              false,
                              {}};
    });
    pages.Add<FtpPageValues>(SheetPageId::kFtp, [](MySystemDialog& s) {
        const SheetReadValues& r = s.ReadValues();
        return FtpPageValues{r.ftpServer, r.ftpUser, r.ftpPassword, r.ftpDirectory, 2121};
    });
    pages.Add<DdnsPageValues>(SheetPageId::kDdns, [](MySystemDialog& s) {
        const SheetReadValues& r = s.ReadValues();
        return DdnsPageValues{0x08080808,     r.autoDns,    r.ddnsEnable,       r.ddnsUser,
                              r.ddnsPassword, r.ddnsDomain, r.ddnsProviderIndex};
    });
    pages.Add<GeneralPageValues>(SheetPageId::kGeneral, [](MySystemDialog&) {
        return GeneralPageValues{"Lobby", "", ""};
    });
    pages.Add<TimerPageValues>(SheetPageId::kTimerRecord, [](MySystemDialog& s) {
        const SheetReadValues& r = s.ReadValues();
        TimerPageValues v{r.timerModes, r.timerStarts, r.timerEnds};
        v.modes[6] = 1;
        return v;
    });
    MySystemDialog* sheet = Open("Q8A7");
    ASSERT_NE(sheet, nullptr);
    platform::ManualClock clock;
    platform::ScopedClockSource useClock(clock);
    for (int i = 0; i < sheet->PageCount(); ++i) {
        sheet->SetActivePage(i);
    }
    sheet->OnClickApply();
    EXPECT_EQ(SentOptions(), (std::vector<std::string>{"SECURE", "ALARM", "SMTP", "FTP", "DNS",
                                                       "SYSTEM", "DVRREC", "IP"}));
    EXPECT_EQ(clock.Sleeps(), std::vector<std::chrono::milliseconds>{std::chrono::seconds(3)});
    EXPECT_EQ(sheet->EndResult(), 3);
    EXPECT_TRUE(boxes.Ids().empty());
    // The simulator took every section; the client turns to the new port.
    const std::string smtp = model->Section("SMTP").value_or("");
    EXPECT_EQ(
        ReadText(ConstSectionBytes(reinterpret_cast<const std::uint8_t*>(smtp.data()), smtp.size()),
                 cfg::SMTP::MailServer),
        "mail.example.org");
    EXPECT_EQ(model->ReceivedSections().size(), 8u);
    EXPECT_EQ(g_lpApp->CSettingINI.m_wWebPort.load(), 8080);
    EXPECT_EQ(g_lpApp->str_DeviceTitle.Get(), "Lobby");
}

// A page that was never shown is never saved, even with a factory that
// would change its values.
TEST_F(ConfigSheetTest, PagesNeverShownAreNotSaved) {
    ScopedPages pages;
    pages.Add<FtpPageValues>(SheetPageId::kFtp, [](MySystemDialog&) {
        return FtpPageValues{"elsewhere", "", "", "", 1};
    });
    MySystemDialog* sheet = Open("Q9C0");
    ASSERT_NE(sheet, nullptr);
    sheet->OnClickApply();
    EXPECT_TRUE(SentOptions().empty());
    EXPECT_EQ(sheet->EndResult(), 3);
}

// A failed section shows its message, the other saves go on, and the sheet
// stays open with the edits; the next APPLY sends only what failed.
TEST_F(ConfigSheetTest, FailedSectionKeepsTheSheetOpen) {
    ScopedPages pages;
    pages.Add<MailPageValues>(SheetPageId::kMail, [](MySystemDialog& s) {
        const SheetReadValues& r = s.ReadValues();
        return MailPageValues{r.senderAddress,
                              "mail.example.org",
                              r.mailPassword,
                              r.mailUser,
                              r.verifyMode,
                              false,
                              {}};
    });
    pages.Add<FtpPageValues>(SheetPageId::kFtp, [](MySystemDialog& s) {
        const SheetReadValues& r = s.ReadValues();
        return FtpPageValues{r.ftpServer, r.ftpUser, r.ftpPassword, r.ftpDirectory, 2121};
    });
    MySystemDialog* sheet = Open("Q3A2", "1010");
    ASSERT_NE(sheet, nullptr);
    sheet->SetActivePage(sheet->PageIndexOf(SheetPageId::kMail));
    sheet->SetActivePage(sheet->PageIndexOf(SheetPageId::kFtp));
    device.SetSectionReply("SMTP", Reply::Status(500, "Internal Server Error"));

    sheet->OnClickApply();
    EXPECT_EQ(SentOptions(), (std::vector<std::string>{"SMTP", "FTP"}));
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4012});
    EXPECT_FALSE(sheet->EndResult().has_value());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 1);
    EXPECT_TRUE(opener.IsConfigSheetOpen());

    device.ClearSectionReply("SMTP");
    sheet->OnClickApply();
    EXPECT_EQ(SentOptions(), (std::vector<std::string>{"SMTP", "FTP", "SMTP"}));
    EXPECT_EQ(sheet->EndResult(), 3);
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);
    const auto received = model->ReceivedSections();
    ASSERT_EQ(received.size(), 2u);  // the failed one never reached the model
    EXPECT_EQ(received[0].option, "FTP");
    EXPECT_EQ(received[1].option, "SMTP");
    EXPECT_TRUE(received[1].stored);
}

// PPPoE without dynamic DNS is refused before anything is sent.
TEST_F(ConfigSheetTest, PppoeWithoutDdnsIsRefused) {
    ScopedPages pages;
    pages.Add<NetworkPageValues>(SheetPageId::kNetwork, [](MySystemDialog& s) {
        const SheetReadValues& r = s.ReadValues();
        return NetworkPageValues{r.serverAddress, r.gateway,      r.netMask, r.webPort, 1,
                                 r.pppoeUser,     r.pppoePassword};
    });
    pages.Add<DdnsPageValues>(SheetPageId::kDdns, [](MySystemDialog& s) {
        const SheetReadValues& r = s.ReadValues();
        return DdnsPageValues{r.dnsServer,  r.autoDns,          0, r.ddnsUser, r.ddnsPassword,
                              r.ddnsDomain, r.ddnsProviderIndex};
    });
    MySystemDialog* sheet = Open("Q8A5");
    ASSERT_NE(sheet, nullptr);
    sheet->SetActivePage(sheet->PageIndexOf(SheetPageId::kNetwork));
    sheet->SetActivePage(sheet->PageIndexOf(SheetPageId::kDdns));
    sheet->OnClickApply();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4101});
    EXPECT_TRUE(SentOptions().empty());
    EXPECT_FALSE(sheet->EndResult().has_value());
    EXPECT_TRUE(sheet->isVisible());
}

// ---- REBOOT, EXIT and the opening command -------------------------------------

TEST_F(ConfigSheetTest, RebootSendsRebootWithTheCookie) {
    MySystemDialog* sheet = Open("Q9C0");
    ASSERT_NE(sheet, nullptr);
    ASSERT_NE(sheet->RebootButton(), nullptr);
    const std::size_t before = device.RequestCount();
    sheet->RebootButton()->click();
    ASSERT_TRUE(device.WaitForRequests(before + 1));
    const auto reboots = device.RequestsTo("/Reboot.cgi");
    ASSERT_EQ(reboots.size(), 1u);
    EXPECT_EQ(reboots[0].target, "/Reboot.cgi?Cookie=" + g_szSessionCookie.Get());
    EXPECT_TRUE(boxes.Ids().empty());
    EXPECT_TRUE(sheet->isVisible());  // the sheet stays as it is
}

TEST_F(ConfigSheetTest, RebootThatCannotBeSentShowsTimeout) {
    MySystemDialog* sheet = Open("Q3A2");
    ASSERT_NE(sheet, nullptr);
    FakeDevice gone;
    g_lpApp->CSettingINI.m_wWebPort = gone.port();
    gone.Stop();
    sheet->OnClickReboot();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4064});
    EXPECT_TRUE(sheet->isVisible());
}

TEST_F(ConfigSheetTest, ExitAndCloseEndTheSheet) {
    MySystemDialog* sheet = Open("Q7B7");
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->RebootButton(), nullptr);
    sheet->ExitButton()->click();
    EXPECT_EQ(sheet->EndResult(), 0);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);
    EXPECT_TRUE(SentOptions().empty());

    opener.OnConfigurationCommand(&mainWindow);  // a new sheet replaces the ended one
    sheet = opener.Sheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    sheet->close();
    EXPECT_EQ(sheet->EndResult(), 0);
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);
}

TEST_F(ConfigSheetTest, CommandWhileOpenClosesTheSheet) {
    ASSERT_NE(Open("Q8A5"), nullptr);
    const std::size_t requests = device.RequestCount();
    opener.OnConfigurationCommand(&mainWindow);
    EXPECT_EQ(opener.Sheet(), nullptr);
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);
    EXPECT_EQ(device.RequestCount(), requests);  // nothing read again
}

TEST_F(ConfigSheetTest, OpeningStopsWithoutVideo) {
    g_lpApp->f_VideoConnected = false;
    opener.OnConfigurationCommand(&mainWindow);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4085});
    EXPECT_EQ(opener.Sheet(), nullptr);
    EXPECT_EQ(device.RequestCount(), 0u);
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);
}

TEST_F(ConfigSheetTest, OpeningStopsWhenTheReadFails) {
    device.SetReply("/GetSysCfg.cgi", Reply::Status(500, "Internal Server Error"));
    EXPECT_EQ(Open("Q8A7"), nullptr);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4029});
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);
}

// ---- the linked-device table after a serial-device change ----------------------

class CountingLiveView : public PlaceholderLiveView {
public:
    void ChangeItemPositionForDeviceModified() override { ++relayouts; }
    void ResetPtzControlButton() override { ++ptzResets; }
    int relayouts = 0;
    int ptzResets = 0;
};

class ScopedLiveView {
public:
    explicit ScopedLiveView(LiveViewServices& services) { SetLiveViewServices(&services); }
    ~ScopedLiveView() { SetLiveViewServices(nullptr); }
};

TEST_F(ConfigSheetTest, PeripheralChangeRebuildsTheMasters) {
    CountingLiveView liveView;
    ScopedLiveView use(liveView);
    ScopedPages pages;
    pages.Add<PeripheralPageValues>(SheetPageId::kPeripheral, [](MySystemDialog& s) {
        const SheetReadValues& r = s.ReadValues();
        return PeripheralPageValues{7,
                                    r.device2Id,
                                    r.device1ModelIndex,
                                    r.device2ModelIndex,
                                    r.device1BaudIndex,
                                    r.device2BaudIndex};
    });
    MySystemDialog* sheet = Open("Q3A2", "1010");
    ASSERT_NE(sheet, nullptr);
    sheet->SetActivePage(sheet->PageIndexOf(SheetPageId::kPeripheral));
    sheet->OnClickApply();
    EXPECT_EQ(SentOptions(), std::vector<std::string>{"PERI"});
    const CControlDevice& devices = g_lpApp->C_ControlD;
    ASSERT_EQ(devices.Count(), 2);
    EXPECT_EQ(devices.Entry(0).id, 7);
    EXPECT_EQ(devices.Entry(0).value, 9600u);
    EXPECT_EQ(devices.Entry(1).id, 2);
    EXPECT_EQ(devices.CurrentIndex(), 1);  // "Selected Channel" is not 1
    EXPECT_EQ(liveView.relayouts, 1);
    EXPECT_EQ(sheet->EndResult(), 3);
}

struct Rs485Case {
    const char* name;
    std::uint8_t type0;
    std::uint8_t protocol0;
    std::uint8_t expectedType;  // of the current device afterwards
    bool master;                // the current device afterwards is a master
    int ptzResets;
};

class Rs485Rebuild : public ConfigSheetTest, public ::testing::WithParamInterface<Rs485Case> {};

// The current slave stays current when it is still a PTZ camera; otherwise
// PTZ control goes off and the recorder itself becomes current.
TEST_P(Rs485Rebuild, SlavesFollowTheDevicePage) {
    const Rs485Case& c = GetParam();
    CountingLiveView liveView;
    ScopedLiveView use(liveView);
    ScopedPages pages;
    pages.Add<DevicePageValues>(SheetPageId::kDevice, [c](MySystemDialog&) {
        DevicePageValues v;
        v.channelsChanged = true;
        v.types[0] = c.type0;
        v.protocols[0] = c.protocol0;
        v.ids[0] = 3;
        v.types[1] = 1;
        v.ids[1] = 4;
        v.bauds.fill(9600);
        return v;
    });
    MySystemDialog* sheet = Open("Q8A7");
    ASSERT_NE(sheet, nullptr);
    CControlDevice& devices = g_lpApp->C_ControlD;
    devices.Reset();
    devices.AddDevice(0, 0, 24, kDeviceMaster);
    devices.AddDevice(9600, 1, 11, kDeviceSlave);
    ASSERT_EQ(devices.MakeCurrent(kDeviceSlave, 0), 0);
    sheet->SetActivePage(sheet->PageIndexOf(SheetPageId::kDevice));
    sheet->OnClickApply();
    EXPECT_EQ(SentOptions(), std::vector<std::string>{"RS485"});
    EXPECT_EQ(devices.Count(), 17);
    EXPECT_EQ(devices.IsCurrentMaster() != 0, c.master);
    EXPECT_EQ(devices.GetCurrentType(), c.expectedType);
    EXPECT_EQ(liveView.ptzResets, c.ptzResets);
    EXPECT_EQ(liveView.relayouts, 1);
}

INSTANTIATE_TEST_SUITE_P(Channels, Rs485Rebuild,
                         ::testing::Values(Rs485Case{"PelcoPtzStays", 1, 1, 18, false, 0},
                                           Rs485Case{"PtzStays", 1, 0, 11, false, 0},
                                           Rs485Case{"NoCameraLeavesPtz", 0, 0, 24, true, 1}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// The sheet takes the feature bits from the INF section it just read.
TEST_F(ConfigSheetTest, FeatureBitsComeFromTheReadSections) {
    auto profile = devicesim::ProfileForProduct("Q9C0");
    profile->features = kFeatureQuillmereOnly;
    model = &device.EnableDeviceModel("tresk", "tresk", *profile);
    ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kSessionThread), kLoginOk);
    g_lpApp->dw_FeatureFlags = 0;
    g_lpApp->f_VideoConnected = true;
    opener.OnConfigurationCommand(&mainWindow);
    ASSERT_NE(opener.Sheet(), nullptr);
    EXPECT_TRUE(opener.Sheet()->Device().HasFeature(kFeatureQuillmereOnly));
}

// The record list's message shows the Network Backup page.
TEST_F(ConfigSheetTest, ShowBackupPageMessage) {
    MySystemDialog* sheet = Open("Q8A3");
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(platform::PostWindowMessage(sheet->Handle(), WM_SHOWBACKUPPAGE, 0, 0));
    platform::ProcessPostedMessages();
    EXPECT_EQ(sheet->ActivePageIndex(), sheet->PageIndexOf(SheetPageId::kNetworkBackup));
}

// The opener prefills the local values from the settings; APPLY writes
// them back and makes the record and snapshot folders.
TEST_F(ConfigSheetTest, LocalSettingsAreWrittenBack) {
    const fs::path base =
        fs::temp_directory_path() / ("kestrune-sheet-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base);
    g_lpApp->CSettingINI.m_strRecordPath = (base / "rec").string();
    g_lpApp->CSettingINI.m_strSnapshotPath = (base / "snap").string();
    g_lpApp->CSettingINI.m_byAlarmTriggerRecord = 1;
    g_lpApp->b_TurboRepeatStep = 4;
    MySystemDialog* sheet = Open("Q7B5");
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->LocalValues().turboIndex, 3);
    EXPECT_EQ(sheet->LocalValues().alarmTriggerRecord, 1);
    sheet->LocalValues().turboIndex = 1;
    sheet->OnClickApply();
    EXPECT_EQ(g_lpApp->b_TurboRepeatStep.load(), 2);
    EXPECT_EQ(g_lpApp->CSettingINI.m_byAlarmTriggerRecord.load(), 1);
    EXPECT_TRUE(fs::is_directory(base / "rec"));
    EXPECT_TRUE(fs::is_directory(base / "snap"));
    fs::remove_all(base);
}

}  // namespace
