#include "core/net/cgi_command.h"

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <limits>
#include <mutex>

#include "core/application/subsystem_services.h"
#include "core/state/app_global_state.h"
#include "platform/message_box.h"

namespace {

constexpr std::string_view kUserAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)";
constexpr std::string_view kAddressWrongText = "IP Address is wrong.";
constexpr std::string_view kConnectTimeoutText = "Create connection is time out";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kContentLength = "content-length";

// The header arrives in reads of at most this many bytes, each waiting up to
// the receive time-out.
constexpr std::size_t kHeaderReadBytes = 1460;

// Serialises the changes of the server address with the login's host-name
// rewrite: the two settings belong together.
std::mutex g_serverAddressLock;

// Set while "IP Address is wrong." has been shown and the server has not been
// found since: a login thread that retries every few seconds shows it once.
std::atomic<bool> g_addressWarningShown{false};

bool IsHeaderSpace(char c) {
    return c == ' ' || c == '\t';
}

bool IsTextSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return Lower(a) == Lower(b); });
}

std::string DottedText(std::uint32_t ip) {
    return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 0xFF) + "." +
           std::to_string((ip >> 8) & 0xFF) + "." + std::to_string(ip & 0xFF);
}

std::string BuildRequest(std::string_view target, std::span<const std::uint8_t> body,
                         std::string_view host) {
    std::string request;
    request.reserve(512 + target.size() + body.size());
    request.append("GET ").append(target).append(" HTTP/1.1\r\n");
    request.append("Accept: */* \r\n");
    request.append("Accept-Language: zh-tw\r\n");
    if (!body.empty()) {
        request.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
    }
    request.append("Accept-Encoding: gzip, deflate\r\n");
    request.append("User-Agent: ").append(kUserAgent).append("\r\n");
    request.append("Host: ").append(host).append("\r\n");
    request.append("Connection: Keep-Alive\r\n\r\n");
    request.append(reinterpret_cast<const char*>(body.data()), body.size());
    return request;
}

// Closes the socket on every way out of the sender.
class SocketCloser {
public:
    explicit SocketCloser(CBlockingSocket& socket) : m_socket(socket) {}
    ~SocketCloser() {
        try {
            m_socket.Close();
        } catch (const CBlockingSocketException&) {
        }
        m_socket.CloseQuietly();
    }
    SocketCloser(const SocketCloser&) = delete;
    SocketCloser& operator=(const SocketCloser&) = delete;

private:
    CBlockingSocket& m_socket;
};

// Digits only, saturating at UINT64_MAX; nullopt without a digit.
std::optional<std::uint64_t> LeadingDigits(std::string_view text, std::size_t& used) {
    std::uint64_t value = 0;
    used = 0;
    while (used < text.size() && text[used] >= '0' && text[used] <= '9') {
        const auto digit = static_cast<std::uint64_t>(text[used] - '0');
        value = value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10
                    ? std::numeric_limits<std::uint64_t>::max()
                    : value * 10 + digit;
        ++used;
    }
    if (used == 0) {
        return std::nullopt;
    }
    return value;
}

// The value of the first header line named `name` (any letter case, white
// space around the colon), without the white space around it; nothing when
// no line has that name. A header whose name only starts alike is skipped.
std::optional<std::string_view> HeaderValue(std::string_view head, std::string_view name) {
    std::size_t lineStart = head.find("\r\n");
    while (lineStart != std::string_view::npos) {
        lineStart += 2;
        const std::size_t lineEnd = head.find("\r\n", lineStart);
        std::string_view line =
            head.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos
                                                                     : lineEnd - lineStart);
        lineStart = lineEnd;
        if (!StartsWithNoCase(line, name)) {
            continue;
        }
        line.remove_prefix(name.size());
        while (!line.empty() && IsHeaderSpace(line.front())) {
            line.remove_prefix(1);
        }
        if (line.empty() || line.front() != ':') {
            continue;  // another header whose name starts alike
        }
        line.remove_prefix(1);
        while (!line.empty() && IsHeaderSpace(line.front())) {
            line.remove_prefix(1);
        }
        while (!line.empty() && IsHeaderSpace(line.back())) {
            line.remove_suffix(1);
        }
        return line;
    }
    return std::nullopt;
}

// Whether the first "Connection" header line says "close" (any letter case).
bool AnnouncesClose(std::string_view head) {
    const auto value = HeaderValue(head, "Connection");
    return value && value->size() == 5 && StartsWithNoCase(*value, "close");
}

