#pragma once

// A main window over a scripted device on 127.0.0.1 that acts as one of the
// simulator's products, with the drawn skin beside the program and a fixed
// 1920 x 1080 work area. Nothing starts the stream threads: the window's
// start events exist so that its set-up completes, and the frame drawing is
// driven by the tests themselves.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/login/login_exchange.h"
#include "core/state/app_global_state.h"
#include "liveview/skin/skin_flags.h"
#include "liveview/window/live_view_services.h"
#include "liveview/window/main_window.h"
#include "platform/clock.h"
#include "platform/modal_dialog.h"
#include "platform/program_folder.h"
#include "platform/window.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/drawn_skin.h"
#include "tests/support/modal_script.h"
#include "tests/support/qt_app.h"
#include "tests/support/user_input.h"
#include "tools/devicesim/device_model.h"

namespace window_test {

namespace fs = std::filesystem;

// A program folder with the drawn skin, shared by the whole test program.
inline const fs::path& SkinFolder() {
    return test_support::DrawnSkinFolder();
}

inline const QRect kWorkArea(0, 0, 1920, 1080);

class WindowTest : public command_test::DeviceCommandTest {
protected:
    void SetUp() override {
        DeviceCommandTest::SetUp();
        test_support::EnsureQtApp();
        platform::SetProgramFolder(SkinFolder());
        ResetSkinFlags();
        // The defaults of Setting.ini.
        settings().m_dwImageResolution = 1;
        settings().m_bySelectedChannel = 1;
        g_lpApp->h_StartToGetJpegImageEvent = std::make_unique<platform::Event>(false, false);
        g_lpApp->h_StartConnectionThreadEvent = std::make_unique<platform::Event>(false, false);
        g_lpApp->h_FinishShowImageJobEvent = std::make_unique<platform::Event>(false, false);
    }
    void TearDown() override {
        window.reset();
        ResetSkinFlags();
        platform::ResetProgramFolder();
        DeviceCommandTest::TearDown();
    }

    // Acts as `product` at `level`, logs in and opens the window; the
    // set-up's result.
    int Open(const std::string& product, int level = 30, int videoMode = 0,
             void (*adjust)(devicesim::DeviceProfile&) = nullptr) {
        devicesim::DeviceProfile profile = devicesim::ProfileForProduct(product).value();
        profile.userLevel = level;
        profile.videoMode = videoMode;
        if (adjust != nullptr)
            adjust(profile);
        model = &device.EnableDeviceModel("tresk", "tresk", profile);
        // A new login starts from an empty linked-device table.
        g_lpApp->C_ControlD.Reset();
        if (LoginExchange("tresk", "tresk", LoginPath::kLoginDialog) != kLoginOk)
            return -1;
        window = std::make_unique<CDravelinDlg>();
        window->SetWorkArea(kWorkArea);
        const int result = window->OnInitDialog();
        platform::ProcessPostedMessages();
        return result;
    }

    void Pump() {
        platform::ProcessPostedMessages();
        QApplication::processEvents();
    }

    // Runs the opened window modally, as the program runs it, and hands it
    // to `operate` while it runs; the window is closed (the orderly road of
    // its close button) when `operate` returns.
    void RunWindow(const std::function<void(CDravelinDlg&)>& operate) {
        test_support::ModalScript<CDravelinDlg> script([&operate](CDravelinDlg& main) {
            operate(main);
            if (main.isVisible())
                main.close();
        });
        platform::RunModal(*window);
        EXPECT_EQ(script.Runs(), 1);
    }

    // The window's button with control id `id`: its own and its command
    // bar's, or a channel bar's, which carry their id as a property.
    QWidget* WindowButton(std::uint32_t id) const {
        if (QWidget* button = window->FindButton(id))
            return button;
        for (QWidget* child : window->findChildren<QWidget*>()) {
            if (child->property("controlId").toUInt() == id)
                return child;
        }
        return nullptr;
    }

    // Presses the window's button with `id` as the operator does; false
    // (with a test failure) when the operator could not reach it.
    bool ClickButton(std::uint32_t id) {
        QWidget* button = WindowButton(id);
        if (button == nullptr) {
            ADD_FAILURE() << "the window has no button " << id;
            return false;
        }
        if (!test_support::ExpectReachable(button))
            return false;
        test_support::UserClick(button);
        return true;
    }

    platform::ManualClock clock;
    platform::ScopedClockSource useClock{clock};
    devicesim::DeviceModel* model = nullptr;
    std::unique_ptr<CDravelinDlg> window;
};

}  // namespace window_test
