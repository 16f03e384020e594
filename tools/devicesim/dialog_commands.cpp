#include "tools/devicesim/dialog_commands.h"

#include <array>
#include <cstdint>

#include "tools/devicesim/device_model.h"

namespace devicesim {

namespace {

constexpr std::array<std::string_view, 5> kPaths{"/GetDvrHDD.cgi", "/GetColor.cgi", "/SetColor.cgi",
                                                 "/SetBuzzer.cgi", "/SearchPlayBack.cgi"};

int ChannelsOf(std::string_view productId) {
    if (productId == "Q8A7")
        return 16;
    if (productId == "Q8A5")
        return 8;
    if (productId == "Q8A3")
        return 4;
    return 0;
}

Response Ok(std::string body = {}) {
    return Response{200, "OK", "text/plain", std::move(body)};
}

Response BadRequest() {
    return Response{400, "Bad Request", "text/plain", {}};
}

Response NotFound() {
    return Response{404, "Not Found", "text/plain", {}};
}

// A decimal parameter within [low, high]; nothing when absent, not a plain
// decimal (an optional leading minus, then digits) or out of range.
std::optional<int> Number(const HttpRequest& request, std::string_view name, int low, int high) {
    const auto text = request.Param(name);
    if (!text) {
        return std::nullopt;
    }
    std::string_view digits = *text;
    const bool negative = digits.starts_with('-');
    if (negative) {
        digits.remove_prefix(1);
    }
    const auto value = ParseDecimal(digits);
    if (!value || *value > 100000) {
        return std::nullopt;
    }
    const int number = negative ? -static_cast<int>(*value) : static_cast<int>(*value);
    if (number < low || number > high) {
        return std::nullopt;
    }
    return number;
}

// Colour values of the offset form: mid-scale 128 stored as 0.
int Offset(int v) {
    return v >= 128 ? v - 128 : v + 128;
}

}  // namespace

DialogCommands::DialogCommands(std::string_view productId) : m_channels(ChannelsOf(productId)) {
    m_diskMap.assign(kDiskMapBytes, '\0');
    if (m_channels > 0) {
        // MASTER1, SLAVE1 and the first external disk.
        m_diskMap[0] = static_cast<char>(0x13);
        m_colour = ColourSetting{128, 128, 128};
    } else {
        // The cameras' factory picture: 175, 150 and 130 on the dialog's scale.
        m_colour = ColourSetting{Offset(175), 150, Offset(130)};
    }
}

bool DialogCommands::Handles(std::string_view path) {
    for (const auto known : kPaths) {
        if (known == path) {
            return true;
        }
    }
    return false;
}

std::optional<Response> DialogCommands::Answer(const HttpRequest& request) {
    using Handler = Response (DialogCommands::*)(const HttpRequest&);
    static constexpr std::array<Handler, kPaths.size()> kHandlers{
        &DialogCommands::GetDvrHdd, &DialogCommands::GetColor, &DialogCommands::SetColor,
        &DialogCommands::SetBuzzer, &DialogCommands::SearchPlayBack};
    for (std::size_t i = 0; i < kPaths.size(); ++i) {
        if (kPaths[i] == request.path) {
            return (this->*kHandlers[i])(request);
        }
    }
    return std::nullopt;
}

void DialogCommands::SetLogger(std::function<void(std::string_view)> logger) {
    std::lock_guard lock(m_mutex);
    m_logger = std::move(logger);
}

void DialogCommands::Log(std::string_view text) const {
    std::function<void(std::string_view)> logger;
    {
        std::lock_guard lock(m_mutex);
        logger = m_logger;
    }
    if (logger) {
        logger(text);
    }
}

Response DialogCommands::GetDvrHdd(const HttpRequest&) {
    if (m_channels == 0) {
        return NotFound();  // no disks on a camera or video server
    }
    std::lock_guard lock(m_mutex);
    return Response{200, "OK", "application/octet-stream", m_diskMap};
}

Response DialogCommands::GetColor(const HttpRequest&) {
    const ColourSetting c = Colour();
    return Ok("BRI=" + std::to_string(c.brightness) + ";CON=" + std::to_string(c.contrast) +
              ";HUE=" + std::to_string(c.hue) + ";");
}

Response DialogCommands::SetColor(const HttpRequest& request) {
    const auto contrast = Number(request, "CON", 0, 255);
    const auto brightness = Number(request, "BRI", 0, 255);
    const auto hue = Number(request, "HUE", 0, 255);
    if (!contrast || !brightness || !hue) {
        Log("refused /SetColor.cgi: CON, BRI and HUE must be 0 to 255");
        return BadRequest();
    }
    SetColour(ColourSetting{*brightness, *contrast, *hue});
    Log("colour set: BRI=" + std::to_string(*brightness) + " CON=" + std::to_string(*contrast) +
        " HUE=" + std::to_string(*hue));
    return Ok();
}

Response DialogCommands::SetBuzzer(const HttpRequest& request) {
    const auto time = request.Param("time");
    if (!time || (*time != "long" && *time != "short" && *time != "stop")) {
        Log("refused /SetBuzzer.cgi: time must be long, short or stop");
        return BadRequest();
    }
    {
        std::lock_guard lock(m_mutex);
        m_buzzer.emplace_back(*time);
    }
    Log("buzzer " + std::string(*time));
    return Ok();
}

Response DialogCommands::SearchPlayBack(const HttpRequest& request) {
    if (m_channels == 0) {
        return NotFound();
    }
    const auto type = request.Param("searchType");
    const bool event = type && *type == "event";
    if (!type || (!event && *type != "time")) {
        return BadRequest();
    }
    if (event && (!Number(request, "channelNum", 0, m_channels - 1) ||
                  !Number(request, "eventType", 0, 1))) {
        return BadRequest();
    }
    if (!Number(request, "year", -100, 200) || !Number(request, "month", 1, 12) ||
        !Number(request, "day", 1, 31) || !Number(request, "hour", 0, 23) ||
        !Number(request, "min", 0, 59) || !Number(request, "sec", 0, 59)) {
        return BadRequest();
    }
    const auto hdd = request.Param("hddNum");
    if (!hdd) {
        return BadRequest();
    }
    {
        std::lock_guard lock(m_mutex);
        if (*hdd != "ALL") {
            const auto disk = Number(request, "hddNum", 0, 255);
            if (!disk) {
                return BadRequest();
            }
            const std::size_t index = static_cast<std::size_t>(*disk >> 3);
            const auto byte =
                static_cast<std::uint8_t>(index < m_diskMap.size() ? m_diskMap[index] : 0);
            if (((byte >> (*disk & 7)) & 1) == 0) {
                return NotFound();  // no such disk
            }
        }
        m_lastSearch = request.query;
        ++m_searches;
    }
    Log(std::string(event ? "event" : "time") + " search on disk " + std::string(*hdd) +
        " accepted");
    return Ok();
}

void DialogCommands::SetDiskMap(std::string body) {
    std::lock_guard lock(m_mutex);
    m_diskMap = std::move(body);
}

std::string DialogCommands::DiskMap() const {
    std::lock_guard lock(m_mutex);
    return m_diskMap;
}

void DialogCommands::SetColour(ColourSetting colour) {
    std::lock_guard lock(m_mutex);
    m_colour = colour;
}

ColourSetting DialogCommands::Colour() const {
    std::lock_guard lock(m_mutex);
    return m_colour;
}

std::vector<std::string> DialogCommands::BuzzerLog() const {
    std::lock_guard lock(m_mutex);
    return m_buzzer;
}

std::optional<NameValueList> DialogCommands::LastSearch() const {
    std::lock_guard lock(m_mutex);
    return m_lastSearch;
}

int DialogCommands::SearchCount() const {
    std::lock_guard lock(m_mutex);
    return m_searches;
}

}  // namespace devicesim
