#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace devicesim {

// The device's side of the LAN search: a UDP endpoint on the search port
// that answers the 76-byte "KR_SEARCH" datagram with the device's address,
// MAC, web port and type, and carries out "KR_SET_IP" and "KR_RESET" on its
// settings in memory. Replies go to the requester's address on the reply
// port.
//
// Datagram layout (little-endian, addresses in dotted-text order): keyword
// 0-15, command 16, device type or result 17, MAC 18-23, user name 24-39,
// password 40-55, IP 56-59, mask 60-63, gateway 64-67, DNS 68-71, port 72-73,
// reserved 74-75.

inline constexpr std::size_t kLanDatagramBytes = 76;

struct LanDeviceSettings {
    std::array<std::uint8_t, 6> mac{0x00, 0x0E, 0x5C, 0x4A, 0x17, 0xB3};
    std::uint8_t type = 87;  // "16CH MPEG4 DVR": one whose settings a client may change
    std::array<std::uint8_t, 4> ip{127, 0, 0, 1};
    std::array<std::uint8_t, 4> mask{255, 0, 0, 0};
    std::array<std::uint8_t, 4> gateway{127, 0, 0, 1};
    std::array<std::uint8_t, 4> dns{127, 0, 0, 1};
    std::uint16_t webPort = 80;
    bool staticAddress = true;  // false: taken by DHCP, so it cannot be set

    bool operator==(const LanDeviceSettings&) const = default;
};

struct LanResponderOptions {
    std::string bindAddress = "127.0.0.1";  // "0.0.0.0" to hear real broadcasts
    std::uint16_t searchPort = 0;           // 0: a port chosen by the system
    std::uint16_t replyPort = 3332;         // 0: no replies until SetReplyPort
    std::string user = "tresk";
    std::string password = "tresk";
    LanDeviceSettings settings;
    // What a reset returns to; by default the settings it started with.
    std::optional<LanDeviceSettings> defaults;
};

// Result codes of the set and reset replies.
inline constexpr std::uint8_t kLanWrongCredentials = 0;
inline constexpr std::uint8_t kLanDone = 1;
inline constexpr std::uint8_t kLanNotStatic = 2;
inline constexpr std::uint8_t kLanFailed = 3;

class LanResponder {
public:
    // Decides what goes back for a request: given the request and the reply
    // the device would send (empty when it would not answer), returns the
    // datagrams to send, in order. Tests use it to add foreign datagrams, cut
    // replies short, drop them or hold them back.
    using Script =
        std::function<std::vector<std::string>(std::string_view request, std::string reply)>;

    // Binds the search port and starts answering; throws std::system_error
    // when the port cannot be bound.
    explicit LanResponder(LanResponderOptions options);
    ~LanResponder();
    LanResponder(const LanResponder&) = delete;
    LanResponder& operator=(const LanResponder&) = delete;

    std::uint16_t searchPort() const { return m_searchPort; }
    void SetReplyPort(std::uint16_t port) { m_replyPort.store(port); }
    void SetScript(Script script);
    void SetLogger(std::function<void(std::string_view)> logger);

    LanDeviceSettings Settings() const;
    // Every datagram received, in order, as it arrived.
    std::vector<std::string> Requests() const;
    // Waits until `count` datagrams have arrived; false on time-out.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    // Sends bytes to the reply port of the last requester.
    bool SendToClient(std::string_view bytes);

    // Stops answering and joins the thread. Idempotent.
    void Stop();

    // The device's answer to a request, applying a change or reset to
    // `settings`; empty when the device does not answer (wrong length,
    // unknown keyword, another device's MAC).
    static std::string Answer(std::string_view request, LanDeviceSettings& settings,
                              const LanDeviceSettings& defaults, std::string_view user,
                              std::string_view password);

private:
    void Serve();
    void SendTo(std::uint32_t address, std::string_view bytes);

    const LanResponderOptions m_options;
    const LanDeviceSettings m_defaults;
    int m_fd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::uint16_t m_searchPort = 0;
    std::atomic<std::uint16_t> m_replyPort;
    std::atomic<bool> m_stopping{false};

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    LanDeviceSettings m_settings;
    std::vector<std::string> m_requests;
    std::uint32_t m_lastRequester = 0;  // network order; 0: none yet
    Script m_script;
    std::function<void(std::string_view)> m_logger;
    std::thread m_thread;
};

}  // namespace devicesim
