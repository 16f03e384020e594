#pragma once

// The ICMP echo of PingHost: the request it sends, the test of a packet for
// its reply, and the Internet checksum both rely on.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// The Internet checksum (RFC 1071) of `bytes`: the ones'-complement sum of
// the 16-bit big-endian words, an odd last byte taken as the high byte of a
// last word, folded and inverted. Returned as a number: written big-endian
// it gives the checksum bytes of a packet.
std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes);

// The ICMP echo request of PingHost: type 8, code 0, the checksum (bytes 2-3,
// big-endian), identifier and sequence number (bytes 4-5 and 6-7, in the
// byte order of the machine), a zero byte, the millisecond tick count (bytes
// 9-12, in the byte order of the machine) and the bytes 32 to 63.
inline constexpr std::size_t kPingRequestBytes = 45;
std::array<std::uint8_t, kPingRequestBytes> BuildPingRequest(std::uint16_t identifier,
                                                             std::uint16_t sequence,
                                                             std::uint32_t tickCount);

// Whether `packet` is the echo reply to `request`: type 0, code 0 and the
// request's sequence number, and with `withIpHeader` (a raw socket delivers
// the IPv4 header in front, and every ICMP packet of the machine) also its
// identifier. A datagram ICMP socket gets only replies to itself, without
// the IP header, and the kernel has set the identifier.
bool IsPingReply(std::span<const std::uint8_t> packet, bool withIpHeader,
                 std::span<const std::uint8_t, kPingRequestBytes> request);

// How long PingHost waits for the reply, and the most it reads of it.
inline constexpr std::chrono::milliseconds kPingReplyWait{1000};
inline constexpr std::size_t kPingReplyBytes = 321;

// Sends one echo request to the first address of `hostName` and waits up to
// kPingReplyWait for its reply: 1 when it came, 0 when the name does not
// resolve, no ICMP socket can be opened, the send fails or no reply came in
// time. Uses a raw ICMP socket where the process may open one, else an
// unprivileged ICMP datagram socket.
int PingHost(std::string_view hostName);

// Which ICMP socket PingHost would open: SOCK_RAW, SOCK_DGRAM, or 0 when the
// process may open neither.
int PingSocketKind();
