#include "core/net/lan_search.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "core/state/app_global_state.h"
#include "platform/message_box.h"
#include "platform/thread.h"
#include "tests/core/lan_fixture.h"
#include "tests/support/recording_message_box.h"

namespace {

using namespace std::chrono_literals;
using lan_test::CountingClock;
using lan_test::FakeLanDevice;
using lan_test::WithByte;

std::string Hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

std::string Hex(std::string_view bytes) {
    return Hex(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::span<const std::uint8_t> AsBytes(std::string_view bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

const DeviceNetworkText kNewSettings{"00:0e:5c:4a:17:b3", "10.0.0.7", "255.255.255.0",
                                     "10.0.0.1",          "8.8.8.8",  8080};

// ------------------------------------------------------------ datagram bytes

TEST(SearchDatagrams, SearchRequestBytes) {
    const auto bytes = BuildSearchRequest("192.168.1.20", 3333).Encode();
    EXPECT_EQ(Hex(bytes),
              "4b525f53454152434800000000000000"  // "KR_SEARCH", NUL-padded to 16
              "01"                                // 16: command 1
              "00"                                // 17: type 0
              "000000000000"                      // 18: MAC
              "00000000000000000000000000000000"  // 24: user name
              "00000000000000000000000000000000"  // 40: password
              "c0a80114"                          // 56: the client's address
              "000000000000000000000000"          // 60: mask, gateway, DNS
              "050d"                              // 72: 3333
              "0000");                            // 74: reserved
}

TEST(SearchDatagrams, SetIpRequestBytes) {
    const auto bytes = BuildDeviceRequest(kSetIpCommand, kNewSettings, "admin", "1234").Encode();
    EXPECT_EQ(Hex(bytes),
              "4b525f5345545f495000000000000000"  // "KR_SET_IP"
              "02"
              "00"
              "000e5c4a17b3"
              "61646d696e0000000000000000000000"  // "admin"
              "31323334000000000000000000000000"  // "1234"
              "0a000007"
              "ffffff00"
              "0a000001"
              "08080808"
              "901f"  // 8080
              "0000");
}

TEST(SearchDatagrams, ResetRequestCarriesItsKeywordAndCommand) {
    const auto bytes = BuildDeviceRequest(kResetCommand, kNewSettings, "admin", "1234").Encode();
    EXPECT_EQ(Hex(std::span(bytes).first(18)),
              "4b525f52455345540000000000000000"
              "03"
              "00");
}

TEST(SearchDatagrams, CredentialsKeepTheirTerminator) {
    const std::string longText(40, 'w');
    const auto bytes = BuildDeviceRequest(kSetIpCommand, kNewSettings, longText, longText).Encode();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[24]), 16),
              std::string(15, 'w') + '\0');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[40]), 16),
              std::string(15, 'w') + '\0');
    EXPECT_EQ(bytes[56], 10);
}

TEST(SearchDatagrams, DecodeTakesExactly76Bytes) {
    const auto bytes = BuildSearchRequest("1.2.3.4", 3333).Encode();
    for (const std::size_t size : {0u, 1u, 75u}) {
        EXPECT_FALSE(SearchDatagram::Decode(std::span(bytes).first(size))) << size;
    }
    std::vector<std::uint8_t> longer(bytes.begin(), bytes.end());
    longer.push_back(0);
    EXPECT_FALSE(SearchDatagram::Decode(longer));
    const auto decoded = SearchDatagram::Decode(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->Encode(), bytes);
}

// ------------------------------------------------------------ entries and checks

