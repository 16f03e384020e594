// Fuzzes the main window's reading of the device-information reply. The
// first byte chooses the product and firmware the reply is read for (the
// rules for linked devices differ by family); the rest is the reply body.
// Whatever the device sends, the linked-device table stays within its size
// and holds only types the skin tables know, and the user level and view
// texts are bounded.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "core/state/app_global_state.h"
#include "fuzz/fuzz_app.h"
#include "fuzz/fuzz_check.h"
#include "liveview/skin/skin_tables.h"
#include "liveview/window/device_info_reader.h"

namespace {

using fuzz_support::Check;

struct Device {
    const char* product;
    const char* firmware;
    std::uint32_t features;
};
constexpr std::array<Device, 8> kDevices{{
    {"Q8A7", "1052", 0x1},
    {"Q8A5", "1030", 0},
    {"Q8A3", "1078", 0x3},
    {"Q3A2", "1010", 0},
    {"Q7B7", "1002", 0},
    {"Q9C0", "1001", 0},
    {"Q8A7", "1052", 0},
    {"QXXX", "1000", 0},
}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AppGlobalState& app = FuzzApp();
    const Device& device = kDevices[size > 0 ? data[0] % kDevices.size() : 0];
    app.str_ProductID.Set(device.product);
    app.str_FWVersion.Set(device.firmware);
    app.dw_FeatureFlags = device.features;
    app.b_MultiChannel = 0;
    app.C_ControlD.Reset();
    const std::span<const std::uint8_t> reply =
        size > 0 ? std::span(data + 1, size - 1) : std::span<const std::uint8_t>();

    const WindowDeviceInfo info = ReadWindowDeviceInfo(reply);
    const int count = app.C_ControlD.Count();
    Check(count >= 0 && count <= kMaxLinkedDevices);
    for (int i = 0; i < count; ++i) {
        Check(IsValidFamily(app.C_ControlD.Entry(i).type));
    }
    Check(!info.retrPresent || count <= kMaxLinkedDevices);
    Check(app.str_BootVersion.Get().size() < 256);
    Check(app.str_2041Version.Get().size() < 256);
    Check(app.str_FPGAVersion.Get().size() < 256);
    return 0;
}
