// The command client's smaller operations: the connection check against a
// real listener on 127.0.0.1, the text helpers, the Internet checksum and the
// echo request and reply of the ping.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/net/cgi_command.h"
#include "tests/support/core/device_command_fixture.h"

namespace command_test {
namespace {

// ---- connection check ------------------------------------------------------------

struct ConnectionCase {
    const char* name;
    std::string server;  // "device": the fake device's address
    bool closedPort;
    int expected;
};

class ConnectionCheck : public DeviceCommandTest {};

TEST_F(ConnectionCheck, AnswersWhetherTheServerTakesAConnection) {
    const std::uint16_t closed = ClosedPort();
    const ConnectionCase cases[] = {
        {"listening device", "127.0.0.1", false, 1},
        {"nothing listens", "127.0.0.1", true, 0},
        {"empty address", "", false, 0},
        {"malformed dotted address", "300.1.1.1", false, 0},
        {"short dotted address", "127.1", false, 0},
        {"unresolvable name", "no-such-host.invalid", false, 0},
    };
    for (const ConnectionCase& c : cases) {
        SCOPED_TRACE(c.name);
        settings().m_strServerName = c.server;
        settings().m_wWebPort = c.closedPort ? closed : device.port();
        EXPECT_EQ(DectectSocketConnection(std::chrono::seconds(5)), c.expected);
        // Nothing is shown and the settings stay as they were.
        EXPECT_TRUE(boxes.sink().Entries().empty());
        EXPECT_EQ(settings().m_strServerName.Get(), c.server);
        EXPECT_TRUE(settings().m_szResolvedHost.empty());
    }
}

TEST_F(ConnectionCheck, ResolvesAHostNameWithoutRewritingTheSettings) {
    settings().m_strServerName = "localhost";
    EXPECT_EQ(DectectSocketConnection(std::chrono::seconds(5)), 1);
    EXPECT_EQ(settings().m_strServerName.Get(), "localhost");
    EXPECT_TRUE(settings().m_szResolvedHost.empty());
}

// ---- ExtractKeyValue ---------------------------------------------------------------

struct ExtractCase {
    const char* name;
    std::string text;
    std::string key;
    char terminator;
    std::size_t capacity;
    int expected;
    std::string value;
};

TEST(ExtractKeyValue, CopiesTheValueUpToTheTerminator) {
    const ExtractCase cases[] = {
        {"plain item", "A=1;LIFETIME=300;B=2;", "LIFETIME=", ';', 256, 16, "300"},
        {"key without its '='", "LIFETIME=300;", "LIFETIME", ';', 256, 12, "=300"},
        {"first match wins", "X=1;X=22;", "X=", ';', 256, 3, "1"},
        {"first character taken even when it is the terminator", "K=;ab;", "K=", ';', 256, 5,
         ";ab"},
        {"other terminator", "name: cam\r\n", "name: ", '\r', 256, 9, "cam"},
        {"key absent", "A=1;", "B=", ';', 256, -1, ""},
        {"nothing after the key", "A=1;K=", "K=", ';', 256, -1, ""},
        {"no terminator after the value", "K=123", "K=", ';', 256, -1, ""},
        {"text ends at its zero byte", std::string("K=1\0;", 5), "K=", ';', 256, -1, ""},
        {"value fills the output exactly", "K=1234;", "K=", ';', 5, 6, "1234"},
        {"value one too long for the output", "K=12345;", "K=", ';', 5, -1, ""},
        {"no output at all", "K=1;", "K=", ';', 0, -1, ""},
    };
    for (const ExtractCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char> output(c.capacity + 1, 'x');  // one guard byte past the capacity
        const int result =
            ExtractKeyValue(c.text, std::span(output).first(c.capacity), c.key, c.terminator);
        EXPECT_EQ(result, c.expected);
        if (c.capacity > 0) {
            EXPECT_EQ(std::string(output.data(), strnlen(output.data(), c.capacity)), c.value);
        }
        EXPECT_EQ(output[c.capacity], 'x');
    }
}

// ---- FindStringInBuffer --------------------------------------------------------------

TEST(FindStringInBuffer, GivesTheFirstOffsetOrZero) {
    struct Case {
        const char* name;
        std::string buffer;
        std::string pattern;
        std::size_t expected;
    };
    const Case cases[] = {
        {"in the middle", "xxabcabc", "abc", 2},
        {"at offset 0 looks like absent", "abcx", "abc", 0},
        {"absent", "xxxxxx", "abc", 0},
        {"ends with the buffer", "xxxabc", "abc", 3},
        {"buffer shorter than the pattern", "ab", "abc", 0},
        {"empty pattern", "abc", "", 0},
        {"zero bytes are data", std::string("\0\0a\0b", 5), std::string("a\0b", 3), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindStringInBuffer(Bytes(c.buffer), Bytes(c.pattern)), c.expected);
    }
}

// ---- MaskOnlineUserText -----------------------------------------------------------------

TEST(MaskOnlineUserText, KeepsTheWordAndZeroesEverythingElse) {
    struct Case {
        const char* name;
        std::string buffer;  // the whole buffer, zero bytes included
        std::string expected;
    };
    const std::string zeros17(17, '\0');
    const Case cases[] = {
        {"word spread over noise", std::string("o\0nXline-user-num\0\0", 20),
         std::string("o0n0line-user-num\0\0", 20)},
        {"empty text is zeroed up to the length", zeros17, std::string(17, '0')},
        {"text as long as the label is left alone", std::string("online-user-num:\0", 17),
         std::string("online-user-num:\0", 17)},
        {"buffer no longer than the label is left alone", std::string(16, '\0'),
         std::string(16, '\0')},
        {"walk stops after the last letter", std::string("online-user-num\0\0\0", 18),
         std::string("online-user-num\0\0\0", 18)},
        {"no terminator: the text is the whole buffer", std::string(20, 'z'), std::string(20, 'z')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string buffer = c.buffer;
        MaskOnlineUserText(std::span(buffer.data(), buffer.size()));
        EXPECT_EQ(buffer, c.expected);
    }
}

// ---- checksum and echo ----------------------------------------------------------------------

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
}  // namespace command_test