TEST(DeviceEntries, FieldsFromAReply) {
    SearchDatagram reply;
    reply.typeOrResult = 85;
    reply.mac = {0x00, 0x0E, 0x5C, 0xAB, 0x01, 0xFF};
    reply.ip = {192, 168, 0, 5};
    reply.mask = {255, 255, 0, 0};
    reply.gateway = {192, 168, 0, 254};
    reply.dns = {1, 1, 1, 1};
    reply.port = 65535;
    const DeviceEntry entry = DeviceEntryFromReply(reply, 4);
    EXPECT_EQ(entry.mac, "00:0e:5c:ab:01:ff");
    EXPECT_EQ(entry.ip, "192.168.0.5");
    EXPECT_EQ(entry.mask, "255.255.0.0");
    EXPECT_EQ(entry.gateway, "192.168.0.254");
    EXPECT_EQ(entry.dns, "1.1.1.1");
    EXPECT_EQ(entry.webPort, 65535u);
    EXPECT_EQ(entry.type, 85);
    EXPECT_EQ(entry.index, 4);
}

TEST(DeviceEntries, TypeNamesAndWhatMayChange) {
    struct TypeCase {
        std::uint8_t reported;
        std::uint8_t stored;
        std::string_view name;
        bool changeable;
    };
    const TypeCase cases[] = {
        {50, 50, "Video Server", true},
        {83, 83, "4CH MPEG4 DVR", true},
        {85, 85, "8CH MPEG4 DVR", true},
        {87, 87, "16CH MPEG4 DVR", true},
        {113, 113, "4CH NETWORK DVR", false},
        {115, 115, "4CH NETWORK DVR", false},
        {118, 118, "9CH NETWORK DMR", false},
        {119, 119, "16CH NETWORK DMR", false},
        {132, 132, "4CH NETWORK MPEG2 DVR", false},
        // An unknown type is listed, and may be changed, as a video server.
        {200, 50, "Video Server", true},
        {0, 50, "Video Server", true},
    };
    for (const TypeCase& c : cases) {
        SearchDatagram reply;
        reply.typeOrResult = c.reported;
        const DeviceEntry entry = DeviceEntryFromReply(reply, 0);
        EXPECT_EQ(entry.type, c.stored) << int(c.reported);
        EXPECT_EQ(DeviceTypeName(entry.type), c.name) << int(c.reported);
        EXPECT_EQ(CanChangeNetwork(entry.type), c.changeable) << int(c.reported);
    }
}

TEST(DeviceSettings, CheckedBeforeSending) {
    struct Case {
        DeviceNetworkText settings;
        SettingsCheck expected;
    };
    const auto with = [](auto change) {
        DeviceNetworkText s = kNewSettings;
        change(s);
        return s;
    };
    const Case cases[] = {
        {kNewSettings, SettingsCheck::kOk},
        {with([](auto& s) { s.ip = "300.1.1.1"; }), SettingsCheck::kBadAddress},
        {with([](auto& s) { s.ip = "10.0.0"; }), SettingsCheck::kBadAddress},
        {with([](auto& s) { s.ip = ""; }), SettingsCheck::kBadAddress},
        {with([](auto& s) { s.ip = "dvr.local"; }), SettingsCheck::kBadAddress},
        {with([](auto& s) { s.mask = "255.255.255.0.0"; }), SettingsCheck::kBadAddress},
        {with([](auto& s) { s.gateway = "10.0.0.-1"; }), SettingsCheck::kBadAddress},
        {with([](auto& s) { s.dns = " 8.8.8.8"; }), SettingsCheck::kBadAddress},
        {with([](auto& s) { s.webPort = 0; }), SettingsCheck::kBadPort},
        {with([](auto& s) { s.webPort = 65536; }), SettingsCheck::kBadPort},
        {with([](auto& s) { s.webPort = 65535; }), SettingsCheck::kOk},
        {with([](auto& s) { s.webPort = 1; }), SettingsCheck::kOk},
        {with([](auto& s) { s.mac = "00:0e:5c:4a:17"; }), SettingsCheck::kBadMac},
        {with([](auto& s) { s.mac = "00:0e:5c:4a:17:bg"; }), SettingsCheck::kBadMac},
        {with([](auto& s) { s.mac = "00-0e-5c-4a-17-b3"; }), SettingsCheck::kBadMac},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckDeviceSettings(c.settings), c.expected)
            << c.settings.ip << " " << c.settings.mask << " " << c.settings.webPort << " "
            << c.settings.mac;
    }
}

