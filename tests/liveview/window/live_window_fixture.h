#pragma once

// The main window as the program runs it, over a device on 127.0.0.1: the
// login, the process and login resources with their threads, the
// simulator's live stream, the drawn skin beside the program, and the window
// shown application-modal as its exec() shows it, for the operator's input
// (operator_input.h).

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "core/login/login_exchange.h"
#include "core/login/process_control.h"
#include "core/state/app_global_state.h"
#include "liveview/window/live_view_services.h"
#include "liveview/window/main_window.h"
#include "media/media_services.h"
#include "platform/clock.h"
#include "tests/liveview/window/operator_input.h"
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
        if (window != nullptr) {
            window->DestroyWindow();
            window.reset();
        }
        AppStateTest::TearDown();
        device.reset();
    }

    void UseDevice(std::unique_ptr<LiveDevice> next) {
        device = std::move(next);
        settings().m_strServerName = "127.0.0.1";
        settings().m_wWebPort = device->server.port();
        g_strHostIP.Set("127.0.0.1");
    }

    // Logs in as the login dialog does, starts the threads, opens the main
    // window and shows it as its exec() does; false when a step failed.
    bool OpenWindow() {
        if (LoginExchange("tresk", "tresk", LoginPath::kLoginDialog) != kLoginOk ||
            InitProcessResource() != 1 || InitLoginResource() != 1) {
            return false;
        }
        window = std::make_unique<CDravelinDlg>();
        if (window->OnInitDialog() != 1)
            return false;
        return operator_input::ShowAsRun(*window);
    }

    ScopedMediaServices media;
    ScopedLiveViewServices liveView;
    platform::ManualClock clock;
    platform::ScopedClockSource useClock{clock};
    std::unique_ptr<LiveDevice> device;
    std::unique_ptr<CDravelinDlg> window;
};

}  // namespace live_window_test
