#pragma once

// What the login windows' tests share: the shared state record, a program
// folder holding the generated login skin, the scripted device, a recording
// message-box sink, and a bounded pump for posted messages.

#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "core/dialogs/login_dialog_hooks.h"
#include "core/state/app_global_state.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/window.h"
#include "tests/support/fake_device.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"
#include "tools/skingen/skin_set.h"

namespace login_test {

using test_support::PumpUntil;

using test_support::FakeDevice;
using test_support::Reply;

class LoginWindowTest : public ::testing::Test {
protected:
    // One program folder with the skin for the whole suite: drawing it is
    // the same every time.
    static void SetUpTestSuite() {
        home = std::make_unique<test_support::TempDir>();
        skingen::WriteSkin(skingen::LoginSkin(), home->path());
    }
    static void TearDownTestSuite() { home.reset(); }

    void SetUp() override {
        test_support::EnsureQtApp();
        // The offscreen platform cannot shape windows and says so each time
        // a shaped window is shown; the shape itself is checked on the widget.
        previousHandler = qInstallMessageHandler(&QuietMaskWarning);
        platform::SetProgramFolder(home->path());
        g_lpApp = new AppGlobalState();
        g_lpApp->CSettingINI.m_strProgramDir = home->path().string() + "/";
        g_strHostIP.Set("127.0.0.1");
    }
    void TearDown() override {
        device.Stop();
        SetLoginDialogHooks({});
        platform::ProcessPostedMessages();
        delete g_lpApp;
        g_lpApp = nullptr;
        g_szSessionCookie.Clear();
        platform::ResetProgramFolder();
        qInstallMessageHandler(previousHandler);
    }

    static void QuietMaskWarning(QtMsgType type, const QMessageLogContext& context,
                                 const QString& message) {
        if (message.contains(QStringLiteral("does not support setting window masks"))) {
            return;
        }
        if (previousHandler != nullptr) {
            previousHandler(type, context, message);
        } else {
            std::fprintf(stderr, "%s\n", qPrintable(message));
        }
    }
    static inline QtMessageHandler previousHandler = nullptr;

    std::string Port() const { return std::to_string(device.port()); }

    static inline std::unique_ptr<test_support::TempDir> home;
    FakeDevice device;
    test_support::ScopedMessageBoxRecorder boxes;
};

}  // namespace login_test