TEST(DeviceReplies, OnlyMatchingDatagramsCount) {
    const SearchDatagram request = BuildDeviceRequest(kSetIpCommand, kNewSettings, "a", "b");
    const auto encoded = request.Encode();
    const std::string genuine(reinterpret_cast<const char*>(encoded.data()), encoded.size());
    struct Case {
        const char* name;
        std::string bytes;
        bool counts;
    };
    const Case cases[] = {
        {"genuine", genuine, true},
        {"short", genuine.substr(0, 75), false},
        {"long", genuine + '\0', false},
        {"empty", "", false},
        {"search reply", WithByte(genuine, 16, kSearchCommand), false},
        {"reset reply", WithByte(genuine, 16, kResetCommand), false},
        {"other device", WithByte(genuine, 23, 0xB4), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchReply(request, AsBytes(c.bytes)).has_value(), c.counts) << c.name;
    }
    // A search reply carries the device's own MAC, which the request cannot know.
    const SearchDatagram search = BuildSearchRequest("1.2.3.4", 3333);
    const std::string reply = WithByte(genuine, 16, kSearchCommand);
    EXPECT_TRUE(MatchReply(search, AsBytes(reply)));
}

// ------------------------------------------------------------ against the device

class LanExchange : public ::testing::Test {
protected:
    void SetUp() override { g_strHostIP.Set("127.0.0.1"); }

    // Runs a search to its end and returns what it found.
    std::vector<DeviceEntry> Search(const LanSearchTimings& timings, SearchEnd expectedEnd) {
        std::vector<DeviceEntry> found;
        const SearchEnd end = RunDeviceSearch(device.Endpoints(), timings, "127.0.0.1",
                                              [&](const DeviceEntry& e) { found.push_back(e); });
        EXPECT_EQ(end, expectedEnd);
        return found;
    }

    FakeLanDevice device;
    test_support::ScopedMessageBoxRecorder boxes;
};

TEST_F(LanExchange, SearchRequestReachesTheDeviceByteForByte) {
    CountingClock clock(2);  // stop after one datagram
    platform::ScopedClockSource useClock(clock);
    const auto found = Search({}, SearchEnd::kFinished);
    const auto requests = device.responder.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto expected = BuildSearchRequest("127.0.0.1", 0).Encode();
    EXPECT_EQ(Hex(requests[0]), Hex(expected));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].ip, "192.168.1.77");
    EXPECT_EQ(found[0].mac, "00:0e:5c:4a:17:b3");
    EXPECT_EQ(found[0].webPort, 8080u);
    EXPECT_EQ(found[0].type, 87);
}

TEST_F(LanExchange, SearchPassesOverDatagramsThatAreNotReplies) {
    device.responder.SetScript([](std::string_view, std::string reply) {
        const std::string other = WithByte(reply, 23, 0x01);  // a second device
        return std::vector<std::string>{
            reply.substr(0, 75),                 // short
            reply + "x",                         // too long
            std::string(76, '\xAA'),             // foreign
            WithByte(reply, 16, kSetIpCommand),  // a late set-address reply
            reply,
            other,
        };
    });
    CountingClock clock(1 + 6);
    platform::ScopedClockSource useClock(clock);
    const auto found = Search({}, SearchEnd::kFinished);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].mac, "00:0e:5c:4a:17:b3");
    EXPECT_EQ(found[0].index, 0);
    EXPECT_EQ(found[1].mac, "00:0e:5c:4a:17:01");
    EXPECT_EQ(found[1].index, 1);
}

TEST_F(LanExchange, SearchLengthIsCheckedBeforeEachWait) {
    // Three devices answer, but the search length has passed after the
    // second reply: the third is never read.
    device.responder.SetScript([](std::string_view, std::string reply) {
        return std::vector<std::string>{reply, WithByte(reply, 23, 1), WithByte(reply, 23, 2)};
    });
    CountingClock clock(1 + 2);
    platform::ScopedClockSource useClock(clock);
    EXPECT_EQ(Search({}, SearchEnd::kFinished).size(), 2u);
}