// The status code of the status line: the three digits after its first
// space, followed by a space and the reason phrase or by the end of the line
// (the phrase may be left out: "HTTP/1.1 200"). nullopt for any other line.
std::optional<std::uint32_t> ReadStatus(std::string_view head) {
    constexpr std::size_t kCodeDigits = 3;
    const std::string_view line = head.substr(0, head.find("\r\n"));
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view rest = line.substr(first + 1);
    if (rest.size() > kCodeDigits && rest[kCodeDigits] != ' ') {
        return std::nullopt;
    }
    std::size_t used = 0;
    const auto code = LeadingDigits(rest.substr(0, kCodeDigits), used);
    if (!code || used != kCodeDigits) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*code);
}

// The Content-Length of the header lines (any letter case, white space around
// the colon): 0 when there is none; nullopt when its value is not a plain
// decimal number (a sign, other characters, nothing at all).
std::optional<std::uint64_t> ReadContentLength(std::string_view head) {
    const auto line = HeaderValue(head, kContentLength);
    if (!line) {
        return 0;
    }
    std::size_t used = 0;
    const auto value = LeadingDigits(*line, used);
    if (!value || used != line->size()) {
        return std::nullopt;
    }
    return value;
}

// The network save changed the device's web port or address: the device has
// just answered a command, so the new values take effect from now on.
void ApplyPendingServer(CSettingINI& settings) {
    if (g_bPendingWebPort.exchange(false)) {
        settings.m_wWebPort = g_wPendingWebPort.load();
    }
    if (g_bPendingServerName.exchange(false)) {
        SetServerAddress(g_strPendingServerName.Get());
    }
}

// "IP Address is wrong.", once per streak of commands that cannot find the
// server.
void WarnAddressWrong() {
    if (!g_addressWarningShown.exchange(true)) {
        platform::ShowMessageBox(0, std::string(kAddressWrongText), platform::kMbOk);
    }
}

// Finds the server of the settings. A host name is resolved; a login (command
// 0) by host name then keeps the typed name in m_szResolvedHost and puts the
// dotted address into m_strServerName, so later commands need no lookup.
std::optional<CSocketAddress> FindServer(std::uint8_t commandIndex, CSettingINI& settings,
                                         const std::string& server, std::uint16_t port) {
    if (GetAddressKind(server) == 2) {
        const CSocketAddress address(server, port);
        if (!address.IsValid()) {
            WarnAddressWrong();  // "300.1.1.1", "1.2.3": nothing to send to
            return std::nullopt;
        }
        g_addressWarningShown = false;
        return address;
    }
    CSocketAddress address;
    try {
        address = CBlockingSocket::GetHostByName(server, port);
    } catch (const CBlockingSocketException& e) {
        if (e.GetError() != ECANCELED) {
            WarnAddressWrong();
        }
        return std::nullopt;
    }
    g_addressWarningShown = false;
    if (commandIndex == kCgiLogin) {
        std::lock_guard lock(g_serverAddressLock);
        // Unless someone set another address meanwhile.
        if (settings.m_strServerName == server) {
            settings.m_szResolvedHost = server;
            settings.m_strServerName = DottedText(address.GetHostOrderIp());
        }
    }
    return address;
}

