#include "maintenance/firmware/upgrade_fw_dlg.h"
#include "tests/support/recording_message_box.h"

#include <QApplication>
#include <QImage>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/dialogs/login_dialog_hooks.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "tests/maintenance/firmware/upload_fakes.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using command_test::DeviceCommandTest;
using test_support::Reply;

class UpgradeDialogTest : public DeviceCommandTest {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        DeviceCommandTest::SetUp();
        g_szSessionCookie.Set("abc");
        device.SetHandler("/Getvideo.cgi",
                          [](const auto&, auto& connection) { connection.HoldUntilPeerCloses(); });
        device.SetReply("/UpgradeFW.cgi", Reply::Ok());
        device.SetReply("/CancelUPFW.cgi", Reply::Ok());
        device.SetReply("/GetVersion.cgi", Reply::Ok("1069"));
        settings().m_strUpgradeDVRFWPath = dir.path().string();
        settings().m_strUpgradeFWPath = dir.path().string() + "/";
        settings().m_strProgramDir = dir.path().string();
        timings.pauseAtEnd = std::chrono::milliseconds(0);
        timings.packedNewPauseAfterSide = std::chrono::milliseconds(0);
        timings.folderNewPauseAfterRequest = std::chrono::milliseconds(0);
    }
    void TearDown() override {
        CUpgradeFWDlg::SetFilePicker({});
        SetLoginDialogHooks({});
        DeviceCommandTest::TearDown();
    }

    void Device(const std::string& product, const std::string& version) {
        g_lpApp->str_ProductID.Set(product);
        g_lpApp->str_FWVersion.Set(version);
    }

    void Write(const fs::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }

    // Delivers posted messages until the dialog ended or the upload ran out.
    void RunUntilEnded(CUpgradeFWDlg& dialog) {
        dialog.JoinUpload();
        platform::ProcessPostedMessages();
        QApplication::processEvents();
    }

    test_support::TempDir dir;
    maintenance::UploadTimings timings;
    test_support::ScopedMessageBoxRecorder boxes;
};

struct GateCase {
    const char* product;
    const char* version;
    UploadProtocol protocol;
};

TEST_F(UpgradeDialogTest, VersionGatesChooseTheProtocol) {
    const GateCase cases[] = {
        {"Q8A7", "1069", UploadProtocol::kOld}, {"Q8A5", "1070", UploadProtocol::kNew},
        {"Q8A3", "10", UploadProtocol::kNew},   {"Q3A2", "1012", UploadProtocol::kOld},
        {"Q3A2", "1013", UploadProtocol::kNew}, {"Q9C0", "9999", UploadProtocol::kOld},
        {"Q7B5", "2000", UploadProtocol::kOld},
    };
    for (const GateCase& c : cases) {
        Device(c.product, c.version);
        CUpgradeFWDlg dialog;
        EXPECT_EQ(dialog.ChosenProtocol(), c.protocol) << c.product << " " << c.version;
    }
}

TEST_F(UpgradeDialogTest, FolderUploadFromTheChosenFolder) {
    Device("Q8A7", "1069");
    const fs::path folder = dir / "fw";
    fs::create_directory(folder);
    Write(folder / "player.bin", std::string(1000, 'p'));
    LoginDialogHooks hooks;
    hooks.pickFolder = [&](QWidget*, const fs::path&) { return std::optional(folder / ""); };
    SetLoginDialogHooks(hooks);

    CUpgradeFWDlg dialog;
    dialog.SetTimings(timings);
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.VersionText(), "1069");
    dialog.OnFindButton();
    EXPECT_EQ(dialog.FilePathText(), folder.string());
    EXPECT_EQ(settings().m_strUpgradeDVRFWPath.Get(), folder.string());
    test_support::SaveWidgetPicture(dialog, "upgrade_firmware_folder.png");

    dialog.OnUpgradeButton();
    RunUntilEnded(dialog);
    const auto pieces = device.RequestsTo("/UpgradeFW.cgi");
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].target, "/UpgradeFW.cgi?Upgrade=Start&FileSize=1000&Type=17&Cookie=abc");
    EXPECT_EQ(pieces[1].target, "/UpgradeFW.cgi?Upgrade=Finished&Type=17&Reboot=1&Cookie=abc");
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4048}));
    EXPECT_FALSE(dialog.isVisible());  // the upload closed it
    EXPECT_TRUE(fs::exists(dir / "Setting.ini"));
}

