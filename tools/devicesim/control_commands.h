#pragma once

// The device-control commands, as a recorder or camera answers them: the
// RS-485 key bodies ("/RS485Cmd.cgi", logged byte for byte), the R.E.T.R.
// switch ("/SetRetr.cgi"), the PTZ slave list ("/PTZReset.cgi", scripted)
// and the Q9C0 camera sensor's zoom and flips ("/OV9653Zoom.cgi",
// "/OV9653Rotate.cgi"), whose state the live stream reports in its frame
// headers. Thread-safe; the device model routes these paths here once the
// session is checked.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/devicesim/http_request.h"

namespace devicesim {

struct Response;
struct LinkedDevice;

// One "/RS485Cmd.cgi" request: its query parameters as sent and its body.
struct Rs485Command {
    NameValueList query;
    std::string body;
};

class ControlCommands {
public:
    explicit ControlCommands(std::vector<LinkedDevice> slaves);

    static bool Handles(std::string_view path);
    std::optional<Response> Answer(const HttpRequest& request);

    void SetLogger(std::function<void(std::string_view)> logger);

    // Set-up and inspection for tests.
    std::vector<Rs485Command> Rs485Log() const;
    std::vector<int> RetrRequests() const;  // the SET values, in order
    // The R.E.T.R. state once "/SetRetr.cgi" set it.
    std::optional<std::uint8_t> RetrState() const;
    // The slave list "/PTZReset.cgi" reports.
    void SetSlaves(std::vector<LinkedDevice> slaves);
    int PtzResetCount() const;
    // The camera state byte of the frame headers: zoom mode in bits 0-3,
    // vertical flip bit 6, horizontal flip bit 7.
    std::uint8_t CameraState() const;
    void SetCameraState(std::uint8_t state);
    std::vector<std::string> CameraLog() const;  // "MODE=3", "HR=1&VR=0"

private:
    Response Rs485(const HttpRequest& request);
    Response SetRetr(const HttpRequest& request);
    Response PtzReset(const HttpRequest& request);
    Response Zoom(const HttpRequest& request);
    Response Rotate(const HttpRequest& request);
    void Log(std::string_view text) const;

    mutable std::mutex m_mutex;
    std::vector<Rs485Command> m_rs485;
    std::vector<int> m_retrRequests;
    std::optional<std::uint8_t> m_retrState;
    std::vector<LinkedDevice> m_slaves;
    int m_ptzResets = 0;
    std::uint8_t m_cameraState = 0;
    std::vector<std::string> m_cameraLog;
    std::function<void(std::string_view)> m_logger;
};

}  // namespace devicesim