int SendAndReceive(std::uint8_t commandIndex, std::string_view target,
                   std::span<const std::uint8_t> body, CommandStatus* status,
                   std::span<std::uint8_t> reply, std::uint32_t* replyLength,
                   const CommandTimeouts& timeouts, int connectFailureFlag) {
    if (!IsSafeRequestText(target) || g_lpApp == nullptr) {
        return 0;
    }
    CSettingINI& settings = g_lpApp->CSettingINI;
    const std::string server = settings.m_strServerName;
    if (server.empty()) {
        return 0;
    }
    const std::string request = BuildRequest(target, body, g_strHostIP.Get());
    if (request.size() > static_cast<std::size_t>(INT_MAX)) {
        return 0;
    }

    CBlockingSocket socket;
    SocketCloser closer(socket);
    try {
        socket.Create(SOCK_STREAM);
    } catch (const CBlockingSocketException&) {
        return 0;
    }
    const auto address = FindServer(commandIndex, settings, server, settings.m_wWebPort.load());
    if (!address) {
        return 0;
    }
    try {
        socket.Connect(*address, timeouts.connect);
    } catch (const CBlockingSocketException&) {
        if (connectFailureFlag == 1 && commandIndex == kCgiLogin) {
            LiveView().SetStatusText(std::string(kConnectTimeoutText));
        }
        return 0;
    }
    try {
        socket.WriteWithSelect(request.data(), static_cast<int>(request.size()), timeouts.send);
    } catch (const CBlockingSocketException&) {
        return 0;
    }
    if (status != nullptr) {
        status->first = kCommandRequestSent;
    }
    if (commandIndex == kCgiReboot) {
        return 1;  // the device restarts; no reply is read
    }

    // The header, up to the blank line, must end within the receive buffer.
    std::array<std::uint8_t, kCommandReceiveBufferBytes> received;
    const auto text = [&received](std::size_t count) {
        return std::string_view(reinterpret_cast<const char*>(received.data()), count);
    };
    // One deadline for the whole reply: a device that trickles its header or
    // its body, each byte within the receive time-out, is still cut off.
    const auto replyDeadline = std::chrono::steady_clock::now() + timeouts.ReplyBudget();
    const auto timeLeft = [&replyDeadline] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            replyDeadline - std::chrono::steady_clock::now());
    };
    std::size_t held = 0;
    std::size_t headerEnd = std::string_view::npos;
    while (headerEnd == std::string_view::npos) {
        if (held == received.size()) {
            return 0;
        }
        const auto left = timeLeft();
        if (left <= std::chrono::milliseconds::zero()) {
            return 0;
        }
        const int capacity = static_cast<int>(std::min(kHeaderReadBytes, received.size() - held));
        const int got =
            socket.Receive(received.data() + held, capacity, std::min(timeouts.receive, left));
        if (got <= 0) {
            return 0;
        }
        const std::size_t searchFrom = held >= 3 ? held - 3 : 0;
        held += static_cast<std::size_t>(got);
        const std::size_t found = text(held).find(kHeaderEnd, searchFrom);
        if (found != std::string_view::npos) {
            headerEnd = found + kHeaderEnd.size();
        }
    }
    const std::string_view head = text(headerEnd - 2);  // lines with their CR LF

    const auto code = ReadStatus(head);
    if (!code) {
        return 0;
    }
    if (*code != 200) {
        if (status != nullptr) {
            status->status = *code;
        }
        return 0;
    }
    ApplyPendingServer(settings);

    const auto length = ReadContentLength(head);
    if (!length || *length > received.size()) {
        return 0;
    }
    if (replyLength != nullptr && *length > reply.size()) {
        return 0;
    }
    // A device that said it closes is let close first: what is left of the
    // reply is read and dropped until its close, within the bound.
    const auto awaitPeerClose = [&] {
        if (timeouts.peerClose <= std::chrono::milliseconds::zero() || !AnnouncesClose(head)) {
            return;
        }
        const auto until = std::chrono::steady_clock::now() + timeouts.peerClose;
        std::array<std::uint8_t, 1024> scratch;
        for (std::size_t dropped = 0; dropped < kCommandReceiveBufferBytes;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left <= std::chrono::milliseconds::zero()) {
                return;
            }
            const int got = socket.Receive(scratch.data(), static_cast<int>(scratch.size()), left);
            if (got <= 0) {
                return;  // closed (or reset, or the bound ran out)
            }
            dropped += static_cast<std::size_t>(got);
        }
    };
    if (*length == 0 || replyLength == nullptr) {
        awaitPeerClose();
        return 1;
    }

    // The body: what came with the header, then reads of what is missing.
    const std::size_t bodyLength = static_cast<std::size_t>(*length);
    const std::size_t early = std::min(held - headerEnd, bodyLength);
    std::memmove(received.data(), received.data() + headerEnd, early);
    held = early;
    while (held < bodyLength) {
        const auto left = timeLeft();
        if (left <= std::chrono::milliseconds::zero()) {
            return 0;
        }
        const int got = socket.Receive(received.data() + held, static_cast<int>(bodyLength - held),
                                       std::min(timeouts.receive, left));
        if (got <= 0) {
            return 0;
        }
        held += static_cast<std::size_t>(got);
    }
    std::memcpy(reply.data(), received.data(), bodyLength);
    *replyLength = static_cast<std::uint32_t>(bodyLength);
    awaitPeerClose();
    return 1;
}

}  // namespace

std::string_view CgiCommandPath(std::uint8_t commandIndex) {
    return kCgiCommandTable.at(commandIndex).path;
}

CCgiUrl::CCgiUrl(std::uint8_t commandIndex)
    : m_strUrl(CgiCommandPath(commandIndex)), m_byCommandIndex(commandIndex) {}

