// The connect-wait dialog and its login worker against the scripted device.

#include "core/dialogs/connect_wait_dialog.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <vector>

#include "core/application/window_messages.h"
#include "tests/core/login_window_fixture.h"

namespace login_test {
namespace {

using namespace std::chrono_literals;

class ConnectWaitTest : public LoginWindowTest {
protected:
    ConnectWaitTexts Texts(const std::string& password = "tresk") const {
        return {"127.0.0.1", "tresk", password, Port()};
    }

    // Runs the dialog; a fault fails the test instead of hanging it.
    static int Run(CConnectWaitDialog& dialog) {
        QTimer::singleShot(30s, &dialog, &QDialog::reject);
        return dialog.DoModal();
    }
};

TEST_F(ConnectWaitTest, DotsCountOneToFourAndStartAgain) {
    CConnectWaitDialog dialog(nullptr, {"192.168.1.10", "u", "p", "80"});
    std::vector<std::string> shown;
    for (int tick = 0; tick < 5; ++tick) {
        dialog.OnTimer(CConnectWaitDialog::kTimerId);
        shown.push_back(dialog.textLabel()->text().toStdString());
    }
    EXPECT_EQ(shown,
              (std::vector<std::string>{"Connect 192.168.1.10 .", "Connect 192.168.1.10 ..",
                                        "Connect 192.168.1.10 ...", "Connect 192.168.1.10 ....",
                                        "Connect 192.168.1.10 ."}));
    dialog.OnTimer(7);
    EXPECT_EQ(dialog.textLabel()->text().toStdString(), "Connect 192.168.1.10 .");
}

TEST_F(ConnectWaitTest, WorkerLogsInReadsTheDeviceAndEndsTheDialogWithOne) {
    devicesim::DeviceProfile profile;
    profile.productId = "Q9C0";
    profile.userLevel = 30;
    profile.bootVersion = "1111";
    profile.videoMode = 1;
    device.EnableDeviceModel("tresk", "tresk", profile);
    g_lpApp->CSettingINI.m_strUserName = "kept";
    CConnectWaitDialog dialog(nullptr, Texts());
    dialog.m_strText = "Connect 127.0.0.1";
    EXPECT_EQ(Run(dialog), 1);
    EXPECT_FALSE(dialog.TimerRunning());
    EXPECT_FALSE(TheLogin().WorkerRunning());
    EXPECT_TRUE(boxes.Ids().empty());
    // Any product id is taken; the reply's identity and levels are kept.
    EXPECT_EQ(g_lpApp->str_ProductID.Get(), "Q9C0");
    EXPECT_EQ(g_lpApp->w_UserLevel.load(), 30);
    EXPECT_EQ(g_lpApp->str_BootVersion.Get(), "1111");
    EXPECT_EQ(g_lpApp->b_VideoMode.load(), 1);
    EXPECT_FALSE(g_szSessionCookie.Empty());
    // The address and port go into the settings, the user name does not.
    EXPECT_EQ(g_lpApp->CSettingINI.m_strServerName.Get(), "127.0.0.1");
    EXPECT_EQ(g_lpApp->CSettingINI.m_wWebPort.load(), device.port());
    EXPECT_EQ(g_lpApp->CSettingINI.m_strUserName.Get(), "kept");
    EXPECT_EQ(g_lpApp->w_LoginResult.load(), 0);
    // The device information request carries the cookie, RES and QUA only.
    const auto info = device.RequestsTo("/Getdeviceinfo.cgi");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_TRUE(info[0].Param("Cookie").has_value());
    EXPECT_TRUE(info[0].Param("RES").has_value());
    EXPECT_TRUE(info[0].Param("QUA").has_value());
    EXPECT_FALSE(info[0].Param("CH").has_value());
    EXPECT_FALSE(info[0].Param("NEWHR").has_value());
}

struct FailureCase {
    const char* name;
    std::string password;
    std::optional<Reply> loginReply;
    std::optional<Reply> infoReply;
    std::string port;  // empty: the device's
};

class ConnectWaitFailureTest : public ConnectWaitTest,
                               public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ConnectWaitFailureTest, FailureEndsWithMinusOneAndLoginError) {
    const FailureCase& c = GetParam();
    device.EnableDeviceModel();
    if (c.loginReply) {
        device.SetReply("/Login.cgi", *c.loginReply);
    }
    if (c.infoReply) {
        device.SetReply("/Getdeviceinfo.cgi", *c.infoReply);
    }
    ConnectWaitTexts texts = Texts(c.password);
    if (!c.port.empty()) {
        texts.port = c.port;
    }
    CConnectWaitDialog dialog(nullptr, texts);
    EXPECT_EQ(Run(dialog), -1);
    ASSERT_TRUE(PumpUntil([&] { return !boxes.Ids().empty(); }));
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4040});
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ConnectWaitFailureTest,
    ::testing::Values(FailureCase{"WrongPassword", "wrong", {}, {}, {}},
                      FailureCase{"TooManyUsers", "tresk", Reply::Status(202, "Accepted"), {}, {}},
                      FailureCase{"NoSessionId", "tresk", Reply::Ok("Product-ID=Q8A7;"), {}, {}},
                      FailureCase{
                          "DeviceInfoRefused", "tresk", {}, Reply::Status(500, "Error"), {}},
                      FailureCase{"DeviceInfoEmpty", "tresk", {}, Reply::Ok(""), {}},
                      FailureCase{"PortOutOfRange", "tresk", {}, {}, "70000"}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(ConnectWaitTest, EnterDoesNotEndTheWaitAndEscapeStopsTheWorker) {
    Reply stalled;
    stalled.stallAfter = 0;
    device.SetReply("/Login.cgi", stalled);
    CConnectWaitDialog dialog(nullptr, Texts());
    bool openAfterEnter = false;
    QTimer::singleShot(0, &dialog, [&] {
        ASSERT_TRUE(device.WaitForStalls(1));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &enter);
        QTimer::singleShot(0, &dialog, [&] {
            openAfterEnter = dialog.isVisible();
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&dialog, &escape);
        });
    });
    EXPECT_EQ(Run(dialog), 2);
    EXPECT_TRUE(openAfterEnter);
    // The worker was stopped with its dialog and reported nothing.
    EXPECT_FALSE(TheLogin().WorkerRunning());
    platform::ProcessPostedMessages();
    EXPECT_TRUE(boxes.Ids().empty());
}

TEST_F(ConnectWaitTest, ASecondRequestAfterAFailureStartsANewWorker) {
    device.EnableDeviceModel();
    CConnectWaitDialog first(nullptr, Texts("wrong"));
    EXPECT_EQ(Run(first), -1);
    CConnectWaitDialog second(nullptr, Texts());
    EXPECT_EQ(Run(second), 1);
    EXPECT_EQ(device.RequestsTo("/Login.cgi").size(), 2u);
}

}  // namespace
}  // namespace login_test
