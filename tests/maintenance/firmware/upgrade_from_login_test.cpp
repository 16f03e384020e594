// The firmware upgrade as an operator reaches it: the login dialog's upgrade
// button, its connect wait, then the upgrade dialog, against the simulated
// recorder.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "core/dialogs/login_dialog.h"
#include "core/widgets/qel_button.h"
#include "maintenance/firmware/upgrade_fw_dlg.h"
#include "platform/clock.h"
#include "tests/core/login_window_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/modal_script.h"
#include "tests/support/user_input.h"
#include "tools/devicesim/device_model.h"

namespace {

namespace fs = std::filesystem;
using login_test::LoginWindowTest;
using test_support::Reply;

class UpgradeFromLoginTest : public LoginWindowTest {
protected:
    static QPushButton* ButtonNamed(QWidget& dialog, const char* text) {
        for (auto* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == QLatin1String(text)) {
                return button;
            }
        }
        return nullptr;
    }

    // The upload's pauses pass at once.
    platform::ManualClock clock;
    platform::ScopedClockSource useClock{clock};
    test_support::TempDir work;
};

// The recorder does not answer "/GetVersion.cgi": the dialog opens all the
// same with empty version and path texts, and a folder chosen in it uploads.
TEST_F(UpgradeFromLoginTest, AFailedVersionReadOpensTheDialogEmpty) {
    devicesim::DeviceProfile profile = *devicesim::ProfileForProduct("Q8A7");
    profile.firmwareVersion = "1069";  // the old protocol
    devicesim::DeviceModel& model = device.EnableDeviceModel("tresk", "tresk", profile);
    device.SetReply("/GetVersion.cgi", Reply::Status(500, "Internal Server Error"));
    g_lpApp->CSettingINI.m_strUpgradeDVRFWPath = (work / "remembered").string();
    const fs::path folder = work / "fw";
    fs::create_directory(folder);
    std::ofstream(folder / "PLAYER.BIN", std::ios::binary) << std::string(1500, 'p');
    LoginDialogHooks hooks;
    hooks.runUpgradeFirmware = RunUpgradeFirmwareDialog;
    hooks.pickFolder = [folder](QWidget*, const fs::path&) { return std::optional(folder); };
    SetLoginDialogHooks(hooks);

    LoginDialog login;
    login.m_strServerName = "127.0.0.1";
    login.m_strUserName = "tresk";
    login.m_strPassword = "tresk";
    login.m_strPort = Port();
    login.OnInitDialog();
    login.show();

    test_support::ModalScript<CUpgradeFWDlg> upgrade([&](CUpgradeFWDlg& dialog) {
        EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("version"))->text().isEmpty());
        EXPECT_TRUE(dialog.findChild<QLineEdit*>()->text().isEmpty());
        test_support::SaveWidgetPicture(dialog, "upgrade_firmware_without_version.png");
        ASSERT_TRUE(test_support::ExpectReachable(ButtonNamed(dialog, "Find...")));
        test_support::UserClick(ButtonNamed(dialog, "Find..."));
        EXPECT_EQ(dialog.findChild<QLineEdit*>()->text().toStdString(), folder.string());
        // The upload closes the dialog when it ends.
        ASSERT_TRUE(test_support::ExpectReachable(dialog.UpgradeButton()));
        test_support::UserClick(dialog.UpgradeButton());
    });
    ASSERT_TRUE(test_support::ExpectReachable(login.Button(LoginDialog::kIdUpgrade)));
    test_support::UserClick(login.Button(LoginDialog::kIdUpgrade));
    EXPECT_EQ(upgrade.Runs(), 1);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4048});
    const auto units = model.firmware().Units();
    ASSERT_EQ(units.size(), 1u);
    const auto& unit = units[0];
    EXPECT_TRUE(unit.complete);
    EXPECT_EQ(unit.type, "17");
    EXPECT_EQ(unit.bytes, std::string(1500, 'p'));
    EXPECT_EQ(model.firmware().RebootCount(), 1);
}

}  // namespace
