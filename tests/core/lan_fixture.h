#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/net/lan_search.h"
#include "platform/clock.h"
#include "tools/devicesim/lan_responder.h"

namespace lan_test {

// A simulated device on 127.0.0.1 answering the search datagrams on a port
// the system chose, and endpoints that reach it: loopback has no broadcast,
// so the "broadcast" goes to 127.0.0.1, and the client's ports are
// ephemeral too. The device learns the client's reply port when the client
// has bound it.
class FakeLanDevice {
public:
    static devicesim::LanResponderOptions DefaultOptions() {
        devicesim::LanResponderOptions options;
        options.replyPort = 0;
        options.user = "admin";
        options.password = "1234";
        options.settings.ip = {192, 168, 1, 77};
        options.settings.mask = {255, 255, 255, 0};
        options.settings.gateway = {192, 168, 1, 1};
        options.settings.dns = {168, 95, 1, 1};
        options.settings.webPort = 8080;
        return options;
    }

    explicit FakeLanDevice(devicesim::LanResponderOptions options = DefaultOptions())
        : responder(std::move(options)) {}

    LanSearchEndpoints Endpoints() {
        LanSearchEndpoints endpoints;
        endpoints.broadcastAddress = "127.0.0.1";
        endpoints.devicePort = responder.searchPort();
        endpoints.sendPort = 0;
        endpoints.replyPort = 0;
        endpoints.sendAddress = "127.0.0.1";
        endpoints.onReplyPortBound = [this](std::uint16_t port) {
            replyPort.store(port);
            responder.SetReplyPort(port);
        };
        return endpoints;
    }

    devicesim::LanResponder responder;
    std::atomic<std::uint16_t> replyPort{0};
};

// The device's reply bytes with one byte changed.
inline std::string WithByte(std::string bytes, std::size_t at, std::uint8_t value) {
    bytes.at(at) = static_cast<char>(value);
    return bytes;
}

// A program clock that reads 0 for its first `readings` readings and, from
// then on, a time past any search length. A search reads it once when it
// starts and once before each wait, so it ends right after the
// (readings - 1)th datagram, without waiting out any time-out.
class CountingClock final : public platform::ClockSource {
public:
    explicit CountingClock(int readings) : m_left(readings) {}

    std::uint64_t NowMs() override { return m_left.fetch_sub(1) > 0 ? 0 : 24 * 3600 * 1000; }
    bool SleepFor(std::chrono::milliseconds, std::stop_token token) override {
        return !token.stop_requested();
    }

private:
    std::atomic<int> m_left;
};

}  // namespace lan_test
