#include "tests/support/simulated_device.h"

namespace test_support {

namespace {

devicesim::ServerOptions OnPort(std::uint16_t port) {
    devicesim::ServerOptions options;
    options.port = port;
    return options;
}

}  // namespace

SimulatedDevice::SimulatedDevice(devicesim::DeviceProfile profile,
                                 devicesim::LiveStreamOptions options, std::uint16_t port)
    : server(OnPort(port)),
      model(server.EnableDeviceModel("tresk", "tresk", std::move(profile))),
      stream(model, options) {
    server.SetHandler("/Getvideo.cgi", [this](const devicesim::HttpRequest& request,
                                              devicesim::Connection& connection) {
        stream.Serve(request, connection);
    });
}

SimulatedDevice::~SimulatedDevice() {
    server.Stop();
}

}  // namespace test_support
