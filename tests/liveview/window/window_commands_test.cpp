// The main window's commands against the fake device (the exact request
// bytes), the configuration toggle, keys and private messages.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/application/window_messages.h"
#include "core/state/app_global_state.h"
#include "liveview/window/window_extensions.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/user_input.h"

namespace {

using command_test::FixedHeaders;
using command_test::Reply;
using window_test::WindowTest;

// Records what the window asks of the pieces built elsewhere.
class RecordingExtensions : public MainWindowExtensions {
public:
    bool OpenConfigSheet(QWidget*) override {
        ++opened;
        return true;
    }
    void CloseConfigSheet() override { ++closed; }
    void RunColorDialog(QWidget*, int brightness, int contrast, int hue) override {
        colour = {brightness, contrast, hue};
    }
    int opened = 0;
    int closed = 0;
    std::vector<int> colour;
};

class CommandTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        SetMainWindowExtensions(&extensions);
    }
    void TearDown() override {
        SetMainWindowExtensions(nullptr);
        WindowTest::TearDown();
    }

    std::string Request(const std::string& path, std::size_t n = 0) {
        const auto requests = device.RequestsTo(path);
        return n < requests.size() ? requests[n].raw : std::string("(none)");
    }
    std::string Cookie() const { return g_szSessionCookie.Get(); }

    RecordingExtensions extensions;
};

TEST_F(CommandTest, ResolutionTogglesAndSendsTheNewValue) {
    ASSERT_EQ(Open("Q8A7"), 1);
    ASSERT_EQ(settings().m_dwImageResolution.load(), 1u);
    window->OnCommand(1007);
    EXPECT_EQ(Request("/Setresolution.cgi"),
              "GET /Setresolution.cgi?Cookie=" + Cookie() + "&RES=0 HTTP/1.1\r\n" + FixedHeaders());
    EXPECT_EQ(settings().m_dwImageResolution.load(), 0u);
    EXPECT_EQ(model->LastStreamSettings().resolution, 0);
    EXPECT_EQ(window->FindButton(1007)->StateIndex(), 0);

    device.SetReply("/Setresolution.cgi", Reply::Status(500, "Error"));
    window->OnCommand(1007);
    EXPECT_EQ(settings().m_dwImageResolution.load(), 0u);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4066});

    settings().m_dwImageResolution = 2;  // neither: nothing is sent
    window->OnCommand(1007);
    EXPECT_EQ(device.RequestsTo("/Setresolution.cgi").size(), 2u);
}

TEST_F(CommandTest, QualityCyclesThroughThreeValues) {
    ASSERT_EQ(Open("Q8A7"), 1);
    for (int i = 0; i < 3; ++i) window->OnCommand(1008);
    const char* sent[] = {"1", "2", "0"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Request("/Setquality.cgi", static_cast<std::size_t>(i)),
                  "GET /Setquality.cgi?Cookie=" + Cookie() + "&QUA=" + sent[i] + " HTTP/1.1\r\n" +
                      FixedHeaders());
    }
    EXPECT_EQ(settings().m_dwAlarmTriggerQuality.load(), 0u);
    device.SetReply("/Setquality.cgi", Reply::Status(404, "Not Found"));
    window->OnCommand(1008);
    EXPECT_EQ(settings().m_dwAlarmTriggerQuality.load(), 0u);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4011});
}

TEST_F(CommandTest, ColourReadsTheDeviceValues) {
    ASSERT_EQ(Open("Q8A7"), 1);
    window->OnCommand(999);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4085});
    EXPECT_TRUE(device.RequestsTo("/GetColor.cgi").empty());

    g_lpApp->f_VideoConnected = true;
    device.SetReply("/GetColor.cgi", Reply::Ok("BRI=12;HUE=3;"));
    window->OnCommand(999);
    EXPECT_EQ(Request("/GetColor.cgi"),
              "GET /GetColor.cgi?Cookie=" + Cookie() + " HTTP/1.1\r\n" + FixedHeaders());
    EXPECT_EQ(extensions.colour, (std::vector<int>{12, 128, 3}));

    device.SetReply("/GetColor.cgi", Reply::Status(500, "Error"));
    window->OnCommand(999);
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4085, 4064}));
}

TEST_F(CommandTest, RecordAndSnapshotNeedTheVideo) {
    ASSERT_EQ(Open("Q8A7"), 1);
    window->OnCommand(1005);
    window->OnCommand(1004);
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4085, 4085}));
    g_lpApp->f_VideoConnected = true;
    window->OnCommand(1004);
    EXPECT_TRUE(g_lpApp->f_SnapshotRequest.load());
}

