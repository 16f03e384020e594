#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Thrown by value by the throwing operations of CBlockingSocket. The text
// names the failed operation ("Connect", "Send timeout", ...); the error code
// is the errno of the failed call (ETIMEDOUT for a time-out, ECANCELED when
// the thread was asked to stop, EINVAL for an unusable address), or for a
// failed name lookup the resolver's EAI_ code, 0 when there is none.
class CBlockingSocketException : public std::exception {
public:
    explicit CBlockingSocketException(std::string operation, int error = 0)
        : m_strOperation(std::move(operation)), m_nError(error) {}

    const char* what() const noexcept override { return m_strOperation.c_str(); }
    const std::string& GetOperation() const noexcept { return m_strOperation; }
    int GetError() const noexcept { return m_nError; }

private:
    std::string m_strOperation;
    int m_nError;
};

// An IPv4 socket address, laid out exactly as sockaddr_in (16 bytes):
// family, port and address in network byte order, 8 zero bytes.
class CSocketAddress {
public:
    // Family AF_INET, port 0, address 0.
    CSocketAddress() noexcept;

    // A strict dotted-quad address ("192.168.1.10") and a host-order port.
    // Any other text ("300.1.1.1", "1.2.3", a host name) gives an address that
    // is not valid: family AF_UNSPEC, address 0, refused by every operation
    // that takes an address, so it can never turn into the broadcast address.
    CSocketAddress(std::string_view dotted, std::uint16_t port) noexcept;

    // A host-order address and port.
    static CSocketAddress FromHostOrder(std::uint32_t ip, std::uint16_t port) noexcept;

    bool IsValid() const noexcept { return m_addr.sin_family == AF_INET; }

    operator sockaddr*() noexcept { return reinterpret_cast<sockaddr*>(&m_addr); }
    operator const sockaddr*() const noexcept { return reinterpret_cast<const sockaddr*>(&m_addr); }

    // The address as a host-order integer, for printing as dotted text.
    std::uint32_t GetHostOrderIp() const noexcept { return ntohl(m_addr.sin_addr.s_addr); }

private:
    sockaddr_in m_addr;
};

static_assert(sizeof(CSocketAddress) == 16, "CSocketAddress must be laid out as sockaddr_in");

// A TCP or UDP socket whose waits are bounded. Time-outs are whole seconds in
// the int overloads; the duration overloads take any length. A time-out of 0
// means the operation does not wait. Every wait also ends, as a failure, when
// the calling thread's stop token (platform::CurrentStopToken) is stopped or
// another thread calls Shutdown; waits are not cut short by signals.
//
// A socket object belongs to the thread that uses it; only Shutdown may be
// called from another thread, while the object exists.
class CBlockingSocket {
public:
    // Bound on how long Connect waits for the handshake when the caller gives
    // no time-out of its own.
    static constexpr std::chrono::milliseconds kDefaultConnectTimeout = std::chrono::seconds(20);

    CBlockingSocket() noexcept = default;
    // Closes a socket still held (quietly); every owner should Close first.
    ~CBlockingSocket();
    CBlockingSocket(const CBlockingSocket&) = delete;
    CBlockingSocket& operator=(const CBlockingSocket&) = delete;

    // socket(AF_INET, type, 0) for SOCK_STREAM (1) or SOCK_DGRAM (2). A socket
    // still held is closed first. Throws "Create".
    void Create(int nType = SOCK_STREAM);
    // Throws "Bind".
    void Bind(const CSocketAddress& local);
    // Backlog 5. Throws "Listen".
    void Listen();
    // Waits without limit for a connection and hands it to `connection` (which
    // gives up any socket it held) and its address to `peer`. False when the
    // wait was interrupted by a stop request or Shutdown; throws "Accept" on
    // any other failure.
    bool Accept(CBlockingSocket& connection, CSocketAddress& peer);
    // With no socket does nothing. Otherwise the socket is released (exactly
    // once, whatever close reports) and the object is no longer connected;
    // throws "Close" when close reported an error.
    void Close();
    // Releases a socket still held; never throws.
    void CloseQuietly() noexcept;
    // Connects, waiting at most `timeout` for the handshake. Throws "Connect".
    void Connect(const CSocketAddress& server,
                 std::chrono::milliseconds timeout = kDefaultConnectTimeout);

