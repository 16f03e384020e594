#include "core/net/lan_search.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <stop_token>

#include "core/net/blocking_socket.h"
#include "core/net/text_parse.h"
#include "core/state/app_global_state.h"
#include "platform/byte_order.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/poll_wait.h"
#include "platform/stop_token.h"

namespace {

// Field offsets of the datagram.
constexpr std::size_t kKeywordOffset = 0;
constexpr std::size_t kCommandOffset = 16;
constexpr std::size_t kTypeOffset = 17;
constexpr std::size_t kMacOffset = 18;
constexpr std::size_t kUserOffset = 24;
constexpr std::size_t kPasswordOffset = 40;
constexpr std::size_t kIpOffset = 56;
constexpr std::size_t kMaskOffset = 60;
constexpr std::size_t kGatewayOffset = 64;
constexpr std::size_t kDnsOffset = 68;
constexpr std::size_t kPortOffset = 72;
constexpr std::size_t kReservedOffset = 74;

// Room for a datagram one byte longer than the layout, so that a longer
// one is seen as such (Receive also reports the whole length).
constexpr std::size_t kReceiveCapacity = kSearchDatagramBytes + 1;

struct DeviceType {
    std::uint8_t code;
    std::string_view name;
};

constexpr DeviceType kDeviceTypes[] = {
    {50, "Video Server"},           {83, "4CH MPEG4 DVR"},          {85, "8CH MPEG4 DVR"},
    {87, "16CH MPEG4 DVR"},         {113, "4CH NETWORK DVR"},       {114, "4CH NETWORK DVR"},
    {115, "4CH NETWORK DVR"},       {118, "9CH NETWORK DMR"},       {119, "16CH NETWORK DMR"},
    {128, "4CH NETWORK MPEG2 DVR"}, {132, "4CH NETWORK MPEG2 DVR"}, {138, "4CH NETWORK MPEG2 DVR"},
};
constexpr std::uint8_t kUnknownDeviceType = 50;

// The types whose network settings the client may change or reset.
constexpr std::uint8_t kChangeableTypes[] = {50, 83, 85, 87};

constexpr std::string_view kSendFailedText = "SendBroadCast is wrong";

template <std::size_t N>
void CopyText(std::array<char, N>& field, std::string_view text) {
    field.fill('\0');
    const std::size_t length = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), length, field.begin());
}

Ipv4Bytes AddressBytes(std::string_view dotted) {
    Ipv4Bytes bytes{};
    SplitToInts(dotted, bytes, ".");
    return bytes;
}

std::string DottedText(const Ipv4Bytes& bytes) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

std::string MacText(const MacBytes& mac) {
    char text[20];
    std::snprintf(text, sizeof text, "%.2x:%.2x:%.2x:%.2x:%.2x:%.2x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

}  // namespace

// ---------------------------------------------------------------- datagram

std::array<std::uint8_t, kSearchDatagramBytes> SearchDatagram::Encode() const {
    std::array<std::uint8_t, kSearchDatagramBytes> bytes{};
    std::copy(keyword.begin(), keyword.end(), bytes.begin() + kKeywordOffset);
    bytes[kCommandOffset] = command;
    bytes[kTypeOffset] = typeOrResult;
    std::copy(mac.begin(), mac.end(), bytes.begin() + kMacOffset);
    std::copy(userName.begin(), userName.end(), bytes.begin() + kUserOffset);
    std::copy(password.begin(), password.end(), bytes.begin() + kPasswordOffset);
    std::copy(ip.begin(), ip.end(), bytes.begin() + kIpOffset);
    std::copy(mask.begin(), mask.end(), bytes.begin() + kMaskOffset);
    std::copy(gateway.begin(), gateway.end(), bytes.begin() + kGatewayOffset);
    std::copy(dns.begin(), dns.end(), bytes.begin() + kDnsOffset);
    platform::StoreLe16(bytes, kPortOffset, port);
    platform::StoreLe16(bytes, kReservedOffset, reserved);
    return bytes;
}

std::optional<SearchDatagram> SearchDatagram::Decode(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kSearchDatagramBytes) {
        return std::nullopt;
    }
    SearchDatagram d;
    const auto copy = [&bytes](std::size_t offset, auto& field) {
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), field.size(),
                    reinterpret_cast<std::uint8_t*>(field.data()));
    };
    copy(kKeywordOffset, d.keyword);
    d.command = bytes[kCommandOffset];
    d.typeOrResult = bytes[kTypeOffset];
    copy(kMacOffset, d.mac);
    copy(kUserOffset, d.userName);
    copy(kPasswordOffset, d.password);
    copy(kIpOffset, d.ip);
    copy(kMaskOffset, d.mask);
    copy(kGatewayOffset, d.gateway);
    copy(kDnsOffset, d.dns);
    d.port = platform::LoadLe16(bytes, kPortOffset);
    d.reserved = platform::LoadLe16(bytes, kReservedOffset);
    return d;
}

