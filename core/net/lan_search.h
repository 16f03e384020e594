#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Finding devices on the local network: one 76-byte UDP datagram broadcast
// to the devices' search port, answered by every device with a datagram of
// the same layout sent to the client's reply port. The same layout carries
// the requests that change a device's network settings and reset it.
//
// Layout (little-endian; an IPv4 address is four bytes in the order of its
// dotted text):
//
//  0 16  keyword, ASCII, NUL-padded ("KR_SEARCH", "KR_SET_IP", "KR_RESET")
// 16  1  command code (1 search, 2 set address, 3 reset)
// 17  1  device type (search reply) or result code (set and reset replies)
// 18  6  MAC address
// 24 16  user name, NUL-padded, at most 15 characters
// 40 16  password, NUL-padded, at most 15 characters
// 56  4  IP address (in a search request: the client's own)
// 60  4  network mask
// 64  4  gateway
// 68  4  DNS server
// 72  2  port (in a search request: the client's sending port; otherwise
//        the device's web port)
// 74  2  reserved, 0

inline constexpr std::size_t kSearchDatagramBytes = 76;
inline constexpr std::size_t kSearchTextField = 16;
inline constexpr std::size_t kCredentialMaxLength = kSearchTextField - 1;

inline constexpr std::uint8_t kSearchCommand = 1;
inline constexpr std::uint8_t kSetIpCommand = 2;
inline constexpr std::uint8_t kResetCommand = 3;

inline constexpr std::string_view kSearchKeyword = "KR_SEARCH";
inline constexpr std::string_view kSetIpKeyword = "KR_SET_IP";
inline constexpr std::string_view kResetKeyword = "KR_RESET";

// Result codes of a set-address or reset reply.
inline constexpr std::uint8_t kResultWrongCredentials = 0;
inline constexpr std::uint8_t kResultDone = 1;
inline constexpr std::uint8_t kResultNotStatic = 2;

using MacBytes = std::array<std::uint8_t, 6>;
using Ipv4Bytes = std::array<std::uint8_t, 4>;

struct SearchDatagram {
    std::array<char, kSearchTextField> keyword{};
    std::uint8_t command = 0;
    std::uint8_t typeOrResult = 0;
    MacBytes mac{};
    std::array<char, kSearchTextField> userName{};
    std::array<char, kSearchTextField> password{};
    Ipv4Bytes ip{};
    Ipv4Bytes mask{};
    Ipv4Bytes gateway{};
    Ipv4Bytes dns{};
    std::uint16_t port = 0;
    std::uint16_t reserved = 0;

    std::array<std::uint8_t, kSearchDatagramBytes> Encode() const;
    // Exactly 76 bytes, or nullopt.
    static std::optional<SearchDatagram> Decode(std::span<const std::uint8_t> bytes);
};

// The search request: the client's own address (dotted text; another text
// gives 0.0.0.0) and its sending port.
SearchDatagram BuildSearchRequest(std::string_view hostIp, std::uint16_t sendPort);

// The network settings of a device as the dialog's fields show them.
struct DeviceNetworkText {
    std::string mac;  // "00:0e:5c:4a:17:b3"
    std::string ip;
    std::string mask;
    std::string gateway;
    std::string dns;
    std::uint32_t webPort = 0;

    bool operator==(const DeviceNetworkText&) const = default;
};

// The set-address (kSetIpCommand) or reset (kResetCommand) request: the MAC
// from its text, the credentials cut to 15 characters, the four addresses
// from their dotted texts and the web port.
SearchDatagram BuildDeviceRequest(std::uint8_t command, const DeviceNetworkText& settings,
                                  std::string_view userName, std::string_view password);

// Why settings are not fit to be sent; they are checked before anything is.
enum class SettingsCheck { kOk, kBadAddress, kBadPort, kBadMac };
SettingsCheck CheckDeviceSettings(const DeviceNetworkText& settings);

// A strict dotted quad ("192.168.1.10").
bool IsDottedQuad(std::string_view text);
// Six two-digit hexadecimal groups separated by ':'.
bool IsMacText(std::string_view text);

// One device that answered a search.
struct DeviceEntry {
    std::string mac;  // "%.2x:%.2x:%.2x:%.2x:%.2x:%.2x"
    std::string ip;   // "%d.%d.%d.%d"
    std::uint32_t webPort = 0;
    std::string gateway;
    std::string dns;
    std::string mask;
    std::uint8_t type = 50;  // codes outside the type table are kept as 50
    std::int32_t index = 0;  // how many entries came before it in this search
    MacBytes macBytes{};

