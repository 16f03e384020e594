#include "tools/devicesim/time_commands.h"

#include <array>
#include <charconv>

#include "tools/devicesim/device_model.h"

namespace devicesim {

namespace {

// A decimal number (with an optional minus sign) within [low, high].
bool NumberIn(const HttpRequest& request, std::string_view name, int low, int high) {
    const auto text = request.Param(name);
    if (!text || text->empty()) {
        return false;
    }
    int value = 0;
    const char* end = text->data() + text->size();
    const auto [ptr, ec] = std::from_chars(text->data(), end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

Response BadRequest() {
    Response response;
    response.status = 400;
    response.reason = "Bad Request";
    return response;
}

}  // namespace

bool TimeCommands::Handles(std::string_view path) {
    return path == "/SyncTime.cgi";
}

Response TimeCommands::Answer(const HttpRequest& request) {
    bool valid = false;
    if (NumberIn(request, "Mode", 1, 1)) {
        const bool automatic = NumberIn(request, "ServerMode", 1, 1);
        const bool named = NumberIn(request, "ServerMode", 0, 0);
        // A named server comes with its name (at most 27 characters); the
        // zone, when sent, with its offsets.
        const auto server = request.Param("Server");
        const bool serverOk = automatic || (named && server && server->size() <= 27);
        const bool zoneOk = !request.Param("NationID") || (NumberIn(request, "NationID", 0, 74) &&
                                                           NumberIn(request, "Hour", -12, 13) &&
                                                           NumberIn(request, "Minute", -59, 59));
        valid = serverOk && zoneOk;
    } else if (NumberIn(request, "Mode", 0, 0)) {
        valid = NumberIn(request, "Year", 1970, 2099) && NumberIn(request, "Month", 1, 12) &&
                NumberIn(request, "Day", 1, 31) && NumberIn(request, "Hour", 0, 23) &&
                NumberIn(request, "Minute", 0, 59) && NumberIn(request, "Second", 0, 59);
    }
    std::function<void(std::string_view)> logger;
    {
        std::lock_guard lock(m_mutex);
        logger = m_logger;
        if (valid) {
            NameValueList params;
            for (const auto& [name, value] : request.query) {
                if (name != "Cookie") {
                    params.emplace_back(name, value);
                }
            }
            m_lastSync = std::move(params);
            ++m_syncs;
        }
    }
    if (logger) {
        logger(valid ? "time synchronised" : "refused /SyncTime.cgi: bad parameters");
    }
    if (!valid) {
        return BadRequest();
    }
    Response response;
    response.body = "OK";
    return response;
}

void TimeCommands::SetLogger(std::function<void(std::string_view)> logger) {
    std::lock_guard lock(m_mutex);
    m_logger = std::move(logger);
}

std::optional<NameValueList> TimeCommands::LastSync() const {
    std::lock_guard lock(m_mutex);
    return m_lastSync;
}

int TimeCommands::SyncCount() const {
    std::lock_guard lock(m_mutex);
    return m_syncs;
}

}  // namespace devicesim
