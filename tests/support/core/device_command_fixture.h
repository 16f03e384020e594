#pragma once

// A state record and a scripted device on 127.0.0.1 for the tests of the
// command client, the configuration transfer and the login exchange.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "platform/message_box.h"
#include "tests/support/fake_device.h"
#include "tests/support/recording_message_box.h"

namespace command_test {

using test_support::FakeDevice;
using test_support::Reply;

// What every request of the client carries after its request line.
inline constexpr std::string_view kHostIp = "10.1.2.3";
inline std::string FixedHeaders(std::string_view contentLength = {}) {
    std::string lines = "Accept: */* \r\nAccept-Language: zh-tw\r\n";
    if (!contentLength.empty()) {
        lines.append("Content-Length: ").append(contentLength).append("\r\n");
    }
    lines.append(
        "Accept-Encoding: gzip, deflate\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)\r\n"
        "Host: 10.1.2.3\r\n"
        "Connection: Keep-Alive\r\n\r\n");
    return lines;
}

inline std::vector<std::uint8_t> Bytes(std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

inline std::string Text(std::span<const std::uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// A port on 127.0.0.1 where nothing listens.
inline std::uint16_t ClosedPort() {
    FakeDevice gone;
    const std::uint16_t port = gone.port();
    gone.Stop();
    return port;
}

class DeviceCommandTest : public ::testing::Test {
protected:
    // Generous: a test that succeeds never waits them out.
    static constexpr CommandTimeouts kTimeouts{std::chrono::seconds(10), std::chrono::seconds(10)};

    void SetUp() override {
        g_lpApp = new AppGlobalState();
        settings().m_strServerName = "127.0.0.1";
        settings().m_wWebPort = device.port();
        g_strHostIP.Set(std::string(kHostIp));
        g_szSessionCookie.Clear();
        g_bPendingWebPort = false;
        g_bPendingServerName = false;
        g_wPendingWebPort = 0;
        g_strPendingServerName.Clear();
    }

    void TearDown() override {
        device.Stop();
        delete g_lpApp;
        g_lpApp = nullptr;
        g_szSessionCookie.Clear();
        g_strHostIP.Clear();
        g_bPendingWebPort = false;
        g_bPendingServerName = false;
    }

    static CSettingINI& settings() { return g_lpApp->CSettingINI; }

    struct Outcome {
        int result = -1;
        CommandStatus status{0xA5A5A5A5u, 0};
        std::uint32_t length = 0xFFFFFFFFu;
        std::string body;
    };

    // One command with a reply buffer of `capacity` bytes.
    Outcome Send(std::uint8_t index, std::string_view target, std::size_t capacity = 4096,
                 const CommandTimeouts& timeouts = kTimeouts, std::string_view body = {}) {
        Outcome outcome;
        std::vector<std::uint8_t> buffer(capacity, 0xEE);
        const auto bodyBytes = Bytes(body);
        outcome.result = TirelSendCommand(index, target, bodyBytes, &outcome.status, buffer,
                                          &outcome.length, timeouts);
        outcome.body =
            Text(std::span(buffer).first(std::min<std::size_t>(outcome.length, capacity)));
        return outcome;
    }

    std::string RawRequest(std::size_t index = 0) {
        const auto request = device.WaitForRequest(index);
        return request ? request->raw : std::string("(no request)");
    }

    FakeDevice device;
    test_support::ScopedMessageBoxRecorder boxes;
};

}  // namespace command_test
