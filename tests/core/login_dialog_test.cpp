#include "core/login_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <chrono>
#include <thread>

#include "core/app_state.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "support/fake_device.h"
#include "support/qt_app.h"

namespace {

using namespace std::chrono_literals;
using test_support::FakeDevice;
using test_support::Reply;

class LoginDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        g_lpApp = new AppGlobalState();
        g_strHostIP.Set("127.0.0.1");
    }
    void TearDown() override {
        device.Stop();
        delete g_lpApp;
        g_lpApp = nullptr;
        g_szSessionCookie.Clear();
    }

    // Pumps posted messages until the condition holds (bounded).
    template <class Condition>
    bool PumpUntil(Condition condition) {
        for (int i = 0; i < 3000 && !condition(); ++i) {
            platform::ProcessPostedMessages();
            std::this_thread::sleep_for(2ms);
        }
        return condition();
    }

    void Fill(LoginDialog& dialog, const std::string& port, const std::string& password) {
        dialog.m_strServerName = "127.0.0.1";
        dialog.m_strPort = port;
        dialog.m_strUserName = "tresk";
        dialog.m_strPassword = password;
        dialog.m_strBitRate = "1200";
        dialog.OnInitDialog();
    }

    FakeDevice device;
    platform::ScopedMessageBoxRecorder boxes;
};

TEST_F(LoginDialogTest, PresetFieldsAreShown) {
    LoginDialog dialog;
    Fill(dialog, "8080", "x");
    EXPECT_EQ(dialog.portEdit()->text(), "8080");
    EXPECT_EQ(dialog.bitRateEdit()->text(), "1200");
    EXPECT_EQ(dialog.serverEdit()->text(), "127.0.0.1");
}

TEST_F(LoginDialogTest, ConnectLogsInAndEndsWithOk) {
    device.EnableDeviceModel();
    LoginDialog dialog;
    Fill(dialog, std::to_string(device.port()), "tresk");
    ASSERT_TRUE(dialog.OnConnect());
    ASSERT_TRUE(PumpUntil([&] { return dialog.result() == QDialog::Accepted; }));
    EXPECT_EQ(g_lpApp->w_LoginResult.load(), 30);
    EXPECT_EQ(g_lpApp->str_ProductID.Get(), "Q8A7");
    EXPECT_EQ(g_lpApp->CSettingINI.m_wWebPort.load(), device.port());
    EXPECT_FALSE(g_szSessionCookie.Empty());
}

TEST_F(LoginDialogTest, RefusedLoginKeepsTheDialogOpen) {
    device.EnableDeviceModel();
    LoginDialog dialog;
    Fill(dialog, std::to_string(device.port()), "wrong");
    ASSERT_TRUE(dialog.OnConnect());
    ASSERT_TRUE(PumpUntil([&] { return dialog.messageLabel()->text() == "Login error !!"; }));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

TEST_F(LoginDialogTest, PortOutsideTheRangeIsRefusedBeforeSending) {
    for (const char* port : {"0", "65536", "70000", "x"}) {
        LoginDialog dialog;
        Fill(dialog, port, "tresk");
        EXPECT_FALSE(dialog.OnConnect()) << port;
    }
    EXPECT_EQ(device.RequestCount(), 0u);
    EXPECT_EQ(boxes.Ids().size(), 4u);
}

}  // namespace