TEST_F(LanExchange, SearchWithoutAnswerEndsAfterOneWait) {
    device.responder.SetScript(
        [](std::string_view, std::string) { return std::vector<std::string>{}; });
    LanSearchTimings timings;
    timings.replyWait = 20ms;
    EXPECT_TRUE(Search(timings, SearchEnd::kFinished).empty());
    EXPECT_TRUE(device.responder.WaitForRequests(1, 10s));
}

class BoundPort {
public:
    BoundPort() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        socklen_t length = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~BoundPort() { ::close(m_fd); }
    std::uint16_t port() const { return m_port; }

private:
    int m_fd;
    std::uint16_t m_port;
};

TEST_F(LanExchange, ReplyPortInUseEndsBeforeAnythingIsSent) {
    BoundPort taken;
    LanSearchEndpoints endpoints = device.Endpoints();
    endpoints.replyPort = taken.port();
    EXPECT_EQ(RunDeviceSearch(endpoints, {}, "127.0.0.1", [](const DeviceEntry&) {}),
              SearchEnd::kBindFailed);
    const SearchDatagram request = BuildDeviceRequest(kSetIpCommand, kNewSettings, "admin", "1234");
    EXPECT_EQ(ExchangeDeviceRequest(request, endpoints, 10s).status, ExchangeStatus::kSocketFailed);
    // Both returned before sending: a datagram sent now is the first one the
    // device sees.
    ASSERT_TRUE(SendBroadCast(BuildSearchRequest("127.0.0.1", 0), device.Endpoints()));
    ASSERT_TRUE(device.responder.WaitForRequests(1, 10s));
    EXPECT_EQ(device.responder.Requests().size(), 1u);
}

TEST_F(LanExchange, StoppingTheSearchThreadEndsItsWait) {
    device.responder.SetScript(
        [](std::string_view, std::string) { return std::vector<std::string>{}; });
    std::atomic<int> end{-1};
    platform::Thread thread;
    const LanSearchEndpoints endpoints = device.Endpoints();
    LanSearchTimings timings;
    timings.replyWait = std::chrono::hours(1);
    ASSERT_TRUE(thread.Start([&] {
        end = static_cast<int>(
            RunDeviceSearch(endpoints, timings, "127.0.0.1", [](const DeviceEntry&) {}));
        return 0u;
    }));
    ASSERT_TRUE(device.responder.WaitForRequests(1, 10s));
    EXPECT_EQ(thread.Stop(10s), platform::StopOutcome::Ended);
    EXPECT_EQ(end.load(), static_cast<int>(SearchEnd::kStopped));
}

TEST_F(LanExchange, FailedSendIsReported) {
    LanSearchEndpoints endpoints = device.Endpoints();
    endpoints.broadcastAddress = "300.1.1.1";
    EXPECT_FALSE(SendBroadCast(BuildSearchRequest("127.0.0.1", 0), endpoints));
    const auto entries = boxes.sink().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, "SendBroadCast is wrong");
}

TEST_F(LanExchange, SetIpRequestReachesTheDeviceAndChangesIt) {
    const SearchDatagram request = BuildDeviceRequest(kSetIpCommand, kNewSettings, "admin", "1234");
    const ExchangeResult result = ExchangeDeviceRequest(request, device.Endpoints(), 10s);
    EXPECT_EQ(result.status, ExchangeStatus::kReply);
    EXPECT_EQ(result.resultCode, kResultDone);
    const auto requests = device.responder.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(Hex(requests[0]), Hex(request.Encode()));
    const auto settings = device.responder.Settings();
    EXPECT_EQ(settings.ip, (std::array<std::uint8_t, 4>{10, 0, 0, 7}));
    EXPECT_EQ(settings.webPort, 8080);
}

