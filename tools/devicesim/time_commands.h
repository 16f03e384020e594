#pragma once

// The device's clock command "/SyncTime.cgi": SNTP mode (Mode=1 with
// ServerMode, Server, NationID, Hour, Minute) or a date and time set by the
// user (Mode=0 with Year, Month, Day, Hour, Minute, Second). The simulator
// checks the parameters, keeps the last accepted set and answers "OK".
// Thread-safe; the device model routes the path here once the session is
// checked.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "tools/devicesim/http_request.h"

namespace devicesim {

struct Response;

class TimeCommands {
public:
    static bool Handles(std::string_view path);
    Response Answer(const HttpRequest& request);

    void SetLogger(std::function<void(std::string_view)> logger);

    // The parameters of the last accepted "/SyncTime.cgi", and how many
    // were accepted.
    std::optional<NameValueList> LastSync() const;
    int SyncCount() const;

private:
    mutable std::mutex m_mutex;
    std::optional<NameValueList> m_lastSync;
    int m_syncs = 0;
    std::function<void(std::string_view)> m_logger;
};

}  // namespace devicesim