SearchDatagram BuildSearchRequest(std::string_view hostIp, std::uint16_t sendPort) {
    SearchDatagram request;
    CopyText(request.keyword, kSearchKeyword);
    request.command = kSearchCommand;
    if (IsDottedQuad(hostIp)) {
        request.ip = AddressBytes(hostIp);
    }
    request.port = sendPort;
    return request;
}

SearchDatagram BuildDeviceRequest(std::uint8_t command, const DeviceNetworkText& settings,
                                  std::string_view userName, std::string_view password) {
    SearchDatagram request;
    CopyText(request.keyword, command == kResetCommand ? kResetKeyword : kSetIpKeyword);
    request.command = command;
    HexTextToBytes(settings.mac, request.mac, ':');
    CopyText(request.userName, userName);
    CopyText(request.password, password);
    request.ip = AddressBytes(settings.ip);
    request.mask = AddressBytes(settings.mask);
    request.gateway = AddressBytes(settings.gateway);
    request.dns = AddressBytes(settings.dns);
    request.port = static_cast<std::uint16_t>(settings.webPort);
    return request;
}

bool IsDottedQuad(std::string_view text) {
    return CSocketAddress(text, 0).IsValid();
}

bool IsMacText(std::string_view text) {
    constexpr std::size_t kMacTextLength = 17;
    if (text.size() != kMacTextLength) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool ok =
            i % 3 == 2 ? c == ':'
                       : (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!ok) {
            return false;
        }
    }
    return true;
}

SettingsCheck CheckDeviceSettings(const DeviceNetworkText& settings) {
    if (!IsMacText(settings.mac)) {
        return SettingsCheck::kBadMac;
    }
    for (const std::string* address :
         {&settings.ip, &settings.mask, &settings.gateway, &settings.dns}) {
        if (!IsDottedQuad(*address)) {
            return SettingsCheck::kBadAddress;
        }
    }
    if (settings.webPort < 1 || settings.webPort > 65535) {
        return SettingsCheck::kBadPort;
    }
    return SettingsCheck::kOk;
}

DeviceEntry DeviceEntryFromReply(const SearchDatagram& reply, std::int32_t index) {
    DeviceEntry entry;
    entry.macBytes = reply.mac;
    entry.mac = MacText(reply.mac);
    entry.ip = DottedText(reply.ip);
    entry.webPort = reply.port;
    entry.gateway = DottedText(reply.gateway);
    entry.dns = DottedText(reply.dns);
    entry.mask = DottedText(reply.mask);
    const auto known =
        std::find_if(std::begin(kDeviceTypes), std::end(kDeviceTypes),
                     [&](const DeviceType& t) { return t.code == reply.typeOrResult; });
    entry.type = known != std::end(kDeviceTypes) ? reply.typeOrResult : kUnknownDeviceType;
    entry.index = index;
    return entry;
}

std::string_view DeviceTypeName(std::uint8_t type) {
    for (const DeviceType& known : kDeviceTypes) {
        if (known.code == type) {
            return known.name;
        }
    }
    return kDeviceTypes[0].name;
}

bool CanChangeNetwork(std::uint8_t type) {
    return std::find(std::begin(kChangeableTypes), std::end(kChangeableTypes), type) !=
           std::end(kChangeableTypes);
}

// ---------------------------------------------------------------- sending

bool SendBroadCast(const SearchDatagram& datagram, const LanSearchEndpoints& endpoints) {
    const std::string local =
        endpoints.sendAddress.empty() ? g_strHostIP.Get() : endpoints.sendAddress;
    const auto bytes = datagram.Encode();
    CBlockingSocket socket;
    socket.m_saTarget = CSocketAddress(endpoints.broadcastAddress, endpoints.devicePort);
    try {
        socket.Create(SOCK_DGRAM);
        socket.SetSockOpt();
        socket.Bind(CSocketAddress(local, endpoints.sendPort));
        socket.Sendto(bytes.data(), static_cast<int>(bytes.size()));
        socket.Close();
    } catch (const CBlockingSocketException&) {
        socket.CloseQuietly();
        platform::ShowMessageBox(0, std::string(kSendFailedText));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- receiving

SearchReplySocket::~SearchReplySocket() {
    Close();
}

bool SearchReplySocket::Open(std::uint16_t port) {
    Close();
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_wakeFd < 0 || m_fd < 0) {
        Close();
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof address;
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Close();
        return false;
    }
    m_port = ntohs(address.sin_port);
    return true;
}

void SearchReplySocket::Close() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
        m_wakeFd = -1;
    }
    m_port = 0;
}

