#include "tools/devicesim/control_commands.h"

#include <array>

#include "tools/devicesim/device_model.h"

namespace devicesim {

namespace {

constexpr std::array<std::string_view, 5> kPaths{"/RS485Cmd.cgi", "/SetRetr.cgi", "/PTZReset.cgi",
                                                 "/OV9653Zoom.cgi", "/OV9653Rotate.cgi"};
// A body holds its count, the data, the repeat count and 0x32: 64 at most.
constexpr std::size_t kMaxRs485Body = 64;

Response Ok(std::string body = {}) {
    return Response{200, "OK", "text/plain", std::move(body)};
}

Response BadRequest() {
    return Response{400, "Bad Request", "text/plain", {}};
}

std::optional<int> Small(const HttpRequest& request, std::string_view name, int high) {
    const auto text = request.Param(name);
    if (!text)
        return std::nullopt;
    const auto value = ParseDecimal(*text);
    if (!value || *value > static_cast<std::uint64_t>(high))
        return std::nullopt;
    return static_cast<int>(*value);
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!text.empty())
            text += ' ';
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

}  // namespace

ControlCommands::ControlCommands(std::vector<LinkedDevice> slaves) : m_slaves(std::move(slaves)) {}

bool ControlCommands::Handles(std::string_view path) {
    for (const auto known : kPaths) {
        if (known == path)
            return true;
    }
    return false;
}

std::optional<Response> ControlCommands::Answer(const HttpRequest& request) {
    if (request.path == kPaths[0])
        return Rs485(request);
    if (request.path == kPaths[1])
        return SetRetr(request);
    if (request.path == kPaths[2])
        return PtzReset(request);
    if (request.path == kPaths[3])
        return Zoom(request);
    if (request.path == kPaths[4])
        return Rotate(request);
    return std::nullopt;
}

Response ControlCommands::Rs485(const HttpRequest& request) {
    // The device forwards count + 3 bytes (or the counted form's n + 3):
    // the body must at least hold its count byte and what it announces.
    const std::string& body = request.body;
    if (body.empty() || body.size() > kMaxRs485Body ||
        static_cast<unsigned char>(body[0]) + 3u != body.size()) {
        Log("RS485 body refused: " + Hex(body.substr(0, kMaxRs485Body)));
        return BadRequest();
    }
    {
        std::lock_guard lock(m_mutex);
        m_rs485.push_back({request.query, body});
    }
    Log("RS485 " + request.target.substr(request.target.find('?') + 1) + " : " + Hex(body));
    return Ok();
}

Response ControlCommands::SetRetr(const HttpRequest& request) {
    const auto set = Small(request, "SET", 1);
    if (!set)
        return BadRequest();
    {
        std::lock_guard lock(m_mutex);
        m_retrRequests.push_back(*set);
        m_retrState = static_cast<std::uint8_t>(*set);
    }
    Log("R.E.T.R. " + std::string(*set != 0 ? "on" : "off"));
    return Ok();
}

Response ControlCommands::PtzReset(const HttpRequest&) {
    std::string body;
    {
        std::lock_guard lock(m_mutex);
        ++m_ptzResets;
        body = "SLAVENUM=" + std::to_string(m_slaves.size()) + ";";
        for (const auto& slave : m_slaves) {
            body += "SID=" + std::to_string(slave.id) + ";STYPE=" + std::to_string(slave.type) +
                    ";SPROTOCOL=" + std::to_string(slave.protocol) + ";";
        }
    }
    Log("PTZ slave list sent");
    return Ok(std::move(body));
}

Response ControlCommands::Zoom(const HttpRequest& request) {
    const auto mode = Small(request, "MODE", 5);
    if (!mode)
        return BadRequest();
    {
        std::lock_guard lock(m_mutex);
        m_cameraState = static_cast<std::uint8_t>((m_cameraState & 0xF0) | *mode);
        m_cameraLog.push_back("MODE=" + std::to_string(*mode));
    }
    Log("camera zoom mode " + std::to_string(*mode));
    return Ok();
}

Response ControlCommands::Rotate(const HttpRequest& request) {
    const auto hr = Small(request, "HR", 1);
    const auto vr = Small(request, "VR", 1);
    if (!hr || !vr)
        return BadRequest();
    {
        std::lock_guard lock(m_mutex);
        m_cameraState = static_cast<std::uint8_t>((m_cameraState & 0x0F) | (*vr << 6) | (*hr << 7));
        m_cameraLog.push_back("HR=" + std::to_string(*hr) + "&VR=" + std::to_string(*vr));
    }
    Log("camera flips HR=" + std::to_string(*hr) + " VR=" + std::to_string(*vr));
    return Ok();
}

void ControlCommands::SetLogger(std::function<void(std::string_view)> logger) {
    std::lock_guard lock(m_mutex);
    m_logger = std::move(logger);
}

void ControlCommands::Log(std::string_view text) const {
    std::function<void(std::string_view)> logger;
    {
        std::lock_guard lock(m_mutex);
        logger = m_logger;
    }
    if (logger)
        logger(text);
}

std::vector<Rs485Command> ControlCommands::Rs485Log() const {
    std::lock_guard lock(m_mutex);
    return m_rs485;
}

std::vector<int> ControlCommands::RetrRequests() const {
    std::lock_guard lock(m_mutex);
    return m_retrRequests;
}

std::optional<std::uint8_t> ControlCommands::RetrState() const {
    std::lock_guard lock(m_mutex);
    return m_retrState;
}

void ControlCommands::SetSlaves(std::vector<LinkedDevice> slaves) {
    std::lock_guard lock(m_mutex);
    m_slaves = std::move(slaves);
}

int ControlCommands::PtzResetCount() const {
    std::lock_guard lock(m_mutex);
    return m_ptzResets;
}

std::uint8_t ControlCommands::CameraState() const {
    std::lock_guard lock(m_mutex);
    return m_cameraState;
}

void ControlCommands::SetCameraState(std::uint8_t state) {
    std::lock_guard lock(m_mutex);
    m_cameraState = state;
}

std::vector<std::string> ControlCommands::CameraLog() const {
    std::lock_guard lock(m_mutex);
    return m_cameraLog;
}

}  // namespace devicesim