    // Sends all `length` bytes: each pass waits up to the time-out for room
    // and sends what fits. Returns length. Throws "Send timeout" when no room
    // comes in time and "Send" on an error or a stop request.
    int WriteWithSelect(const void* data, int length, int nSecs);
    int WriteWithSelect(const void* data, int length, std::chrono::milliseconds timeout);
    // Sends all `length` bytes through Send; returns length.
    int Write(const void* data, int length, int nSecs);
    int Write(const void* data, int length, std::chrono::milliseconds timeout);
    // One wait for room and one send; returns the count sent (may be fewer
    // than asked). Throws "Send timeout" and "Send" as WriteWithSelect.
    int Send(const void* data, int length, int nSecs);
    int Send(const void* data, int length, std::chrono::milliseconds timeout);
    // One receive of at most `capacity` bytes once data is there. -1 when
    // there is no socket, nothing arrives in time, the peer has closed or
    // reset the connection, on any error and on a stop request. Never throws.
    int Receive(void* buffer, int capacity, int nSecs) noexcept;
    int Receive(void* buffer, int capacity, std::chrono::milliseconds timeout) noexcept;

    // One datagram into `buffer` (truncated to `capacity`) and its sender.
    // Waits without limit (nSecs is not used) but ends on a stop request or
    // Shutdown. Throws "ReceiveDatagram".
    int ReceiveDatagram(void* buffer, int capacity, CSocketAddress& from, int nSecs);
    // Waits for room, then one datagram to `to`. Throws "Send timeout" and
    // "SendDatagram".
    int SendDatagram(const void* data, int length, const CSocketAddress& to, int nSecs);
    int SendDatagram(const void* data, int length, const CSocketAddress& to,
                     std::chrono::milliseconds timeout);
    // One datagram to m_saTarget. Throws "Sendto".
    int Sendto(const void* data, int length);

    // Throws "GetPeerName" / "GetSockName".
    void GetPeerName(CSocketAddress& address);
    void GetSockName(CSocketAddress& address);

    // Enables broadcasting. Throws "SetSockOpt".
    void SetSockOpt();
    // Sets the kernel's receive buffer size (SO_RCVBUF). Throws "SetSockOpt".
    void SetReceiveBufferSize(int bytes);

    // Resolves a host name or dotted text (IPv4 only) with a host-order port.
    // A text whose last label is all digits is taken as a dotted address and
    // must be a strict dotted quad. A name is looked up on a helper thread
    // while the caller waits watching its stop token, so a stop request ends
    // the wait at once (ECANCELED). Throws "GetHostByName".
    static CSocketAddress GetHostByName(std::string_view name, std::uint16_t port = 0);
    // The host name registered for an address. Throws "GetHostByAddr".
    static std::string GetHostByAddr(const CSocketAddress& address);

    // Callable from any thread while the object exists: the current wait of
    // the owner and every later one end as failures. Used to wake a thread
    // that is being stopped.
    void Shutdown() noexcept;

    bool IsConnected() const noexcept { return m_bConnected; }
    int GetSocketHandle() const noexcept { return m_sock; }

    // Destination of Sendto; filled by the owner before sending.
    CSocketAddress m_saTarget;

private:
    enum class WaitResult { Ready, TimedOut, Stopped, Failed };
    using Clock = std::chrono::steady_clock;
    using Deadline = std::optional<Clock::time_point>;

    static Deadline DeadlineAfter(std::chrono::milliseconds timeout);
    WaitResult WaitFor(short events, Deadline deadline, int& error) noexcept;
    // Waits for room to send; throws "Send timeout" when none comes in time
    // and `operation` on a stop request or an error.
    void WaitForRoom(Deadline deadline, const char* operation);
    void EnsureWakeFd(const char* operation);
    void Adopt(int fd);
    int SendOnce(const char* data, int length, Deadline deadline);

    int m_sock = -1;
    bool m_bConnected = false;
    // Wakes a wait on a stop request or Shutdown; lives as long as the object
    // so that Shutdown never races with a close of it.
    std::atomic<int> m_wakeFd{-1};
    std::atomic<bool> m_bShutdown{false};
};

// Looks a host name up: its first IPv4 address in host order. Returns 0 or
// the resolver's EAI_ code.
using HostResolver = std::function<int(const std::string& name, std::uint32_t& hostOrderIp)>;

// Puts a resolver in place of the system's (an empty one: the system's
// again) and returns the one before. Lookups started earlier keep theirs.
// For tests, which need a resolver that takes as long as they want.
HostResolver SetHostResolver(HostResolver resolver);

// Waits up to bound until no name lookup is running: a lookup whose caller
// was stopped finishes on its own. False when the bound passed first.
bool WaitForNameLookups(std::chrono::milliseconds bound);

// The machine's own IPv4 address as dotted text: the first address of an
// interface that is up, loopback excluded; "127.0.0.1" when there is none.
std::string GetLocalIPText();