TEST_F(UpgradeDialogTest, EmptyFolderAndFailedVersionQuery) {
    Device("Q8A5", "1070");
    CUpgradeFWDlg dialog;
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.OnUpgradeButton();  // the remembered folder holds no firmware
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4111}));
    EXPECT_TRUE(dialog.UpgradeButton()->isEnabled());
    EXPECT_TRUE(device.RequestsTo("/UpgradeFW2.cgi").empty());

    device.SetReply("/GetVersion.cgi", Reply::Status(500, "Internal Server Error"));
    CUpgradeFWDlg failed;
    EXPECT_FALSE(failed.OnInitDialog());
    EXPECT_TRUE(failed.VersionText().empty());
}

TEST_F(UpgradeDialogTest, PackedFileIsCheckedWholeBeforeAnythingIsSent) {
    Device("Q3A2", "1013");  // new protocol
    // A first record of a type the new protocol has no number for (it would
    // go out as the kernel), then a kernel record.
    const std::string file = firmware_test::PackedFile({{10, 6}, {100, 1}}, 'k');
    Write(dir / "bad.bin", file);
    CUpgradeFWDlg::SetFilePicker(
        [&](QWidget*, const fs::path&) { return std::optional(dir / "bad.bin"); });

    CUpgradeFWDlg dialog;
    dialog.SetTimings(timings);
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.VersionText(), "1.0.1.3");
    EXPECT_EQ(dialog.FilePathText(), dir.path().string() + "/KERNEL.BIN");
    test_support::SaveWidgetPicture(dialog, "upgrade_firmware_packed.png");
    dialog.OnFindButton();
    EXPECT_EQ(dialog.FilePathText(), (dir / "bad.bin").string());
    dialog.OnUpgradeButton();
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4057}));
    EXPECT_TRUE(dialog.UpgradeButton()->isEnabled());
    EXPECT_EQ(device.RequestCount(), 0u);

    // A missing file is 4047.
    CUpgradeFWDlg::SetFilePicker(
        [&](QWidget*, const fs::path&) { return std::optional(dir / "gone.bin"); });
    dialog.OnFindButton();
    dialog.OnUpgradeButton();
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4057, 4047}));
}

TEST_F(UpgradeDialogTest, PackedUploadByTheNewProtocol) {
    Device("Q3A2", "1013");
    const std::string file = firmware_test::PackedFile({{3000, 1}, {20, 0}});
    Write(dir / "fw.bin", file);
    device.SetHandler("/UpgradeFW2.cgi", firmware_test::UnitHandler());
    CUpgradeFWDlg::SetFilePicker(
        [&](QWidget*, const fs::path&) { return std::optional(dir / "fw.bin"); });
    CUpgradeFWDlg dialog;
    dialog.SetTimings(timings);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    dialog.OnFindButton();
    EXPECT_EQ(settings().m_strUpgradeFWPath.Get(), dir.path().string() + "/");
    dialog.OnUpgradeButton();
    RunUntilEnded(dialog);
    const auto units = device.RequestsTo("/UpgradeFW2.cgi");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].target, "/UpgradeFW2.cgi?Cookie=abc&FILESIZE=3000&Type=0");
    EXPECT_EQ(units[1].target, "/UpgradeFW2.cgi?Cookie=abc&FILESIZE=20&Type=1&REBOOT=1");
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4048}));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.ProgressBar()->isVisible());
}

TEST_F(UpgradeDialogTest, CancelSendsTheCancelRequestOfTheProtocolAndCloses) {
    Device("Q9C0", "1100");  // old protocol
    {
        CUpgradeFWDlg dialog;
        ASSERT_TRUE(dialog.OnInitDialog());
        dialog.show();
        dialog.OnCancel();
        EXPECT_FALSE(dialog.isVisible());
        ASSERT_EQ(device.RequestsTo("/UpgradeFW.cgi").size(), 1u);
        EXPECT_EQ(device.RequestsTo("/UpgradeFW.cgi")[0].target,
                  "/UpgradeFW.cgi?Upgrade=Cancel&Cookie=abc");
    }
    Device("Q8A7", "1070");  // new protocol
    CUpgradeFWDlg dialog;
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.OnCancel();
    ASSERT_EQ(device.RequestsTo("/CancelUPFW.cgi").size(), 1u);
    EXPECT_EQ(device.RequestsTo("/CancelUPFW.cgi")[0].target, "/CancelUPFW.cgi?Cookie=abc");
}

}  // namespace