TEST_F(LanExchange, DeviceAnswersAreReportedByResultCode) {
    struct Case {
        const char* name;
        std::uint8_t command;
        const char* password;
        bool staticAddress;
        std::uint8_t result;
    };
    const Case cases[] = {
        {"set", kSetIpCommand, "1234", true, kResultDone},
        {"set with wrong password", kSetIpCommand, "4321", true, kResultWrongCredentials},
        {"set on DHCP", kSetIpCommand, "1234", false, kResultNotStatic},
        {"reset", kResetCommand, "1234", false, kResultDone},
        {"reset with wrong password", kResetCommand, "x", true, kResultWrongCredentials},
    };
    for (const Case& c : cases) {
        auto options = FakeLanDevice::DefaultOptions();
        options.settings.staticAddress = c.staticAddress;
        FakeLanDevice one(options);
        const SearchDatagram request =
            BuildDeviceRequest(c.command, kNewSettings, "admin", c.password);
        const ExchangeResult result = ExchangeDeviceRequest(request, one.Endpoints(), 10s);
        EXPECT_EQ(result.status, ExchangeStatus::kReply) << c.name;
        EXPECT_EQ(result.resultCode, c.result) << c.name;
    }
}

TEST_F(LanExchange, ExchangeWaitsPastDatagramsThatAreNotItsReply) {
    device.responder.SetScript([](std::string_view, std::string reply) {
        return std::vector<std::string>{
            WithByte(reply, 16, kSearchCommand),  // a late search reply
            WithByte(reply, 18, 0x02),            // another device's answer
            reply.substr(0, 40),                  // short
            WithByte(reply, 17, 9),               // the reply, result 9
        };
    });
    const SearchDatagram request = BuildDeviceRequest(kSetIpCommand, kNewSettings, "admin", "1234");
    const ExchangeResult result = ExchangeDeviceRequest(request, device.Endpoints(), 10s);
    EXPECT_EQ(result.status, ExchangeStatus::kReply);
    EXPECT_EQ(result.resultCode, 9);
}

TEST_F(LanExchange, LateReplyIsNotCounted) {
    std::mutex lock;
    std::condition_variable heldChanged;
    std::string held;
    device.responder.SetScript([&](std::string_view, std::string reply) {
        {
            std::lock_guard guard(lock);
            held = std::move(reply);
        }
        heldChanged.notify_all();
        return std::vector<std::string>{};
    });
    const SearchDatagram request = BuildDeviceRequest(kSetIpCommand, kNewSettings, "admin", "1234");
    EXPECT_EQ(ExchangeDeviceRequest(request, device.Endpoints(), 20ms).status,
              ExchangeStatus::kTimedOut);
    // The device answers only after the exchange gave up: nobody hears it,
    // and the next exchange gets its own reply.
    std::string late;
    {
        std::unique_lock guard(lock);
        ASSERT_TRUE(heldChanged.wait_for(guard, 10s, [&] { return !held.empty(); }));
        late = WithByte(held, 17, 7);
    }
    ASSERT_TRUE(device.responder.SendToClient(late));
    device.responder.SetScript({});
    const ExchangeResult result = ExchangeDeviceRequest(request, device.Endpoints(), 10s);
    EXPECT_EQ(result.status, ExchangeStatus::kReply);
    EXPECT_EQ(result.resultCode, kResultDone);
}

TEST_F(LanExchange, RequestForAnotherDeviceGetsNoAnswer) {
    DeviceNetworkText other = kNewSettings;
    other.mac = "00:0e:5c:4a:17:b4";
    const SearchDatagram request = BuildDeviceRequest(kSetIpCommand, other, "admin", "1234");
    EXPECT_EQ(ExchangeDeviceRequest(request, device.Endpoints(), 20ms).status,
              ExchangeStatus::kTimedOut);
    ASSERT_TRUE(device.responder.WaitForRequests(1, 10s));
    EXPECT_EQ(device.responder.Settings(), FakeLanDevice::DefaultOptions().settings);
}

}  // namespace