int CCgiUrl::AddParam(std::string_view name, std::string_view value) {
    m_strUrl.append(m_wParamCount == 0 ? "?" : "&").append(name).append("=").append(value);
    ++m_wParamCount;
    if (!IsSafeRequestText(name) || !IsSafeRequestText(value)) {
        m_bRefused = true;
        return 0;
    }
    return 1;
}

int CCgiUrl::AddParamInt(std::string_view name, std::int32_t value) {
    return AddParam(name, std::to_string(value));
}

int CCgiUrl::AddSessionCookie(std::string_view cookie) {
    return cookie.empty() ? 1 : AddParam("Cookie", cookie);
}

int CCgiUrl::ResetPath() {
    m_strUrl = std::string(CgiCommandPath(m_byCommandIndex));
    m_wParamCount = 0;
    m_bRefused = false;
    return 1;
}

bool IsSafeRequestText(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string BuildKeepAliveGet(std::string_view target, std::string_view hostIp) {
    if (!IsSafeRequestText(target) || !IsSafeRequestText(hostIp)) {
        return {};
    }
    std::string request = "GET ";
    request += target;
    request +=
        " HTTP/1.1\r\nAccept: */* \r\nAccept-Language: zh-tw/r/nAccept-Encoding: gzip, "
        "deflate\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR "
        "1.1.4322)\r\n";
    request += "Host: ";
    request += hostIp;
    request += "\r\nConnection: Keep-Alive\r\n\r\n";
    return request;
}

int TirelSendCommand(std::uint8_t commandIndex, std::string_view target,
                     std::span<const std::uint8_t> body, CommandStatus* status,
                     std::span<std::uint8_t> reply, std::uint32_t* replyLength,
                     std::uint16_t sendSeconds, std::uint16_t receiveSeconds,
                     int connectFailureFlag) {
    return TirelSendCommand(commandIndex, target, body, status, reply, replyLength,
                            CommandTimeouts::Seconds(sendSeconds, receiveSeconds),
                            connectFailureFlag);
}

int TirelSendCommand(std::uint8_t commandIndex, std::string_view target,
                     std::span<const std::uint8_t> body, CommandStatus* status,
                     std::span<std::uint8_t> reply, std::uint32_t* replyLength,
                     const CommandTimeouts& timeouts, int connectFailureFlag) {
    if (replyLength != nullptr) {
        *replyLength = 0;
    }
    return SendAndReceive(commandIndex, target, body, status, reply, replyLength, timeouts,
                          connectFailureFlag);
}

int GetAddressKind(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == '.' || (c >= '0' && c <= '9'); })
               ? 2
               : 1;
}

void SetServerAddress(std::string address) {
    if (g_lpApp == nullptr) {
        return;
    }
    std::lock_guard lock(g_serverAddressLock);
    g_lpApp->CSettingINI.m_strServerName = std::move(address);
    g_lpApp->CSettingINI.m_szResolvedHost = std::string();
}

// ---- reply text items ---------------------------------------------------------

int ParseSaturatingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsTextSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t kMax = std::numeric_limits<int>::max();
    constexpr std::int64_t kMagnitudeLimit = kMax + 1;  // |INT_MIN|
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min(kMagnitudeLimit, magnitude * 10 + (text[i] - '0'));
    }
    return static_cast<int>(negative ? -magnitude : std::min(magnitude, kMax));
}

ReplyItems::ReplyItems(std::string_view body) : m_text(body.substr(0, body.find('\0'))) {}

ReplyItems::ReplyItems(std::span<const std::uint8_t> body)
    : ReplyItems(std::string_view(reinterpret_cast<const char*>(body.data()), body.size())) {}

std::optional<ReplyItems::Match> ReplyItems::Locate(std::string_view key, std::size_t from) const {
    if (key.ends_with('=')) {
        key.remove_suffix(1);
    }
    if (key.empty()) {
        return std::nullopt;
    }
    for (std::size_t pos = m_text.find(key, from); pos != std::string_view::npos;
         pos = m_text.find(key, pos + 1)) {
        const std::size_t equals = pos + key.size();
        if (equals >= m_text.size() || m_text[equals] != '=') {
            continue;
        }
        std::size_t before = pos;
        while (before > 0 && IsTextSpace(m_text[before - 1])) {
            --before;
        }
        if (before != 0 && m_text[before - 1] != ';') {
            continue;
        }
        const std::size_t valueBegin = equals + 1;
        const std::size_t valueEnd = std::min(m_text.find(';', valueBegin), m_text.size());
        return Match{valueBegin, valueEnd};
    }
    return std::nullopt;
}