    DeviceNetworkText Network() const { return {mac, ip, mask, gateway, dns, webPort}; }
};

DeviceEntry DeviceEntryFromReply(const SearchDatagram& reply, std::int32_t index);

// "Video Server", "16CH MPEG4 DVR", ... for a device type code.
std::string_view DeviceTypeName(std::uint8_t type);
// Whether the client offers to change or reset a device of this type.
bool CanChangeNetwork(std::uint8_t type);

// Where the datagrams go. The defaults are the devices' ports; tests send to
// 127.0.0.1 and let the system choose ports (0).
struct LanSearchEndpoints {
    std::string broadcastAddress = "255.255.255.255";
    std::uint16_t devicePort = 7777;
    std::uint16_t sendPort = 3333;
    std::uint16_t replyPort = 3332;
    // The address the sending socket is bound to; empty: the client's own
    // address (g_strHostIP).
    std::string sendAddress;
    // Told the reply port once the receiving socket is bound, before the
    // request goes out (the port the system chose when replyPort is 0).
    std::function<void(std::uint16_t)> onReplyPortBound;
};

struct LanSearchTimings {
    std::chrono::milliseconds replyWait{5000};      // each wait of a search
    std::chrono::milliseconds searchLength{10000};  // no wait starts after this
    std::chrono::milliseconds applyWait{12000};     // the reply to a set-address request
    std::chrono::milliseconds resetWait{7000};      // the reply to a reset request
};

// Sends one datagram to the broadcast address and device port from a new
// socket bound to the sending address and port, with broadcasting enabled.
// On any failure shows the box "SendBroadCast is wrong" (from any thread)
// and returns false.
bool SendBroadCast(const SearchDatagram& datagram, const LanSearchEndpoints& endpoints);

// The socket replies arrive on: a plain UDP socket bound to the reply port on
// every local address. Its waits end early, as stopped, when the calling
// thread is asked to stop.
class SearchReplySocket {
public:
    enum class Wait { kReady, kTimedOut, kStopped, kFailed };

    SearchReplySocket() = default;
    ~SearchReplySocket();
    SearchReplySocket(const SearchReplySocket&) = delete;
    SearchReplySocket& operator=(const SearchReplySocket&) = delete;

    // False when the socket cannot be created or bound.
    bool Open(std::uint16_t port);
    void Close() noexcept;
    std::uint16_t Port() const { return m_port; }

    Wait WaitForDatagram(std::chrono::milliseconds timeout);
    // One datagram into `buffer`; returns its whole length (which may exceed
    // the buffer; the rest is dropped), or -1 on an error.
    long Receive(std::span<std::uint8_t> buffer);

private:
    int m_fd = -1;
    int m_wakeFd = -1;
    std::uint16_t m_port = 0;
};

// A datagram counts as the reply to `request` only when it is 76 bytes long
// and carries the request's command and, for a set-address or reset
// request, the request's MAC address.
std::optional<SearchDatagram> MatchReply(const SearchDatagram& request,
                                         std::span<const std::uint8_t> bytes);

enum class SearchEnd { kFinished, kBindFailed, kStopped };

// The search: binds the reply socket, broadcasts the search request with the
// client's own address, then hands every reply to `onEntry` until a wait of
// timings.replyWait passes without one, a receive fails, the calling thread
// is asked to stop, or (checked before each wait) timings.searchLength has
// passed on the program's clock since the request went out.
SearchEnd RunDeviceSearch(const LanSearchEndpoints& endpoints, const LanSearchTimings& timings,
                          std::string_view hostIp,
                          const std::function<void(const DeviceEntry&)>& onEntry);

enum class ExchangeStatus {
    kReply,          // resultCode holds the device's answer
    kSocketFailed,   // the reply socket could not be created or bound; nothing was sent
    kWaitFailed,     // the wait for the reply failed
    kTimedOut,       // no reply within the time-out
    kReceiveFailed,  // the reply could not be received
    kStopped,        // the calling thread was asked to stop
};

struct ExchangeResult {
    ExchangeStatus status = ExchangeStatus::kTimedOut;
    std::uint8_t resultCode = 0;
};

// Sends a set-address or reset request and waits up to `timeout` for its
// reply; datagrams that are not its reply are passed over.
ExchangeResult ExchangeDeviceRequest(const SearchDatagram& request,
                                     const LanSearchEndpoints& endpoints,
                                     std::chrono::milliseconds timeout);
