#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tools/devicesim/control_commands.h"
#include "tools/devicesim/dialog_commands.h"
#include "tools/devicesim/dvr_setting_commands.h"
#include "tools/devicesim/firmware_commands.h"
#include "tools/devicesim/http_request.h"
#include "tools/devicesim/time_commands.h"

namespace devicesim {

// A reply of the simulated device, before it is put on the wire.
struct Response {
    int status = 200;
    std::string reason = "OK";
    std::string contentType = "text/plain";
    std::string body;
};

// One entry of the linked-device groups of the device-information reply.
struct LinkedDevice {
    int id = 0;
    int type = 0;
    int protocol = 0;  // slaves only
    // Slaves: the channel on whose RS-485 line the unit sits (1..16); 0: the
    // channel of its place in the list.
    int channel = 0;

    bool operator==(const LinkedDevice&) const = default;
};

// What the device says about itself. The defaults describe a 16-channel
// Q8A7 recorder with current firmware and one PTZ camera on its RS-485 bus.
struct DeviceProfile {
    std::string productId = "Q8A7";
    std::string firmwareVersion = "1052";
    std::string macAddress = "000E5C4A17B3";
    std::string hostName = "Q8A7-DVR";
    std::string bootVersion = "1004";
    std::string version2041 = "1012";
    std::string fpgaVersion = "1007";
    // Seconds a session lasts from the start of its live stream; -1: no limit.
    int lifetimeSeconds = -1;
    int multiChannel = 0;  // recorders: 1 streams one channel at a time (see ChannelRangeOf)
    int videoMode = 0;     // 0 NTSC, 1 PAL
    int userLevel = 30;
    std::vector<LinkedDevice> masters = {{0, 24, 0}};  // itself: "16CH NETWORK DVR"
    std::vector<LinkedDevice> slaves = {{1, 1, 0}};    // a PTZ camera, id 1
    std::uint16_t webPort = 80;                        // as reported in the IP section
    std::uint32_t features = 0;                        // INF feature bits (0x80: one DDNS provider)
    // Configuration sections whose writes the device refuses (answers 400
    // and keeps what it has), to watch a failed send.
    std::vector<std::string> refusedSections;
    // Configuration sections whose reads the device never answers (it holds
    // the connection until the client closes it), to watch a device that
    // hangs.
    std::vector<std::string> stalledSections;
};

// The profile of a device of the given product id: the default profile with
// the id, a host name and the linked devices a device of that family
// reports. Nothing for an id the client does not know.
std::optional<DeviceProfile> ProfileForProduct(std::string_view productId);

// Whether `option` names one of the configuration sections ("SECURE", ...).
bool IsSectionName(std::string_view option);

// The recorder family: Q8A7, Q8A5, Q8A3.
bool IsRecorder(std::string_view productId);
// The channels of a multi-channel recorder: 16 (Q8A7), 8 (Q8A5), 4 (Q8A3);
// 0 for every other product.
int RecorderChannelCount(std::string_view productId);

// The channels a device streams, first to last. A multi-channel recorder:
// 0 (its own multi view) to its channel count; a recorder showing its own
// view: 0; a Q3A2 its two inputs, 1 and 2; the cameras (Q7B family, Q9C0)
// the channel number the client keeps for them, 2.
struct ChannelRange {
    int first = 0;
    int last = 0;
    bool Holds(int channel) const { return channel >= first && channel <= last; }
};
ChannelRange ChannelRangeOf(const DeviceProfile& profile);

// The LIFETIME the device reports: its session lifetime in whole minutes
// (the unit the client counts in), rounded down; -1 for no limit.
int ReportedLifetimeMinutes(const DeviceProfile& profile);
// How long after the start of its live stream the device itself ends a
// session: the profile's seconds, but never before the client's own count of
// the reported minutes has run out and a few seconds more, so that a client
// that keeps the lifetime ends the session first.
std::optional<std::chrono::seconds> SessionEndAfter(const DeviceProfile& profile);

// Stream settings the client last asked for with "/Getdeviceinfo.cgi".
struct StreamSettings {
    int resolution = 0;
    int quality = 0;
    int channel = 0;
    bool newHeader = false;  // NEWHR=1: frames carry the new header layout
};

// The device's behaviour behind the CGI paths of login, device information,
// configuration sections and reboot. Thread-safe: connections are served
// concurrently.
class DeviceModel {
public:
    static constexpr std::size_t kMaxSessions = 10;  // one ONLINE record each

