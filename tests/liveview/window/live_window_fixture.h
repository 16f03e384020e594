#pragma once

// The main window as the program runs it, over a device on 127.0.0.1: the
// login, the process and login resources with their threads, the
// simulator's live stream, the drawn skin beside the program, and the window
// run modally as the program runs it, with the test acting as its operator
// inside (run_window.h).

#include <gtest/gtest.h>

#include <cstdint>
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
#include "tests/support/fake_device.h"
#include "tests/support/wait.h"
#include "tools/devicesim/live_stream.h"
#include "tools/skingen/main_skin.h"

namespace live_window_test {

// A device on a fixed port: the model answers the commands, the simulator's
// stream answers "/Getvideo.cgi".
struct LiveDevice {
    explicit LiveDevice(std::uint16_t port = 0,
                        devicesim::LiveStreamOptions options = {.framesPerSecond = 100},
                        devicesim::DeviceProfile profile = {})
        : server([port] {
              devicesim::ServerOptions serverOptions;
              serverOptions.port = port;
              return serverOptions;
          }()),
          model(server.EnableDeviceModel("tresk", "tresk", profile)),
          stream(model, options) {
        server.SetHandler("/Getvideo.cgi", [this](const devicesim::HttpRequest& request,
                                                  devicesim::Connection& connection) {
            stream.Serve(request, connection);
        });
    }
    // The server's connection threads use the stream: they end first.
    ~LiveDevice() { server.Stop(); }
    test_support::FakeDevice server;
    devicesim::DeviceModel& model;
    devicesim::LiveStream stream;
};

class LiveWindowTest : public core_test::AppStateTest {
protected:
    void SetUp() override {
        AppStateTest::SetUp();
        skingen::WriteMainSkin(folder.path());
        UseDevice(std::make_unique<LiveDevice>());
    }
    void TearDown() override {
        AppStateTest::TearDown();
        device.reset();
    }

    void UseDevice(std::unique_ptr<LiveDevice> next) {
        device = std::move(next);
        settings().m_strServerName = "127.0.0.1";
        settings().m_wWebPort = device->server.port();
        g_strHostIP.Set("127.0.0.1");
    }

    // Logs in as the login dialog does and starts the threads, then runs the
    // main window as the program does and hands it to `act` once shown;
    // the window is closed afterwards. A failure of the login or of the
    // threads' start fails the test.
    void RunMainWindow(const std::function<void(CDravelinDlg&)>& act) {
        ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
        ASSERT_EQ(InitProcessResource(), 1);
        ASSERT_EQ(InitLoginResource(), 1);
        CDravelinDlg main;
        ASSERT_EQ(main.OnInitDialog(), 1);
        window_test::RunWindow(main, act);
    }

    ScopedMediaServices media;
    ScopedLiveViewServices liveView;
    platform::ManualClock clock;
    platform::ScopedClockSource useClock{clock};
    std::unique_ptr<LiveDevice> device;
};

}  // namespace live_window_test
