#pragma once

// A device on 127.0.0.1 for the tests that run the whole live road: the
// model answers the commands, the simulator's stream answers
// "/Getvideo.cgi".

#include <cstdint>

#include "tests/support/fake_device.h"
#include "tools/devicesim/device_model.h"
#include "tools/devicesim/live_stream.h"

namespace window_test {

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
    LiveDevice(const LiveDevice&) = delete;
    LiveDevice& operator=(const LiveDevice&) = delete;

    test_support::FakeDevice server;
    devicesim::DeviceModel& model;
    devicesim::LiveStream stream;
};

}  // namespace window_test