SearchReplySocket::Wait SearchReplySocket::WaitForDatagram(std::chrono::milliseconds timeout) {
    if (m_fd < 0) {
        return Wait::kFailed;
    }
    // Real time, like every socket wait (see platform/poll_wait.h).
    const std::stop_token token = platform::CurrentStopToken();
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::clamp(timeout, std::chrono::milliseconds::zero(), platform::kLongestTimedWait);
    for (;;) {
        const auto left = std::max(std::chrono::ceil<std::chrono::milliseconds>(
                                       deadline - std::chrono::steady_clock::now()),
                                   std::chrono::milliseconds::zero());
        pollfd socket{m_fd, POLLIN, 0};
        switch (platform::PollWait({&socket, 1}, m_wakeFd, token, left)) {
            case platform::PollWaitResult::Ready:
                return (socket.revents & POLLIN) != 0 ? Wait::kReady : Wait::kFailed;
            case platform::PollWaitResult::Woken:
                platform::DrainEventFd(m_wakeFd);  // only stop requests write it
                continue;
            case platform::PollWaitResult::TimedOut:
                return Wait::kTimedOut;
            case platform::PollWaitResult::Stopped:
                return Wait::kStopped;
            case platform::PollWaitResult::Failed:
                return Wait::kFailed;
        }
    }
}

long SearchReplySocket::Receive(std::span<std::uint8_t> buffer) {
    if (m_fd < 0) {
        return -1;
    }
    for (;;) {
        const ssize_t received =
            ::recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC);
        if (received >= 0) {
            return static_cast<long>(received);
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

std::optional<SearchDatagram> MatchReply(const SearchDatagram& request,
                                         std::span<const std::uint8_t> bytes) {
    auto reply = SearchDatagram::Decode(bytes);
    if (!reply || reply->command != request.command) {
        return std::nullopt;
    }
    if (request.command != kSearchCommand && reply->mac != request.mac) {
        return std::nullopt;
    }
    return reply;
}

// ---------------------------------------------------------------- exchanges

SearchEnd RunDeviceSearch(const LanSearchEndpoints& endpoints, const LanSearchTimings& timings,
                          std::string_view hostIp,
                          const std::function<void(const DeviceEntry&)>& onEntry) {
    // Bound before the request goes out, so that no early reply is lost.
    SearchReplySocket replies;
    if (!replies.Open(endpoints.replyPort)) {
        return SearchEnd::kBindFailed;
    }
    if (endpoints.onReplyPortBound) {
        endpoints.onReplyPortBound(replies.Port());
    }
    const SearchDatagram request = BuildSearchRequest(hostIp, endpoints.sendPort);
    // A failed send has been reported; the waits below then end the search.
    SendBroadCast(request, endpoints);

    const std::uint64_t start = platform::TickCount64();
    const auto budget =
        static_cast<std::uint64_t>(std::max<long long>(timings.searchLength.count(), 0));
    std::int32_t count = 0;
    std::array<std::uint8_t, kReceiveCapacity> buffer{};
    for (;;) {
        if (platform::TickCount64() - start >= budget) {
            return SearchEnd::kFinished;
        }
        switch (replies.WaitForDatagram(timings.replyWait)) {
            case SearchReplySocket::Wait::kReady:
                break;
            case SearchReplySocket::Wait::kStopped:
                return SearchEnd::kStopped;
            case SearchReplySocket::Wait::kTimedOut:
            case SearchReplySocket::Wait::kFailed:
                return SearchEnd::kFinished;
        }
        const long length = replies.Receive(buffer);
        if (length < 0) {
            return SearchEnd::kFinished;
        }
        const auto size = std::min(static_cast<std::size_t>(length), buffer.size());
        if (const auto reply = MatchReply(request, std::span(buffer).first(size))) {
            onEntry(DeviceEntryFromReply(*reply, count++));
        }
    }
}

ExchangeResult ExchangeDeviceRequest(const SearchDatagram& request,
                                     const LanSearchEndpoints& endpoints,
                                     std::chrono::milliseconds timeout) {
    SearchReplySocket replies;
    if (!replies.Open(endpoints.replyPort)) {
        return {ExchangeStatus::kSocketFailed, 0};
    }
    if (endpoints.onReplyPortBound) {
        endpoints.onReplyPortBound(replies.Port());
    }
    SendBroadCast(request, endpoints);

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<std::uint8_t, kReceiveCapacity> buffer{};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        switch (replies.WaitForDatagram(std::max(left, std::chrono::milliseconds::zero()))) {
            case SearchReplySocket::Wait::kReady:
                break;
            case SearchReplySocket::Wait::kTimedOut:
                return {ExchangeStatus::kTimedOut, 0};
            case SearchReplySocket::Wait::kStopped:
                return {ExchangeStatus::kStopped, 0};
            case SearchReplySocket::Wait::kFailed:
                return {ExchangeStatus::kWaitFailed, 0};
        }
        const long length = replies.Receive(buffer);
        if (length < 0) {
            return {ExchangeStatus::kReceiveFailed, 0};
        }
        const auto size = std::min(static_cast<std::size_t>(length), buffer.size());
        if (const auto reply = MatchReply(request, std::span(buffer).first(size))) {
            return {ExchangeStatus::kReply, reply->typeOrResult};
        }
    }
}
