#include "tools/devicesim/device_model.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

namespace devicesim {
namespace {

// Every configuration section the client knows, with its fixed size.
struct SectionSpec {
    std::string_view option;
    std::size_t size;
};

constexpr std::array<SectionSpec, 17> kSectionSpecs{{
    {"INF", 44},
    {"IP", 24},
    {"SECURE", 196},
    {"DNS", 12},
    {"SMTP", 440},
    {"FTP", 104},
    {"PPPOE", 68},
    {"SYSTEM", 36},
    {"SNTP", 36},
    {"IMG", 12},
    {"RS485", 124},
    {"ALARM", 24},
    {"ONLINE", 240},
    {"DVRLIVE", 772},
    {"DVROSD", 20},
    {"DVRREC", 132},
    {"PERI", 16},
}};

// The order of the sections in an "ALL" reply. ONLINE comes last with the
// length it currently has.
constexpr std::array<std::string_view, 16> kDvrAllOrder{
    "INF",  "IP",  "SECURE", "DNS",   "SMTP",    "FTP",    "PPPOE",  "SYSTEM",
    "SNTP", "IMG", "RS485",  "ALARM", "DVRLIVE", "DVROSD", "DVRREC", "ONLINE",
};
constexpr std::array<std::string_view, 14> kOtherAllOrder{
    "INF",    "IP",   "SECURE", "DNS",   "SMTP",  "FTP",  "PPPOE",
    "SYSTEM", "SNTP", "IMG",    "RS485", "ALARM", "PERI", "ONLINE",
};

// Sections the device reports but does not let a client overwrite.
constexpr std::array<std::string_view, 2> kReadOnlySections{"INF", "ONLINE"};

constexpr std::array<std::string_view, 3> kDvrFamily{"Q8A7", "Q8A5", "Q8A3"};

constexpr int kChannels = 16;
constexpr std::size_t kOnlineRecordSize = 24;
constexpr std::size_t kTextValueLimit = 255;  // longest value worth echoing into a log

std::optional<std::size_t> SpecSize(std::string_view option) {
    for (const auto& section : kSectionSpecs) {
        if (section.option == option) {
            return section.size;
        }
    }
    return std::nullopt;
}

// Writes little-endian numbers, IPv4 addresses and zero-padded texts into a
// section; a field never grows past its width or the section's end.
class SectionWriter {
public:
    explicit SectionWriter(std::string& bytes) : m_bytes(bytes) {}

