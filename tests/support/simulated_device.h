#pragma once

// A device on 127.0.0.1 as devicesim runs it: the device model answers the
// commands and the simulator's live stream answers "/Getvideo.cgi", on a
// scripted FakeDevice, so a test can still script a path or read back the
// requests.

#include <cstdint>

#include "tests/support/fake_device.h"
#include "tools/devicesim/device_model.h"
#include "tools/devicesim/live_stream.h"

namespace test_support {

struct SimulatedDevice {
    explicit SimulatedDevice(devicesim::DeviceProfile profile = {},
                             devicesim::LiveStreamOptions options = {.framesPerSecond = 100},
                             std::uint16_t port = 0);
    // The server's connection threads use the stream: they end first.
    ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    FakeDevice server;
    devicesim::DeviceModel& model;
    devicesim::LiveStream stream;
};

}  // namespace test_support
