// Fuzzes the reader of the "/PTZReset.cgi" slave list: any reply gives at
// most 255 slaves, and every type it reports stays a byte the linked-device
// table can refuse or take.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/state/control_device.h"
#include "liveview/control/ptz_control.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto slaves = ReadPtzSlaveList(std::span(data, size));
    if (slaves.size() > 255)
        std::abort();
    CControlDevice devices;
    devices.AddDevice(0, 0, 24, kDeviceMaster);
    for (const PtzSlave& slave : slaves)
        devices.AddDevice(2400, slave.id, slave.type, kDeviceMaster);
    if (devices.Count() > kMaxLinkedDevices)
        std::abort();
    return 0;
}
