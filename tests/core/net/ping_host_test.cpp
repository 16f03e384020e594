// The ping: the Internet checksum, the echo request and the test of a packet
// for its reply, and a real echo to the loopback where the process may open
// an ICMP socket.

#include <gtest/gtest.h>
#include <netinet/in.h>

#include <array>
#include <cstring>
#include <functional>
#include <span>
#include <vector>

#include "core/net/ping_host.h"

namespace {

TEST(InternetChecksum, FollowsRfc1071) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::uint16_t expected;
    };
    const Case cases[] = {
        // The worked example of RFC 1071: the sum is ddf2.
        {"rfc example", {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7}, 0x220D},
        {"empty", {}, 0xFFFF},
        {"odd last byte is the high byte", {0x12}, static_cast<std::uint16_t>(~0x1200)},
        {"carries are folded back", {0xFF, 0xFF, 0x00, 0x01}, 0xFFFE},
        {"all ones", {0xFF, 0xFF}, 0x0000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(InternetChecksum(c.bytes), c.expected);
    }
}

std::array<std::uint8_t, 2> Native16(std::uint16_t value) {
    std::array<std::uint8_t, 2> bytes{};
    std::memcpy(bytes.data(), &value, 2);
    return bytes;
}

TEST(PingRequest, IsTheFortyFiveBytesOfTheEcho) {
    const auto request = BuildPingRequest(0x0102, 0x0304, 0xA1B2C3D4u);
    ASSERT_EQ(request.size(), 45u);
    EXPECT_EQ(request[0], 8);
    EXPECT_EQ(request[1], 0);
    const auto id = Native16(0x0102);
    const auto seq = Native16(0x0304);
    EXPECT_EQ(request[4], id[0]);
    EXPECT_EQ(request[5], id[1]);
    EXPECT_EQ(request[6], seq[0]);
    EXPECT_EQ(request[7], seq[1]);
    EXPECT_EQ(request[8], 0);
    std::uint32_t tick = 0;
    std::memcpy(&tick, &request[9], 4);
    EXPECT_EQ(tick, 0xA1B2C3D4u);
    for (std::size_t i = 13; i < 45; ++i) {
        EXPECT_EQ(request[i], 32 + (i - 13)) << i;
    }
    // The checksum covers the 45 bytes with its own field 0, so the whole
    // request sums to 0 (the inverted sum is 0).
    EXPECT_EQ(InternetChecksum(request), 0);
    auto zeroed = request;
    zeroed[2] = zeroed[3] = 0;
    const std::uint16_t expected = InternetChecksum(zeroed);
    EXPECT_EQ(request[2], expected >> 8);
    EXPECT_EQ(request[3], expected & 0xFF);
}

std::vector<std::uint8_t> ReplyTo(std::span<const std::uint8_t, kPingRequestBytes> request,
                                  bool withIpHeader) {
    std::vector<std::uint8_t> packet;
    if (withIpHeader) {
        packet = {0x45, 0, 0, 65, 0, 0, 0, 0, 64, IPPROTO_ICMP, 0, 0, 127, 0, 0, 1, 127, 0, 0, 1};
    }
    const std::size_t start = packet.size();
    packet.insert(packet.end(), request.begin(), request.end());
    packet[start] = 0;  // echo reply
    return packet;
}

TEST(PingReply, OnlyTheEchoReplyToThisRequestCounts) {
    const auto request = BuildPingRequest(7, 9, 1234);
    struct Case {
        const char* name;
        bool withIpHeader;
        std::function<void(std::vector<std::uint8_t>&, std::size_t icmp)> change;
        bool expected;
    };
    const auto none = [](std::vector<std::uint8_t>&, std::size_t) {};
    const Case cases[] = {
        {"datagram reply", false, none, true},
        {"raw reply", true, none, true},
        {"datagram reply with the identifier the kernel chose", false,
         [](auto& p, std::size_t at) { p[at + 4] ^= 0xFF; }, true},
        {"raw reply to another identifier", true,
         [](auto& p, std::size_t at) { p[at + 4] ^= 0xFF; }, false},
        {"another sequence number", false, [](auto& p, std::size_t at) { p[at + 6] ^= 1; }, false},
        {"our own request seen on the loopback", true, [](auto& p, std::size_t at) { p[at] = 8; },
         false},
        {"destination unreachable", false, [](auto& p, std::size_t at) { p[at] = 3; }, false},
        {"reply with a nonzero code", false, [](auto& p, std::size_t at) { p[at + 1] = 1; }, false},
        {"cut before the sequence number", false, [](auto& p, std::size_t at) { p.resize(at + 7); },
         false},
        {"raw packet cut inside the IP header", true, [](auto& p, std::size_t) { p.resize(12); },
         false},
        {"IP header length beyond the packet", true, [](auto& p, std::size_t) { p[0] = 0x4F; },
         false},
        {"IP header length below 20", true, [](auto& p, std::size_t) { p[0] = 0x44; }, false},
        {"not IPv4", true, [](auto& p, std::size_t) { p[0] = 0x65; }, false},
        {"not ICMP", true, [](auto& p, std::size_t) { p[9] = IPPROTO_UDP; }, false},
        {"empty", false, [](auto& p, std::size_t) { p.clear(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto packet = ReplyTo(request, c.withIpHeader);
        c.change(packet, c.withIpHeader ? 20 : 0);
        EXPECT_EQ(IsPingReply(packet, c.withIpHeader, request), c.expected);
    }
}

TEST(PingHost, NamesThatDoNotResolveGiveZero) {
    for (const char* name : {"", "300.1.1.1", "1.2.3", "no-such-host.invalid"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(PingHost(name), 0);
    }
}

TEST(PingHost, LoopbackAnswers) {
    if (PingSocketKind() == 0) {
        GTEST_SKIP() << "this process may open no ICMP socket";
    }
    EXPECT_EQ(PingHost("127.0.0.1"), 1);
}

}  // namespace