    void U8(std::size_t offset, unsigned value) { Put(offset, value, 1); }
    void U16(std::size_t offset, unsigned value) { Put(offset, value, 2); }
    void U32(std::size_t offset, std::uint32_t value) { Put(offset, value, 4); }
    void Ip(std::size_t offset, std::array<std::uint8_t, 4> octets) {
        for (std::size_t i = 0; i < octets.size(); ++i) {
            U8(offset + i, octets[i]);
        }
    }
    void Text(std::size_t offset, std::size_t width, std::string_view text) {
        for (std::size_t i = 0; i < width && offset + i < m_bytes.size(); ++i) {
            m_bytes[offset + i] = i < text.size() ? text[i] : '\0';
        }
    }

private:
    void Put(std::size_t offset, std::uint32_t value, std::size_t width) {
        for (std::size_t i = 0; i < width && offset + i < m_bytes.size(); ++i) {
            m_bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    }

    std::string& m_bytes;
};

std::string TwoDigit(int value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%02d", value);
    return text.data();
}

std::string IpText(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

// Whether a four-digit firmware version is not older than a gate.
bool Meets(std::string_view firmware, std::string_view gate) {
    return firmware.size() != 4 || firmware >= gate;
}

// Plausible settings of an installed device: network, accounts, mail,
// dynamic DNS, FTP, time server, cameras and recording, as its family lays
// them out (which bytes a family uses for what follows its firmware).
std::string DefaultSection(std::string_view option, std::size_t size, const DeviceProfile& profile,
                           std::string_view user, std::string_view password) {
    std::string bytes(size, '\0');
    SectionWriter w(bytes);
    const bool dvr =
        std::find(kDvrFamily.begin(), kDvrFamily.end(), profile.productId) != kDvrFamily.end();
    const bool q3a2 = profile.productId == "Q3A2";
    const std::string& firmware = profile.firmwareVersion;
    std::string host = profile.hostName;
    std::transform(host.begin(), host.end(), host.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    if (option == "INF") {
        w.U32(20, profile.features);
    } else if (option == "IP") {
        w.Ip(4, {192, 168, 1, 10});
        w.Ip(8, {255, 255, 255, 0});
        w.Ip(12, {192, 168, 1, 1});
        w.U16(16, profile.webPort);
        w.U8(22, 0);  // static address
    } else if (option == "SECURE") {
        w.U8(2, 5);  // users logged in at once
        w.Text(8, 16, user);
        w.Text(88, 16, password);
        w.U8(168, 30);  // supervisor
        w.U32(176, 0xFFFFFFFFu);
        w.Text(24, 16, "operator");  // a second account: normal user, no time limit
        w.Text(104, 16, "op2468");
        w.U8(169, 10);
        w.U32(180, 0xFFFFFFFFu);
    } else if (option == "DNS") {
        w.U8(3, 0);  // DNS server given by hand
        w.Ip(4, {192, 168, 1, 1});
    } else if (option == "SMTP") {
        w.U8(4, 2);  // the mail server wants a password (2 yes, 0 no)
        w.U8(5, 1);  // dynamic DNS on
        w.Text(8, 64, "smtp.example.net");
        w.Text(72, 16, "cam@site.local");
        w.Text(88, 16, "dyndns");
        w.Text(104, 16, "siteowner");
        w.Text(120, 16, "dd-secret");
        w.Text(136, 48, "Guard Desk <guard@example.net>");
        w.Text(184, 48, "Site Owner <owner@example.net>");
        w.Text(328, 48, host + ".dyndns.org");
        w.Text(376, 32, "cam");
        w.Text(408, 32, "mail-secret");
    } else if (option == "FTP") {
        w.Text(4, 32, "ftp.example.net");
        w.Text(36, 16, "upload");
        w.Text(52, 16, "ftp-secret");
        w.Text(68, 32, "/alarms/" + profile.productId);
        w.U16(100, 21);
    } else if (option == "PPPOE") {
        // The older layout below the family's gate, the newer one from it.
        if (Meets(firmware, dvr ? "1052" : "1007")) {
            w.Text(4, 32, "dsl-subscriber@isp.example");
            w.Text(36, 32, "dsl-secret");
        } else {
            w.Text(36, 16, "dsl-subscriber");
            w.Text(52, 16, "dsl-secret");
        }
    } else if (option == "SYSTEM") {
        // The title where the family keeps one; elsewhere bytes 4..35 hold
        // the sender address's continuation, empty here.
        if (dvr || (q3a2 && Meets(firmware, "1010"))) {
            w.Text(20, 16, profile.productId + (dvr ? " DVR" : " VS"));
        }
    } else if (option == "SNTP") {
        w.U8(2, 1);  // one hour east of Greenwich
        w.U8(5, 1);
        w.U8(6, 1);  // synchronise once a day
        // A recorder from "1027" keeps the sender's continuation here.
        if (!dvr) {
            w.Text(8, 28, "pool.ntp.org");
        }
    } else if (option == "RS485") {
        for (int ch = 0; ch < kChannels; ++ch) {
            w.U8(12 + ch, static_cast<unsigned>(ch + 1));
            w.U32(60 + 4 * ch, 9600);
        }
        for (std::size_t i = 0; i < profile.slaves.size(); ++i) {
            const LinkedDevice& slave = profile.slaves[i];
            const std::size_t ch =
                slave.channel > 0 ? static_cast<std::size_t>(slave.channel - 1) : i;
            if (ch >= kChannels)
                continue;
            w.U8(12 + ch, static_cast<unsigned>(slave.id));
            w.U8(28 + ch, 1);
            w.U8(44 + ch, static_cast<unsigned>(slave.protocol));
        }
        if (q3a2 && Meets(firmware, "1010")) {
            w.Text(44, 16, "");
            w.Text(44, 8, "GAT");
            w.Text(52, 8, "YRD");
        }
    } else if (option == "ALARM") {
        w.U8(2, 1);               // one picture per alarm
        w.U8(3, 1);               // mail the pictures
        w.U8(5, 1);               // VGA
        w.U16(6, dvr ? 10 : 15);  // seconds, a row of the family's list
        if (dvr) {
            for (int ch = 0; ch < kChannels; ++ch) {
                w.U8(8 + ch, 2);  // input off
            }
        } else {
            w.U8(9, 0);  // video source: the camera
        }
    } else if (option == "DVRLIVE") {
        for (int ch = 0; ch < kChannels; ++ch) {
            for (const std::size_t base : {4, 20, 36, 52}) {
                w.U8(base + ch, 128);  // brightness, contrast, hue, saturation
            }
            w.Text(116 + 6 * ch, 6, "CH" + TwoDigit(ch + 1));
            w.U8(308 + ch, ch < 4 ? 1 : 0);  // motion detection on the first four
            w.U8(324 + ch, 3);
            w.U8(340 + ch, 3);
            w.U8(356 + ch, 2);
            w.U8(372 + ch, 1);
            for (std::size_t b = 0; b < 24; ++b) {
                w.U8(388 + 24 * ch + b, ch < 4 ? 0xFF : 0);  // the whole picture
            }
        }
    } else if (option == "DVRREC") {
        for (int ch = 0; ch < kChannels; ++ch) {
            w.U8(20 + ch, 1);
        }
        for (int row = 0; row < 7; ++row) {
            w.U8(87 + row, row < 5 ? 1 : 0);  // working days
            w.U16(94 + 2 * row, 8 * 256);
            w.U16(108 + 2 * row, 23 * 256 + 59);
        }
    } else if (option == "PERI") {
        w.U8(2, 1);
        w.U8(3, 1);
        w.U32(4, 9600);
        w.U32(8, 9600);
        w.U8(12, 1);
        w.U8(13, 2);
    }
    return bytes;
}

Response Refused(int status, std::string reason) {
    return Response{status, std::move(reason), "text/plain", {}};
}

Response Unauthorized() {
    return Refused(401, "Unauthorized");
}

Response Binary(std::string bytes) {
    return Response{200, "OK", "application/octet-stream", std::move(bytes)};
}

// A parameter as a decimal integer: leading digits with an optional sign,
// saturating at the limits of int; 0 when absent or not a number.
int ParamInt(const HttpRequest& request, std::string_view name) {
    const auto text = request.Param(name);
    if (!text) {
        return 0;
    }
    std::string_view digits = *text;
    const bool negative = digits.starts_with('-');
    if (negative || digits.starts_with('+')) {
        digits.remove_prefix(1);
    }
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::numeric_limits<int>::max();
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            break;
        }
        value = std::min(kLimit + 1, value * 10 + (c - '0'));
    }
    value = negative ? std::max<std::int64_t>(-value, std::numeric_limits<int>::min())
                     : std::min(value, kLimit);
    return static_cast<int>(value);
}

std::uint32_t PeerAddress(std::string_view peer) {
    const std::string host(peer.substr(0, peer.find(':')));
    in_addr address{};
    if (::inet_pton(AF_INET, host.c_str(), &address) != 1) {
        return 0;
    }
    return ntohl(address.s_addr);
}

// A body as hexadecimal bytes, 32 to a group, for the log.
std::string HexBytes(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2 + bytes.size() / 32);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0 && i % 32 == 0) {
            text += ' ';
        }
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

std::string Bounded(std::string_view text) {
    return std::string(text.substr(0, kTextValueLimit));
}

}  // namespace

DeviceModel::DeviceModel(std::string user, std::string password, DeviceProfile profile)
    : m_user(std::move(user)),
      m_password(std::move(password)),
      m_profile(std::move(profile)),
      m_dvrFamily(std::find(kDvrFamily.begin(), kDvrFamily.end(), m_profile.productId) !=
                  kDvrFamily.end()),
      m_random(std::random_device{}()),
      m_now([] { return std::chrono::steady_clock::now(); }),
      m_dialogCommands(m_profile.productId),
      m_dvrSettings(m_profile.productId),
      m_firmware(m_profile.firmwareVersion,
                 [this](std::string_view cookie) { return IsSessionValid(cookie); }),
      m_controlCommands(m_profile.slaves) {
    // Every section is kept, whatever the family; the family's "ALL"
    // layout decides which ones the device answers and takes.
    for (const auto& section : kSectionSpecs) {
        if (section.option != "ONLINE") {
            m_sections.emplace(
                std::string(section.option),
                DefaultSection(section.option, section.size, m_profile, m_user, m_password));
        }
    }
}

bool DeviceModel::Stalls(const HttpRequest& request) const {
    if (request.path != "/GetSysCfg.cgi")
        return false;
    const auto option = request.Param("Option");
    return option &&
           std::ranges::find(m_profile.stalledSections, *option) != m_profile.stalledSections.end();
}

bool IsSectionName(std::string_view option) {
    return std::ranges::find(kDvrAllOrder, option) != kDvrAllOrder.end() ||
           std::ranges::find(kOtherAllOrder, option) != kOtherAllOrder.end();
}

bool DeviceModel::ServesSection(std::string_view option) const {
    const auto in = [&](const auto& order) {
        return std::find(order.begin(), order.end(), option) != order.end();
    };
    return m_dvrFamily ? in(kDvrAllOrder) : in(kOtherAllOrder);
}

bool DeviceModel::Handles(std::string_view path) {
    return path == "/Login.cgi" || path == "/Getdeviceinfo.cgi" || path == "/GetSysCfg.cgi" ||
           path == "/SetSysCfg.cgi" || path == "/Reboot.cgi" || path == "/Setresolution.cgi" ||
           path == "/Setquality.cgi" || path == "/SetChannel.cgi" ||
           DialogCommands::Handles(path) || TimeCommands::Handles(path) ||
           DvrSettingCommands::Handles(path) || ControlCommands::Handles(path);
}

std::optional<Response> DeviceModel::Answer(const HttpRequest& request) {
    struct Route {
        std::string_view path;
        Response (DeviceModel::*answer)(const HttpRequest&);
        bool needsSession;
    };
    static constexpr std::array<Route, 8> kRoutes{{
        {"/Login.cgi", &DeviceModel::Login, false},
        {"/Getdeviceinfo.cgi", &DeviceModel::DeviceInfo, true},
        {"/GetSysCfg.cgi", &DeviceModel::GetSysCfg, true},
        {"/SetSysCfg.cgi", &DeviceModel::SetSysCfg, true},
        {"/Reboot.cgi", &DeviceModel::Reboot, true},
        {"/Setresolution.cgi", &DeviceModel::SetResolution, true},
        {"/Setquality.cgi", &DeviceModel::SetQuality, true},
        {"/SetChannel.cgi", &DeviceModel::SetChannel, true},
    }};
    for (const auto& route : kRoutes) {
        if (route.path != request.path) {
            continue;
        }
        if (route.needsSession && !IsSessionValid(request.Param("Cookie").value_or(""))) {
            Log("refused " + std::string(route.path) + ": no valid session");
            return Unauthorized();
        }
        return (this->*route.answer)(request);
    }
    return AnswerDialogCommand(request);
}

std::optional<Response> DeviceModel::AnswerDialogCommand(const HttpRequest& request) {
    const std::string_view path = request.path;
    const bool known = DialogCommands::Handles(path) || TimeCommands::Handles(path) ||
                       DvrSettingCommands::Handles(path) || ControlCommands::Handles(path);
    if (!known) {
        return std::nullopt;
    }
    if (!IsSessionValid(request.Param("Cookie").value_or(""))) {
        Log("refused " + request.path + ": no valid session");
        return Unauthorized();
    }
    if (TimeCommands::Handles(path)) {
        return m_timeCommands.Answer(request);
    }
    if (DvrSettingCommands::Handles(path)) {
        return m_dvrSettings.Answer(request);
    }
    if (ControlCommands::Handles(path)) {
        return m_controlCommands.Answer(request);
    }
    return m_dialogCommands.Answer(request);
}

void DeviceModel::SetLogger(std::function<void(std::string_view)> logger) {
    m_dialogCommands.SetLogger(logger);
    m_timeCommands.SetLogger(logger);
    m_dvrSettings.SetLogger(logger);
    m_firmware.SetLogger(logger);
    m_controlCommands.SetLogger(logger);
    std::lock_guard lock(m_mutex);
    m_logger = std::move(logger);
}

void DeviceModel::Log(std::string_view text) const {
    std::function<void(std::string_view)> logger;
    {
        std::lock_guard lock(m_mutex);
        logger = m_logger;
    }
    if (logger) {
        logger(text);
    }
}

Response DeviceModel::Login(const HttpRequest& request) {
    const auto user = request.Param("Username");
    const auto password = request.Param("Password");
    if (!user || !password || *user != m_user || *password != m_password) {
        Log("login refused for user \"" + Bounded(user.value_or("")) + "\"");
        return Unauthorized();
    }
    Session session;
    {
        std::lock_guard lock(m_mutex);
        std::array<char, 17> id{};
        std::snprintf(id.data(), id.size(), "%016llX", static_cast<unsigned long long>(m_random()));
        session.id = id.data();
        session.user = m_user;
        session.address = PeerAddress(request.peer);
        m_sessions.push_back(session);
        if (m_sessions.size() > kMaxSessions) {
            m_sessions.pop_front();
        }
    }
    Log("login of \"" + m_user + "\" from " + IpText(session.address) + ", session " + session.id);
    return Response{200, "OK", "text/plain",
                    "Session-ID=" + session.id + ";Firmware-Version=" + m_profile.firmwareVersion +
                        ";Product-ID=" + m_profile.productId + ";MAC-Address=" +
                        m_profile.macAddress + ";Host-Name=" + m_profile.hostName + ";"};
}

Response DeviceModel::DeviceInfo(const HttpRequest& request) {
    {
        // A channel the device does not have gets its first one.
        const ChannelRange channels = ChannelRangeOf(m_profile);
        const int channel = ParamInt(request, "CH");
        std::lock_guard lock(m_mutex);
        m_stream = StreamSettings{ParamInt(request, "RES"), ParamInt(request, "QUA"),
                                  channels.Holds(channel) ? channel : channels.first,
                                  ParamInt(request, "NEWHR") == 1};
    }
    const auto& p = m_profile;
    std::string body = "LIFETIME=" + std::to_string(ReportedLifetimeMinutes(p)) +
                       ";MULTICH=" + std::to_string(p.multiChannel) + ";";
    body += "MASTERNUM=" + std::to_string(p.masters.size()) + ";";
    for (const auto& master : p.masters) {
        body += "MID=" + std::to_string(master.id) + ";MTYPE=" + std::to_string(master.type) + ";";
    }
    body += "VIDEOMODE=" + std::to_string(p.videoMode) +
            ";USERLEVEL=" + std::to_string(p.userLevel) + ";Boot-Version=" + p.bootVersion +
            ";2041-Version=" + p.version2041 + ";FPGA-Version=" + p.fpgaVersion + ";";
    body += "SLAVENUM=" + std::to_string(p.slaves.size()) + ";";
    for (const auto& slave : p.slaves) {
        body += "SID=" + std::to_string(slave.id) + ";STYPE=" + std::to_string(slave.type) +
                ";SPROTOCOL=" + std::to_string(slave.protocol) + ";";
    }
    return Response{200, "OK", "text/plain", std::move(body)};
}

Response DeviceModel::GetSysCfg(const HttpRequest& request) {
    const auto option = request.Param("Option").value_or("");
    std::lock_guard lock(m_mutex);
    if (option == "ALL") {
        return Binary(AllSectionsLocked());
    }
    if (option == "ONLINE") {
        return Binary(OnlineSectionLocked());
    }
    const auto found = m_sections.find(option);
    if (found == m_sections.end() || !ServesSection(option)) {
        return Refused(400, "Bad Request");
    }
    return Binary(found->second);
}

Response DeviceModel::SetSysCfg(const HttpRequest& request) {
    const std::string option(request.Param("Option").value_or(""));
    const bool refused =
        std::ranges::find(m_profile.refusedSections, option) != m_profile.refusedSections.end();
    const bool stored = !refused && ServesSection(option) && SetSection(option, request.body);
    {
        std::lock_guard lock(m_mutex);
        m_received.push_back(ReceivedSection{Bounded(option), request.body, stored});
    }
    if (!stored) {
        Log("refused to store section \"" + Bounded(option) + "\" of " +
            std::to_string(request.body.size()) + " bytes: " + HexBytes(request.body));
        return Refused(400, "Bad Request");
    }
    Log("stored section " + option + " (" + std::to_string(request.body.size()) +
        " bytes): " + HexBytes(request.body));
    return Response{};
}

Response DeviceModel::Reboot(const HttpRequest&) {
    {
        std::lock_guard lock(m_mutex);
        ++m_reboots;
    }
    Log("reboot requested");
    return Response{};
}

// The stream settings the live view changes while it runs: resolution 0 to
// 2 (full, half and, for a Q9C0, quarter size), quality 0..2, and the
// channel among those the device has (ChannelRangeOf).
Response DeviceModel::SetResolution(const HttpRequest& request) {
    const int value = ParamInt(request, "RES");
    if (value < 0 || value > 2)
        return Refused(400, "Bad Request");
    {
        std::lock_guard lock(m_mutex);
        m_stream.resolution = value;
    }
    Log("resolution " + std::to_string(value));
    return Response{};
}

Response DeviceModel::SetQuality(const HttpRequest& request) {
    const int value = ParamInt(request, "QUA");
    if (value < 0 || value > 2)
        return Refused(400, "Bad Request");
    std::lock_guard lock(m_mutex);
    m_stream.quality = value;
    return Response{};
}

Response DeviceModel::SetChannel(const HttpRequest& request) {
    const auto text = request.Param("CH");
    const auto value = text ? ParseDecimal(*text) : std::nullopt;
    const ChannelRange channels = ChannelRangeOf(m_profile);
    if (!value || *value > 16 || !channels.Holds(static_cast<int>(*value))) {
        Log("refused channel \"" + Bounded(text.value_or("")) + "\"");
        return Refused(400, "Bad Request");
    }
    {
        std::lock_guard lock(m_mutex);
        m_stream.channel = static_cast<int>(*value);
    }
    Log("streaming channel " + std::to_string(*value));
    return Response{};
}

bool DeviceModel::HasEndedLocked(const Session& session) const {
    const auto endAfter = SessionEndAfter(m_profile);
    return endAfter && session.streamStarted && m_now() - *session.streamStarted >= *endAfter;
}

bool DeviceModel::HasSessionLocked(std::string_view cookie) const {
    return !cookie.empty() &&
           std::any_of(m_sessions.begin(), m_sessions.end(),
                       [&](const Session& s) { return s.id == cookie && !HasEndedLocked(s); });
}

bool DeviceModel::IsSessionValid(std::string_view cookie) const {
    bool valid = false;
    bool endedNow = false;
    {
        std::lock_guard lock(m_mutex);
        for (const Session& session : m_sessions) {
            if (cookie.empty() || session.id != cookie)
                continue;
            valid = !HasEndedLocked(session);
            if (!valid && !session.endLogged) {
                session.endLogged = true;
                endedNow = true;
            }
            break;
        }
    }
    if (endedNow)
        Log("session " + std::string(cookie) + " ended: its lifetime is up");
    return valid;
}

bool DeviceModel::StartSessionStream(std::string_view cookie) {
    if (!IsSessionValid(cookie))
        return false;
    std::lock_guard lock(m_mutex);
    for (Session& session : m_sessions) {
        if (session.id == cookie && !session.streamStarted)
            session.streamStarted = m_now();
    }
    return true;
}

void DeviceModel::SetClock(Clock now) {
    std::lock_guard lock(m_mutex);
    m_now = std::move(now);
}

std::vector<std::string> DeviceModel::SessionIds() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> ids;
    for (const auto& session : m_sessions) {
        ids.push_back(session.id);
    }
    return ids;
}