    DeviceModel(std::string user, std::string password, DeviceProfile profile = {});

    // Whether `path` is one of the paths the model answers.
    static bool Handles(std::string_view path);

    // The reply for a request, or nullopt for a path the model does not know.
    std::optional<Response> Answer(const HttpRequest& request);

    // Whether the request is a read the device never answers (a section of
    // the profile's stalledSections).
    bool Stalls(const HttpRequest& request) const;

    // Notable events ("reboot requested", refused logins, stored sections).
    void SetLogger(std::function<void(std::string_view)> logger);

    // Inspection and set-up for tests.
    std::optional<std::string> Section(std::string_view option) const;
    bool SetSection(std::string_view option, std::string_view bytes);
    bool IsSessionValid(std::string_view cookie) const;
    std::vector<std::string> SessionIds() const;
    StreamSettings LastStreamSettings() const;
    // Marks the start of a session's live stream, from which its lifetime
    // counts (the first stream of a session only); false when the session
    // is not, or no longer, valid.
    bool StartSessionStream(std::string_view cookie);
    // The clock session lifetimes are counted on (tests inject one).
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    void SetClock(Clock now);
    int RebootCount() const;
    const DeviceProfile& profile() const { return m_profile; }
    // The small dialogs' commands: disk map, colour, buzzer, playback search.
    DialogCommands& dialogCommands() { return m_dialogCommands; }
    // The clock command ("/SyncTime.cgi").
    TimeCommands& timeCommands() { return m_timeCommands; }
    // The recorder's clock and recording settings.
    DvrSettingCommands& dvrSettings() { return m_dvrSettings; }
    // The firmware upgrade: version query, both upload protocols, cancel and
    // the side connection, served on the connection itself.
    FirmwareCommands& firmware() { return m_firmware; }
    // The device-control commands: RS-485 keys, R.E.T.R., PTZ, camera sensor.
    ControlCommands& controlCommands() { return m_controlCommands; }
    const ControlCommands& controlCommands() const { return m_controlCommands; }

    // Size of a configuration section of this device; nullopt when it has none.
    std::optional<std::size_t> SectionSize(std::string_view option) const;

    // Every section body "/SetSysCfg.cgi" brought, in arrival order, whether
    // it was stored or refused.
    struct ReceivedSection {
        std::string option;
        std::string body;
        bool stored = false;
    };
    std::vector<ReceivedSection> ReceivedSections() const;
    // Whether the device's family has the section in its "ALL" layout (the
    // sections it answers and takes; all 17 are kept in memory).
    bool ServesSection(std::string_view option) const;

private:
    struct Session {
        std::string id;
        std::string user;
        std::uint32_t address = 0;  // host order
        std::optional<std::chrono::steady_clock::time_point> streamStarted;
        mutable bool endLogged = false;
    };

    Response Login(const HttpRequest& request);
    Response DeviceInfo(const HttpRequest& request);
    Response GetSysCfg(const HttpRequest& request);
    Response SetSysCfg(const HttpRequest& request);
    Response Reboot(const HttpRequest& request);
    std::optional<Response> AnswerDialogCommand(const HttpRequest& request);
    Response SetResolution(const HttpRequest& request);
    Response SetQuality(const HttpRequest& request);
    Response SetChannel(const HttpRequest& request);

    bool HasSessionLocked(std::string_view cookie) const;
    bool HasEndedLocked(const Session& session) const;
    std::string OnlineSectionLocked() const;
    std::string AllSectionsLocked() const;
    void Log(std::string_view text) const;

    const std::string m_user;
    const std::string m_password;
    const DeviceProfile m_profile;
    const bool m_dvrFamily;

    mutable std::mutex m_mutex;
    std::map<std::string, std::string, std::less<>> m_sections;  // fixed-size sections
    std::vector<ReceivedSection> m_received;
    std::deque<Session> m_sessions;  // newest last
    StreamSettings m_stream;
    int m_reboots = 0;
    std::mt19937_64 m_random;
    std::function<void(std::string_view)> m_logger;
    Clock m_now;
    DialogCommands m_dialogCommands;
    TimeCommands m_timeCommands;
    DvrSettingCommands m_dvrSettings;
    FirmwareCommands m_firmware;
    ControlCommands m_controlCommands;
};

}  // namespace devicesim
