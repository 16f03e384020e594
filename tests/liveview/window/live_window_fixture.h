#pragma once

// The program's whole live road against the simulator on 127.0.0.1: a state
// record as start-up leaves it, the media and live-view services registered,
// a simulated device, the drawn skin beside the program, and the injected
// clock. A test logs in, builds the process and login resources (the stream
// threads) and opens the real main window, which the real pipeline then
// feeds; RunMainWindow runs it modally as the program does, with the test
// acting as its operator inside (run_window.h).

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "core/login/login_exchange.h"
#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "liveview/window/live_view_services.h"
#include "liveview/window/main_window.h"
#include "media/media_services.h"
#include "platform/clock.h"
#include "tests/liveview/window/run_window.h"
#include "tests/support/core/app_state_fixture.h"
#include "tests/support/drawn_skin.h"
#include "tests/support/simulated_device.h"

namespace window_test {

class LiveWindowTest : public core_test::AppStateTest {
protected:
    void SetUp() override {
        AppStateTest::SetUp();
        // The drawn skin, shared by the whole test program.
        std::filesystem::create_directory_symlink(test_support::DrawnSkinFolder() / "BMP",
                                                  folder.path() / "BMP");
        UseDevice();
        g_strHostIP.Set("127.0.0.1");
    }
    void TearDown() override {
        AppStateTest::TearDown();
        device.reset();
    }

    // Replaces the device by one acting as `profile`, on the port given (0:
    // a new one), and points the settings at it.
    void UseDevice(devicesim::DeviceProfile profile = {},
                   devicesim::LiveStreamOptions options = {.framesPerSecond = 100},
                   std::uint16_t port = 0) {
        device.reset();
        device = std::make_unique<test_support::SimulatedDevice>(std::move(profile), options, port);
        settings().m_strServerName = "127.0.0.1";
        settings().m_wWebPort = device->server.port();
    }

    // Logs in as the login dialog does and builds the resources the main
    // window's stream needs.
    ::testing::AssertionResult LogIn() {
        if (LoginExchange("tresk", "tresk", LoginPath::kLoginDialog) != kLoginOk)
            return ::testing::AssertionFailure() << "the login was refused";
        if (InitProcessResource() != 1 || InitLoginResource() != 1)
            return ::testing::AssertionFailure() << "the stream resources were not built";
        return ::testing::AssertionSuccess();
    }

    // Logs in, then runs the main window as the program does and hands it to
    // `act` once shown; the window is closed afterwards.
    void RunMainWindow(const std::function<void(CDravelinDlg&)>& act) {
        ASSERT_TRUE(LogIn());
        CDravelinDlg main;
        ASSERT_EQ(main.OnInitDialog(), 1);
        RunWindow(main, act);
    }

    ScopedMediaServices media;
    ScopedLiveViewServices liveView;
    platform::ManualClock clock;
    platform::ScopedClockSource useClock{clock};
    std::unique_ptr<test_support::SimulatedDevice> device;
};

}  // namespace window_test