TEST_F(CommandTest, ConfigurationReadsAllAndToggles) {
    ASSERT_EQ(Open("Q8A7"), 1);
    g_lpApp->f_VideoConnected = true;
    const std::size_t before = device.RequestsTo("/GetSysCfg.cgi").size();
    window->OnCommand(1006);
    const auto reads = device.RequestsTo("/GetSysCfg.cgi");
    ASSERT_EQ(reads.size(), before + 1);
    EXPECT_EQ(reads.back().Param("Option").value_or(""), "ALL");
    EXPECT_EQ(extensions.opened, 1);
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 1);
    window->OnCommand(1006);  // open: closes it
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);
    EXPECT_EQ(extensions.opened, 1);
    EXPECT_GE(extensions.closed, 1);
}

TEST_F(CommandTest, OldFirmwareReadsTheSectionsOneByOne) {
    ASSERT_EQ(Open("Q8A7", 30, 0, [](devicesim::DeviceProfile& p) { p.firmwareVersion = "1020"; }),
              1);
    g_lpApp->f_VideoConnected = true;
    const std::size_t before = device.RequestsTo("/GetSysCfg.cgi").size();
    window->OnCommand(1006);
    std::vector<std::string> options;
    const auto reads = device.RequestsTo("/GetSysCfg.cgi");
    for (std::size_t i = before; i < reads.size(); ++i)
        options.push_back(std::string(reads[i].Param("Option").value_or("")));
    EXPECT_EQ(options, (std::vector<std::string>{"IP", "ONLINE", "ALARM", "SECURE", "SMTP", "FTP",
                                                 "RS485", "DVRLIVE", "DVRREC", "PPPOE", "DNS"}));
    EXPECT_EQ(extensions.opened, 1);
}

TEST_F(CommandTest, FailedConfigurationReadIsReported) {
    ASSERT_EQ(Open("Q8A7"), 1);
    g_lpApp->f_VideoConnected = true;
    device.SetReply("/GetSysCfg.cgi", Reply::Status(500, "Error"));
    window->OnCommand(1006);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4029});
    EXPECT_EQ(g_lpApp->f_ConfigDialogOpen.load(), 0);
    EXPECT_EQ(extensions.opened, 0);
}

TEST_F(CommandTest, EscOutsideFullScreenAndEnterNeverClose) {
    ASSERT_EQ(Open("Q8A7"), 1);
    window->show();
    const QRect before = window->geometry();
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &press);
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->geometry(), before);
}

TEST_F(CommandTest, LeavingTheSpecialViewMakesTheMasterCurrent) {
    ASSERT_EQ(Open("Q8A7"), 1);
    AppGlobalState& app = *g_lpApp;
    ASSERT_EQ(app.C_ControlD.MakeCurrent(kDeviceSlave, 0), 0);
    app.b_PtzClickMode = 2;
    ASSERT_TRUE(platform::PostWindowMessage(window->Handle(), WM_LEAVESPECIALVIEW, 0, 0));
    Pump();
    EXPECT_TRUE(app.C_ControlD.IsCurrentMaster());
    EXPECT_EQ(app.b_PtzClickMode.load(), 1);
}

TEST_F(CommandTest, DisconnectClearsTheStateAndShowsIt) {
    ASSERT_EQ(Open("Q8A7"), 1);
    AppGlobalState& app = *g_lpApp;
    app.f_Connected = true;
    window->OnCommand(1002);
    EXPECT_FALSE(app.f_Connected.load());
    EXPECT_EQ(window->StatusText(), "DISCONNECT!!");
    EXPECT_EQ(window->FindButton(1002)->StateIndex(), 1);
}

TEST_F(CommandTest, CloseGoesThroughTheOrderlyRoadAndSavesTheSettings) {
    test_support::TempDir home;
    std::uint8_t turbo = 5;
    settings().LoadFromFile(home.path(), turbo);
    settings().m_strServerName = "127.0.0.1";
    settings().m_wWebPort = device.port();
    ASSERT_EQ(Open("Q8A7"), 1);
    window->show();
    EXPECT_TRUE(window->close());
    Pump();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(std::filesystem::exists(home.path() / "Setting.ini"));
}

// The operator leaves through the exit button while the program's folder
// cannot be written (it lies below a plain file, which stops the superuser
// too): the settings are lost, and one message says so.
TEST_F(CommandTest, LeavingWithAnUnwritableFolderSaysTheSettingsAreLost) {
    test_support::TempDir home;
    std::ofstream(home.path() / "blocker") << "not a folder";
    const std::filesystem::path unwritable = home.path() / "blocker" / "prog";
    std::uint8_t turbo = 5;
    settings().LoadFromFile(unwritable, turbo);
    settings().m_strServerName = "127.0.0.1";
    settings().m_wWebPort = device.port();
    ASSERT_EQ(Open("Q8A7"), 1);
    window->show();
    boxes.sink().Clear();
    ASSERT_TRUE(test_support::ExpectReachable(window->FindButton(8202)));
    test_support::UserClick(window->FindButton(8202));
    Pump();
    EXPECT_FALSE(window->isVisible());
    const auto told = boxes.sink().Entries();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].text, std::string(CSettingINI::kSaveFailedText) + "\n" +
                                (unwritable / "Setting.ini").string());
}

}  // namespace
