#include "liveview/window/device_info_reader.h"

#include <array>
#include <string>

#include "core/application/subsystem_services.h"
#include "core/application/trace_log.h"
#include "core/login/session_login.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"

namespace {

constexpr std::size_t kReplyBytes = 1024;
constexpr std::uint32_t kLinkedEntryValue = 2400;
constexpr std::uint8_t kTypePtzSlave = 11;
constexpr std::uint8_t kTypePtzPelco = 18;

// A linked type from the reply: out-of-range values saturate so that the
// table refuses them rather than taking a wrapped type.
std::uint8_t TypeByte(int value) {
    return value < 0 || value > 255 ? 255 : static_cast<std::uint8_t>(value);
}

// The device sends group counts as one byte.
int CountByte(int value) {
    return static_cast<int>(static_cast<std::uint8_t>(value));
}

// The recorder entry a R.E.T.R. device stands for, by product id; 0 for none.
std::uint8_t RetrRecorderType(const std::string& productId) {
    if (productId == "Q8A7")
        return 19;
    if (productId == "Q8A5")
        return 22;
    if (productId == "Q8A3")
        return 23;
    return 0;
}

bool RetrCounts() {
    if (IsDvrFamily() && !FirmwareOlderThan("1035"))
        return HasFeature(0x1) != 0;
    return true;
}

}  // namespace

WindowDeviceInfo ReadWindowDeviceInfo(std::span<const std::uint8_t> reply) {
    AppGlobalState& app = *g_lpApp;
    CControlDevice& devices = app.C_ControlD;
    WindowDeviceInfo info;
    const ReplyItems items(reply);
    const bool dvr = IsDvrFamily() != 0;

    if (auto lifeTime = items.Number("LIFETIME"))
        app.dw_LifeTime = *lifeTime;

    if (auto linked = items.Number("LINKDEVICE")) {
        devices.AddDevice(0, 0, TypeByte(*linked), kDeviceMaster);
    } else if (auto masters = items.Number("MASTERNUM")) {
        std::size_t position = 0;
        std::uint8_t id = 0;
        std::uint8_t type = 0;
        for (int i = 0; i < CountByte(*masters); ++i) {
            // A missing key keeps the value of the group before.
            if (auto mid = items.Number("MID", position))
                id = static_cast<std::uint8_t>(*mid);
            if (auto mtype = items.Number("MTYPE", position)) {
                type = TypeByte(*mtype);
                if (dvr && type == 1)
                    type = kTypePtzSlave;
            }
            devices.AddDevice(kLinkedEntryValue, id, type, kDeviceMaster);
        }
    }

    if (auto multi = items.Number("MULTICH"))
        app.b_MultiChannel = static_cast<std::uint8_t>(*multi);

    if (auto retr = items.Number("RETR"); retr && RetrCounts()) {
        devices.Reset();
        if (const std::uint8_t type = RetrRecorderType(app.str_ProductID.Get()); type != 0) {
            devices.AddDevice(0, 0, type, kDeviceMaster);
        }
        info.retrPresent = true;
        info.retrState = static_cast<std::uint8_t>(*retr);
    }

    ReadModeAndVersionItems(items);

    if (auto slaves = items.Number("SLAVENUM")) {
        std::size_t position = 0;
        const std::uint16_t kind = IsMultiChannel() ? kDeviceMaster : kDeviceSlave;
        std::uint8_t id = 0;
        std::uint8_t type = 0;
        for (int i = 0; i < CountByte(*slaves); ++i) {
            if (auto sid = items.Number("SID", position))
                id = static_cast<std::uint8_t>(*sid);
            if (auto stype = items.Number("STYPE", position)) {
                type = TypeByte(*stype);
                if (type == 1)
                    type = kTypePtzSlave;
            }
            if (auto protocol = items.Number("SPROTOCOL", position);
                protocol && type == kTypePtzSlave && *protocol == 1) {
                type = kTypePtzPelco;
            }
            devices.AddDevice(kLinkedEntryValue, id, type, kind);
        }
    }
    return info;
}

bool RequestWindowDeviceInfo(WindowDeviceInfo& info) {
    const CCgiUrl url = PrepareDeviceInfoRequest();

    WriteTraceLine("main window: send get device info command");
    std::array<std::uint8_t, kReplyBytes> reply{};
    std::uint32_t length = 0;
    CommandStatus status;
    if (TirelSendCommand(CgiCommand::kGetDeviceInfo, url.GetUrlBuffer(), {}, &status, reply,
                         &length, 15, 15, 0) == 0 ||
        length == 0) {
        WriteTraceLine("main window: get device info failed");
        return false;
    }
    info = ReadWindowDeviceInfo(std::span<const std::uint8_t>(reply.data(), length));
    return true;
}
