#include "liveview/control/ptz_control.h"

#include <algorithm>

#include "core/application/string_table.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"

namespace {

constexpr std::size_t kSlaveReplyBytes = 1024;
constexpr std::uint16_t kPtzTimeoutSeconds = 15;
constexpr std::uint32_t kSlaveEntryValue = 2400;
constexpr std::uint8_t kTypePtz = 8;
constexpr std::uint8_t kTypePtzSlave = 11;
constexpr std::uint8_t kTypePtzPelco = 18;
constexpr std::uint8_t kTypePtzPelcoD = 25;
// A full-screen click must be this far inside the picture.
constexpr int kFullScreenMargin = 8;

}  // namespace

std::optional<std::array<std::uint8_t, 5>> PtzSelectionBody(int n) {
    if (n >= 1 && n <= 9)
        return std::array<std::uint8_t, 5>{0x02, 0x05, static_cast<std::uint8_t>(n + 5), 0x01,
                                           0x32};
    if (n >= 10 && n <= kPtzNumberMax)
        return std::array<std::uint8_t, 5>{0x02, 0x06, static_cast<std::uint8_t>(n - 5), 0x01,
                                           0x32};
    return std::nullopt;
}

std::optional<PtzClick> PtzClickCell(const PictureRect& v, int x, int y, bool fullScreen,
                                     int videoWidth, int videoHeight) {
    const int margin = fullScreen ? kFullScreenMargin : 0;
    if (!(v.left + margin < x && x < v.right - margin && v.top + margin < y &&
          y < v.bottom - margin)) {
        return std::nullopt;
    }
    const int width = v.right - v.left;
    const int height = v.bottom - v.top;
    const int cw = width / kPtzGridColumns;
    const int ch = height / kPtzGridRows;
    // Cells of zero size (a picture narrower than the grid) put every click
    // in the first cell: the loops below would not move.
    PtzClick click;
    if (cw > 0)
        click.column = std::clamp((x - v.left - 1) / cw, 0, kPtzGridColumns - 1);
    if (ch > 0)
        click.row = std::clamp((y - v.top - 1) / ch, 0, kPtzGridRows - 1);
    click.cell = static_cast<std::uint8_t>(click.row * 16 + click.column);
    if (fullScreen) {
        const std::int64_t mx = static_cast<std::int64_t>(videoWidth) * (x - v.left) / width;
        const std::int64_t my = static_cast<std::int64_t>(videoHeight) * (y - v.top) / height;
        click.markX = static_cast<std::uint16_t>(std::clamp<std::int64_t>(mx, 0, 0xFFFF));
        click.markY = static_cast<std::uint16_t>(std::clamp<std::int64_t>(my, 0, 0xFFFF));
    } else {
        click.markX = static_cast<std::uint16_t>(x - v.left);
        click.markY = static_cast<std::uint16_t>(y - v.top);
    }
    return click;
}

std::optional<Rs485Body> PtzClickBody(std::uint8_t type, std::uint8_t cell, std::uint8_t id,
                                      std::uint8_t rights) {
    Rs485Body body;
    if (type == kTypePtz) {
        const std::array<std::uint8_t, 8> bytes{0x05, 0xD0, id, 0x52, cell, 0x00, 0x01, 0x32};
        std::copy(bytes.begin(), bytes.end(), body.bytes.begin());
        body.length = bytes.size();
        return body;
    }
    if (type == kTypePtzSlave || type == kTypePtzPelco || type == kTypePtzPelcoD) {
        const auto sum = static_cast<std::uint8_t>(0xD0 + id + rights + 0x52 + cell);
        const std::array<std::uint8_t, 10> bytes{0x07, 0xD0, id,  rights, 0x52,
                                                 cell, 0x00, sum, 0x01,   0x32};
        std::copy(bytes.begin(), bytes.end(), body.bytes.begin());
        body.length = bytes.size();
        return body;
    }
    return std::nullopt;
}

std::vector<PtzSlave> ReadPtzSlaveList(std::span<const std::uint8_t> reply) {
    const ReplyItems items(reply);
    std::vector<PtzSlave> slaves;
    const auto count = items.Number("SLAVENUM");
    if (!count)
        return slaves;
    // The count is the device's byte; ids and types carry over from the
    // previous slave when an item is missing.
    const int n = static_cast<std::uint8_t>(*count);
    std::size_t position = 0;
    PtzSlave slave;
    for (int i = 0; i < n; ++i) {
        if (auto sid = items.Number("SID", position))
            slave.id = static_cast<std::uint8_t>(*sid);
        if (auto stype = items.Number("STYPE", position)) {
            slave.type = static_cast<std::uint8_t>(*stype);
            if (slave.type == 1)
                slave.type = kTypePtzSlave;
        }
        if (auto protocol = items.Number("SPROTOCOL", position);
            protocol && slave.type == kTypePtzSlave && *protocol == 1) {
            slave.type = kTypePtzPelco;
        }
        slaves.push_back(slave);
    }
    return slaves;
}

std::optional<std::vector<PtzSlave>> RequestPtzSlaveList() {
    CCgiUrl url(CgiCommand::kPtzReset);
    url.AddSessionCookie(g_szSessionCookie.Get());
    std::array<std::uint8_t, kSlaveReplyBytes> reply{};
    std::uint32_t length = 0;
    CommandStatus status;
    if (TirelSendCommand(CgiCommand::kPtzReset, url.GetUrlBuffer(), {}, &status, reply, &length,
                         kPtzTimeoutSeconds, kPtzTimeoutSeconds, 0) == 0) {
        ShowMessage(4065);
        return std::nullopt;
    }
    return ReadPtzSlaveList(std::span<const std::uint8_t>(reply.data(), length));
}

int RefreshSlaveDevices() {
    if (!IsDvrFamily() || !IsMultiChannel())
        return 1;
    const auto slaves = RequestPtzSlaveList();
    if (!slaves)
        return 0;
    CControlDevice& devices = g_lpApp->C_ControlD;
    const std::uint8_t recorderType = devices.GetMasterType(0);
    devices.Reset();
    devices.AddDevice(0, 0, recorderType, kDeviceMaster);
    for (const PtzSlave& slave : *slaves)
        devices.AddDevice(kSlaveEntryValue, slave.id, slave.type, kDeviceMaster);
    return 1;
}