std::string ReplyItems::Bounded(std::string_view value) {
    return std::string(value.substr(0, kValueCapacity - 1));
}

std::optional<std::string_view> ReplyItems::Raw(std::string_view key) const {
    const auto match = Locate(key, 0);
    if (!match) {
        return std::nullopt;
    }
    return m_text.substr(match->valueBegin, match->valueEnd - match->valueBegin);
}

std::optional<std::string> ReplyItems::Find(std::string_view key) const {
    const auto value = Raw(key);
    if (!value) {
        return std::nullopt;
    }
    return Bounded(*value);
}

std::optional<int> ReplyItems::Number(std::string_view key) const {
    const auto value = Find(key);
    if (!value) {
        return std::nullopt;
    }
    return ParseSaturatingInt(*value);
}

std::optional<std::string> ReplyItems::Find(std::string_view key, std::size_t& position) const {
    if (position > m_text.size()) {
        return std::nullopt;
    }
    const auto match = Locate(key, position);
    if (!match) {
        return std::nullopt;
    }
    position = match->valueEnd;
    return Bounded(m_text.substr(match->valueBegin, match->valueEnd - match->valueBegin));
}

std::optional<int> ReplyItems::Number(std::string_view key, std::size_t& position) const {
    const auto value = Find(key, position);
    if (!value) {
        return std::nullopt;
    }
    return ParseSaturatingInt(*value);
}

// ---- connection check, text helpers and echo ---------------------------------

int DectectSocketConnection(std::chrono::milliseconds connectTimeout) {
    if (g_lpApp == nullptr) {
        return 0;
    }
    CSettingINI& settings = g_lpApp->CSettingINI;
    const std::string server = settings.m_strServerName;
    const std::uint16_t port = settings.m_wWebPort.load();
    CBlockingSocket socket;
    SocketCloser closer(socket);
    try {
        socket.Create(SOCK_STREAM);
    } catch (const CBlockingSocketException&) {
        return 0;
    }
    if (server.empty()) {
        return 0;
    }
    CSocketAddress address;
    if (GetAddressKind(server) == 2) {
        address = CSocketAddress(server, port);  // malformed dotted text fails to connect
    } else {
        try {
            address = CBlockingSocket::GetHostByName(server, port);
        } catch (const CBlockingSocketException&) {
            return 0;
        }
    }
    try {
        socket.Connect(address, connectTimeout);
    } catch (const CBlockingSocketException&) {
        return 0;
    }
    return 1;
}

int ExtractKeyValue(std::string_view text, std::span<char> output, std::string_view key,
                    char terminator) {
    text = text.substr(0, text.find('\0'));
    if (!output.empty()) {
        output[0] = '\0';
    }
    const std::size_t found = text.find(key);
    if (found == std::string_view::npos) {
        return -1;
    }
    // The first character after the key is taken whatever it is; the value
    // then runs to the next terminator, which must be there.
    const std::size_t first = found + key.size();
    if (first >= text.size()) {
        return -1;
    }
    const std::size_t end = text.find(terminator, first + 1);
    if (end == std::string_view::npos || end - first >= output.size() ||
        end > static_cast<std::size_t>(INT_MAX)) {
        return -1;
    }
    std::copy(text.begin() + static_cast<std::ptrdiff_t>(first),
              text.begin() + static_cast<std::ptrdiff_t>(end), output.begin());
    output[end - first] = '\0';
    return static_cast<int>(end);
}

std::size_t FindStringInBuffer(std::span<const std::uint8_t> buffer,
                               std::span<const std::uint8_t> pattern) {
    if (pattern.empty() || buffer.size() < pattern.size()) {
        return 0;
    }
    const auto found = std::search(buffer.begin(), buffer.end(), pattern.begin(), pattern.end());
    return found == buffer.end() ? 0 : static_cast<std::size_t>(found - buffer.begin());
}

void MaskOnlineUserText(std::span<char> buffer) {
    constexpr std::string_view kWord = "online-user-num";
    constexpr std::size_t kLabelLength = kWord.size() + 1;  // with its ':'
    const std::size_t textLength =
        static_cast<std::size_t>(std::find(buffer.begin(), buffer.end(), '\0') - buffer.begin());
    if (textLength >= kLabelLength || buffer.size() <= kLabelLength) {
        return;
    }
    std::size_t matched = 0;
    for (std::size_t i = 0; i < buffer.size() && matched < kWord.size(); ++i) {
        if (buffer[i] == kWord[matched]) {
            ++matched;
        } else {
            buffer[i] = '0';
        }
    }
}