// One 24-byte record per session: user name, address, level, and the
// channel, resolution and quality last asked for.
std::string DeviceModel::OnlineSectionLocked() const {
    // Sessions whose lifetime is up are no longer online.
    const auto online = static_cast<std::size_t>(
        std::count_if(m_sessions.begin(), m_sessions.end(),
                      [&](const Session& s) { return !HasEndedLocked(s); }));
    std::string bytes(online * kOnlineRecordSize, '\0');
    SectionWriter w(bytes);
    std::size_t offset = 0;
    for (const auto& session : m_sessions) {
        if (HasEndedLocked(session))
            continue;
        w.Text(offset, 16, session.user);
        w.U8(offset + 16, session.address >> 24);
        w.U8(offset + 17, (session.address >> 16) & 0xFF);
        w.U8(offset + 18, (session.address >> 8) & 0xFF);
        w.U8(offset + 19, session.address & 0xFF);
        w.U8(offset + 20, static_cast<unsigned>(m_profile.userLevel));
        w.U8(offset + 21, static_cast<unsigned>(m_stream.channel));
        w.U8(offset + 22, static_cast<unsigned>(m_stream.resolution));
        w.U8(offset + 23, static_cast<unsigned>(m_stream.quality));
        offset += kOnlineRecordSize;
    }
    return bytes;
}

