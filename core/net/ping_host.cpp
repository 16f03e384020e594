#include "core/net/ping_host.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "core/net/blocking_socket.h"
#include "platform/clock.h"
#include "platform/posix_io.h"
#include "platform/stop_token.h"

// The sum runs over big-endian words; the ones'-complement sum does not
// depend on the order in which the carries are folded back in, so folding
// twice at the end is enough for any buffer below 128 KiB and folding in
// the loop keeps longer ones exact.
std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes) {
    std::uint64_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        sum += static_cast<std::uint32_t>(bytes[i]) << 8 | bytes[i + 1];
        if (sum > 0xFFFF'FFFFu) {
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
    }
    if (i < bytes.size()) {
        sum += static_cast<std::uint32_t>(bytes[i]) << 8;
    }
    while (sum > 0xFFFF) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

namespace {

void PutNative16(std::uint8_t* out, std::uint16_t value) {
    std::memcpy(out, &value, sizeof value);
}

void PutNative32(std::uint8_t* out, std::uint32_t value) {
    std::memcpy(out, &value, sizeof value);
}

constexpr std::uint8_t kIcmpEchoRequest = 8;
constexpr std::uint8_t kIcmpEchoReply = 0;

// Each request gets the next identifier and the next sequence number.
std::atomic<std::uint16_t> g_wPingIdentifier{1};
std::atomic<std::uint16_t> g_wPingSequence{1};

// An ICMP socket of the kind given, or -1.
int OpenIcmpSocket(int kind) {
    return ::socket(AF_INET, kind | SOCK_CLOEXEC, IPPROTO_ICMP);
}

// Opens the socket PingHost uses and tells which kind it is.
int OpenPingSocket(int& kind) {
    for (const int candidate : {SOCK_RAW, SOCK_DGRAM}) {
        const int fd = OpenIcmpSocket(candidate);
        if (fd >= 0) {
            kind = candidate;
            return fd;
        }
    }
    kind = 0;
    return -1;
}

}  // namespace

std::array<std::uint8_t, kPingRequestBytes> BuildPingRequest(std::uint16_t identifier,
                                                             std::uint16_t sequence,
                                                             std::uint32_t tickCount) {
    std::array<std::uint8_t, kPingRequestBytes> request{};
    request[0] = kIcmpEchoRequest;
    request[1] = 0;
    PutNative16(&request[4], identifier);
    PutNative16(&request[6], sequence);
    request[8] = 0;
    PutNative32(&request[9], tickCount);
    for (std::size_t i = 0; i < 32; ++i) {
        request[13 + i] = static_cast<std::uint8_t>(32 + i);
    }
    const std::uint16_t checksum = InternetChecksum(request);
    request[2] = static_cast<std::uint8_t>(checksum >> 8);
    request[3] = static_cast<std::uint8_t>(checksum & 0xFF);
    return request;
}

bool IsPingReply(std::span<const std::uint8_t> packet, bool withIpHeader,
                 std::span<const std::uint8_t, kPingRequestBytes> request) {
    if (withIpHeader) {
        if (packet.empty() || (packet[0] >> 4) != 4) {
            return false;
        }
        const std::size_t headerBytes = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
        if (headerBytes < 20 || packet.size() < headerBytes || packet[9] != IPPROTO_ICMP) {
            return false;
        }
        packet = packet.subspan(headerBytes);
    }
    if (packet.size() < 8 || packet[0] != kIcmpEchoReply || packet[1] != 0) {
        return false;
    }
    if (packet[6] != request[6] || packet[7] != request[7]) {
        return false;
    }
    return !withIpHeader || (packet[4] == request[4] && packet[5] == request[5]);
}

int PingSocketKind() {
    int kind = 0;
    const platform::UniqueFd icmp(OpenPingSocket(kind));
    return kind;
}

int PingHost(std::string_view hostName) {
    CSocketAddress address;
    try {
        address = CBlockingSocket::GetHostByName(hostName, 0);
    } catch (const CBlockingSocketException&) {
        return 0;
    }
    int kind = 0;
    const platform::UniqueFd icmp(OpenPingSocket(kind));
    if (!icmp) {
        return 0;
    }
    const int fd = icmp.Get();

    const auto request = BuildPingRequest(g_wPingIdentifier.fetch_add(1),
                                          g_wPingSequence.fetch_add(1), platform::TickCount());
    const sockaddr* to = address;
    if (::sendto(fd, request.data(), request.size(), MSG_NOSIGNAL, to, sizeof(sockaddr_in)) !=
        static_cast<ssize_t>(request.size())) {
        return 0;
    }

    // Other ICMP traffic (on a raw socket even our own request, seen on the
    // loopback) is passed over until the reply comes or the time is up. The
    // wait is cut into short slices so that a thread asked to stop is not
    // held for the whole second.
    const auto deadline = std::chrono::steady_clock::now() + kPingReplyWait;
    const std::stop_token stop = platform::CurrentStopToken();
    std::array<std::uint8_t, kPingReplyBytes> reply{};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds::zero() || stop.stop_requested()) {
            return 0;
        }
        pollfd wait{fd, POLLIN, 0};
        const int ready =
            ::poll(&wait, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 50)));
        if (ready < 0 && errno != EINTR) {
            return 0;
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t got = ::recv(fd, reply.data(), reply.size(), MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            return 0;
        }
        if (IsPingReply(std::span(reply).first(static_cast<std::size_t>(got)), kind == SOCK_RAW,
                        request)) {
            return 1;
        }
    }
}
