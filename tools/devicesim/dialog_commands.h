#pragma once

// The commands of the live view's small dialogs, as a recorder answers them:
// the disk map ("/GetDvrHDD.cgi"), the picture colour ("/GetColor.cgi",
// "/SetColor.cgi"), the buzzer ("/SetBuzzer.cgi") and the playback search
// ("/SearchPlayBack.cgi"). Thread-safe; the device model routes these paths
// here once the session is checked.

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/devicesim/http_request.h"

namespace devicesim {

struct Response;

// The picture colour as the device reports it ("BRI", "CON", "HUE").
struct ColourSetting {
    int brightness = 128;
    int contrast = 128;
    int hue = 128;
};

class DialogCommands {
public:
    static constexpr std::size_t kDiskMapBytes = 32;

    // `productId` decides the defaults: a recorder of the DVR family has
    // disks (MASTER1, SLAVE1 and EXT-01) and 4, 8 or 16 channels; the
    // cameras and servers have no disk and keep their colour in the
    // offset form (mid-scale 128 is stored as 0).
    explicit DialogCommands(std::string_view productId);

    static bool Handles(std::string_view path);
    // The reply for one of the paths above; nullopt for any other path.
    std::optional<Response> Answer(const HttpRequest& request);

    void SetLogger(std::function<void(std::string_view)> logger);

    // Set-up and inspection for tests. The disk map is the reply body as it
    // goes on the wire, so a test may give it any length.
    void SetDiskMap(std::string body);
    std::string DiskMap() const;
    void SetColour(ColourSetting colour);
    ColourSetting Colour() const;
    std::vector<std::string> BuzzerLog() const;  // "long", "short", "stop"
    // The parameters of the last accepted search.
    std::optional<NameValueList> LastSearch() const;
    int SearchCount() const;

private:
    Response GetDvrHdd(const HttpRequest& request);
    Response GetColor(const HttpRequest& request);
    Response SetColor(const HttpRequest& request);
    Response SetBuzzer(const HttpRequest& request);
    Response SearchPlayBack(const HttpRequest& request);
    void Log(std::string_view text) const;

    const int m_channels;
    mutable std::mutex m_mutex;
    std::string m_diskMap;
    ColourSetting m_colour;
    std::vector<std::string> m_buzzer;
    std::optional<NameValueList> m_lastSearch;
    int m_searches = 0;
    std::function<void(std::string_view)> m_logger;
};

}  // namespace devicesim