std::string DeviceModel::AllSectionsLocked() const {
    std::string all;
    const auto append = [&](auto order) {
        for (const auto option : order) {
            all += option == "ONLINE" ? OnlineSectionLocked() : m_sections.find(option)->second;
        }
    };
    if (m_dvrFamily) {
        append(kDvrAllOrder);
    } else {
        append(kOtherAllOrder);
    }
    return all;
}

std::optional<std::string> DeviceModel::Section(std::string_view option) const {
    std::lock_guard lock(m_mutex);
    if (option == "ONLINE") {
        return OnlineSectionLocked();
    }
    if (option == "ALL") {
        return AllSectionsLocked();
    }
    const auto found = m_sections.find(option);
    if (found == m_sections.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<std::size_t> DeviceModel::SectionSize(std::string_view option) const {
    std::lock_guard lock(m_mutex);
    if (option == "ONLINE") {
        return SpecSize(option);
    }
    const auto found = m_sections.find(option);
    if (found == m_sections.end()) {
        return std::nullopt;
    }
    return found->second.size();
}

bool DeviceModel::SetSection(std::string_view option, std::string_view bytes) {
    if (std::find(kReadOnlySections.begin(), kReadOnlySections.end(), option) !=
        kReadOnlySections.end()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    const auto found = m_sections.find(option);
    if (found == m_sections.end() || found->second.size() != bytes.size()) {
        return false;
    }
    found->second.assign(bytes);
    return true;
}

std::vector<DeviceModel::ReceivedSection> DeviceModel::ReceivedSections() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

StreamSettings DeviceModel::LastStreamSettings() const {
    std::lock_guard lock(m_mutex);
    return m_stream;
}

int DeviceModel::RebootCount() const {
    std::lock_guard lock(m_mutex);
    return m_reboots;
}

bool IsRecorder(std::string_view productId) {
    return std::find(kDvrFamily.begin(), kDvrFamily.end(), productId) != kDvrFamily.end();
}

int RecorderChannelCount(std::string_view productId) {
    return productId == "Q8A7" ? 16 : productId == "Q8A5" ? 8 : productId == "Q8A3" ? 4 : 0;
}

ChannelRange ChannelRangeOf(const DeviceProfile& profile) {
    if (IsRecorder(profile.productId))
        return {0, profile.multiChannel != 0 ? RecorderChannelCount(profile.productId) : 0};
    if (profile.productId == "Q3A2")
        return {1, 2};
    return {2, 2};
}

int ReportedLifetimeMinutes(const DeviceProfile& profile) {
    return profile.lifetimeSeconds < 0 ? -1 : profile.lifetimeSeconds / 60;
}

std::optional<std::chrono::seconds> SessionEndAfter(const DeviceProfile& profile) {
    if (profile.lifetimeSeconds < 0)
        return std::nullopt;
    // The client stops its stream once the reported minutes have passed
    // since its stream began (2 s for a lifetime under a minute); the grace
    // covers the moments between its count's start and the stream's.
    constexpr std::int64_t kGrace = 5;
    const std::int64_t counted = std::max<std::int64_t>(ReportedLifetimeMinutes(profile) * 60, 2);
    return std::chrono::seconds(std::max<std::int64_t>(profile.lifetimeSeconds, counted + kGrace));
}

std::optional<DeviceProfile> ProfileForProduct(std::string_view productId) {
    // One row per product id: the family's own entry first (its type picks
    // the client's skin family), then what is linked to it.
    struct Row {
        std::string_view id;
        std::string_view hostName;
        std::vector<LinkedDevice> masters;
        std::vector<LinkedDevice> slaves;
    };
    const Row rows[] = {
        {"Q8A7", "Q8A7-DVR", {{0, 24, 0}}, {{1, 1, 0}}},       // 16CH NETWORK DVR, a PTZ camera
        {"Q8A5", "Q8A5-DVR", {{0, 20, 0}}, {{1, 1, 0}}},       // 8CH NETWORK DMR
        {"Q8A3", "Q8A3-DVR", {{0, 21, 0}}, {{1, 1, 1}}},       // 4CH NETWORK DMR, a Pelco PTZ
        {"Q3A2", "Q3A2-SERVER", {{0, 0, 0}, {1, 12, 0}}, {}},  // camera and a linked 4CH DVR
        {"Q7B7", "Q7B7-CAMERA", {{0, 0, 0}}, {{1, 1, 0}}},     // camera with a PTZ unit
        {"Q7B5", "Q7B5-CAMERA", {{0, 0, 0}}, {{1, 1, 0}}},
        {"Q7B3", "Q7B3-CAMERA", {{0, 0, 0}}, {}},
        {"Q9C0", "Q9C0-CAMERA", {{0, 0, 0}}, {}},
    };
    for (const Row& row : rows) {
        if (row.id != productId)
            continue;
        DeviceProfile profile;
        profile.productId = std::string(row.id);
        profile.hostName = std::string(row.hostName);
        profile.masters = row.masters;
        profile.slaves = row.slaves;
        return profile;
    }
    return std::nullopt;
}

}  // namespace devicesim
