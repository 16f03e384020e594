#include "core/net/blocking_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <stop_token>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/local_address.h"
#include "platform/poll_wait.h"
#include "platform/stop_token.h"
#include "platform/sync.h"

namespace {

constexpr socklen_t kAddressLength = sizeof(sockaddr_in);
constexpr int kListenBacklog = 5;
// Longer waits than this are treated as this long; keeps deadline arithmetic
// far from overflow for callers passing huge durations.
constexpr std::chrono::milliseconds kLongestWait = std::chrono::hours(24 * 365);
// Longest text taken for a host name (DNS limit).
constexpr std::size_t kMaxHostNameLength = 253;

std::chrono::milliseconds Seconds(int nSecs) {
    return std::chrono::seconds(std::max(nSecs, 0));
}

[[noreturn]] void Throw(const char* operation, int error) {
    throw CBlockingSocketException(operation, error);
}

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

// A text is an IPv4 address, not a name, when its last label is all digits
// (no top-level domain is numeric). Such a text must be a strict dotted quad.
bool LooksNumeric(std::string_view text) {
    if (!text.empty() && text.back() == '.') {
        text.remove_suffix(1);
    }
    const std::size_t lastDot = text.rfind('.');
    const std::string_view label =
        lastDot == std::string_view::npos ? text : text.substr(lastDot + 1);
    return !label.empty() &&
           std::all_of(label.begin(), label.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// inet_pton accepts exactly four decimal parts of 0-255 each.
std::optional<in_addr> ParseDottedQuad(std::string_view text) {
    constexpr std::size_t kLongestDotted = 15;  // "255.255.255.255"
    if (text.empty() || text.size() > kLongestDotted) {
        return std::nullopt;
    }
    const std::string copy(text);
    in_addr address{};
    if (::inet_pton(AF_INET, copy.c_str(), &address) != 1) {
        return std::nullopt;
    }
    return address;
}

// The system's resolver: the first IPv4 address of the name.
int SystemResolve(const std::string& host, std::uint32_t& hostOrderIp) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &results);
    if (status != 0 || results == nullptr) {
        return status != 0 ? status : EAI_NONAME;
    }
    bool found = false;
    for (const addrinfo* entry = results; entry != nullptr && !found; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in)) {
            hostOrderIp =
                ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
            found = true;
        }
    }
    ::freeaddrinfo(results);
    return found ? 0 : EAI_NONAME;
}

// Name lookups run on helper threads of their own, so that the thread that
// asked can be stopped while the resolver still works: the helper then
// finishes alone and drops its result. The state is never destroyed, because
// a helper may still be running when the program ends.
struct NameLookups {
    std::mutex lock;
    std::condition_variable idle;
    int running = 0;
    HostResolver resolver;  // empty: the system's
};

NameLookups& Lookups() {
    static NameLookups* const lookups = new NameLookups;
    return *lookups;
}

// What one helper hands back; shared, so that a caller that gave up leaves
// it to the helper.
struct LookupResult {
    platform::Event done{true, false};
    int status = EAI_FAIL;
    std::uint32_t hostOrderIp = 0;
};

void LookupEnded() {
    NameLookups& lookups = Lookups();
    std::lock_guard guard(lookups.lock);
    if (--lookups.running == 0) {
        lookups.idle.notify_all();
    }
}

// Resolves on a helper thread and waits for it, watching the calling
// thread's stop token. Returns 0 or the resolver's EAI_ code; throws
// "GetHostByName" with ECANCELED when the caller is asked to stop first.
int ResolveStoppably(const std::string& host, std::uint32_t& hostOrderIp) {
    NameLookups& lookups = Lookups();
    HostResolver resolver;
    {
        std::lock_guard guard(lookups.lock);
        resolver = lookups.resolver ? lookups.resolver : HostResolver(SystemResolve);
        ++lookups.running;
    }
    const auto result = std::make_shared<LookupResult>();
    try {
        std::thread([result, host, resolver] {
            std::uint32_t ip = 0;
            const int status = resolver(host, ip);
            // Written before the event is set; the caller reads them only
            // after its wait has seen the event.
            result->status = status;
            result->hostOrderIp = ip;
            result->done.Set();
            LookupEnded();
        }).detach();
    } catch (const std::system_error&) {
        LookupEnded();
        return resolver(host, hostOrderIp);  // no thread to spare: resolve here
    }
    if (result->done.Wait(platform::kInfinite) != platform::WaitResult::Signaled) {
        Throw("GetHostByName", ECANCELED);
    }
    hostOrderIp = result->hostOrderIp;
    return result->status;
}

}  // namespace

HostResolver SetHostResolver(HostResolver resolver) {
    NameLookups& lookups = Lookups();
    std::lock_guard guard(lookups.lock);
    return std::exchange(lookups.resolver, std::move(resolver));
}

bool WaitForNameLookups(std::chrono::milliseconds bound) {
    NameLookups& lookups = Lookups();
    std::unique_lock guard(lookups.lock);
    return lookups.idle.wait_for(guard, bound, [&lookups] { return lookups.running == 0; });
}

// ---------------------------------------------------------------- CSocketAddress

CSocketAddress::CSocketAddress() noexcept : m_addr{} {
    m_addr.sin_family = AF_INET;
}

CSocketAddress::CSocketAddress(std::string_view dotted, std::uint16_t port) noexcept : m_addr{} {
    const std::optional<in_addr> address = ParseDottedQuad(dotted);
    m_addr.sin_family = address ? AF_INET : AF_UNSPEC;
    m_addr.sin_port = htons(port);
    m_addr.sin_addr.s_addr = address ? address->s_addr : 0;
}

CSocketAddress CSocketAddress::FromHostOrder(std::uint32_t ip, std::uint16_t port) noexcept {
    CSocketAddress result;
    result.m_addr.sin_port = htons(port);
    result.m_addr.sin_addr.s_addr = htonl(ip);
    return result;
}

// --------------------------------------------------------------- CBlockingSocket

CBlockingSocket::~CBlockingSocket() {
    CloseQuietly();
    const int wakeFd = m_wakeFd.exchange(-1);
    if (wakeFd >= 0) {
        ::close(wakeFd);
    }
}

CBlockingSocket::Deadline CBlockingSocket::DeadlineAfter(std::chrono::milliseconds timeout) {
    return Clock::now() + std::clamp(timeout, std::chrono::milliseconds::zero(), kLongestWait);
}

// Waits until the socket is ready for `events`, the deadline passes (none:
// no limit), the thread is asked to stop or another thread calls Shutdown.
// Real time: socket waits do not follow the injectable clock (see
// platform/poll_wait.h).
CBlockingSocket::WaitResult CBlockingSocket::WaitFor(short events, Deadline deadline,
                                                     int& error) noexcept {
    const std::stop_token token = platform::CurrentStopToken();
    const int wakeFd = m_wakeFd.load();
    for (;;) {
        if (m_bShutdown.load()) {
            error = ECANCELED;
            return WaitResult::Stopped;
        }
        std::chrono::milliseconds timeout = platform::kInfinite;
        if (deadline) {
            timeout =
                std::max(std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()),
                         std::chrono::milliseconds::zero());
        }
        pollfd socket{m_sock, events, 0};
        switch (platform::PollWait({&socket, 1}, wakeFd, token, timeout)) {
            case platform::PollWaitResult::Ready:
                // Errors and hang-ups count as ready: the following call reports them.
                return WaitResult::Ready;
            case platform::PollWaitResult::Woken:
                if (!m_bShutdown.load()) {
                    platform::DrainEventFd(
                        wakeFd);  // left over from an earlier owner's stop request
                }
                continue;
            case platform::PollWaitResult::TimedOut:
                error = ETIMEDOUT;
                return WaitResult::TimedOut;
            case platform::PollWaitResult::Stopped:
                error = ECANCELED;
                return WaitResult::Stopped;
            case platform::PollWaitResult::Failed:
                error = errno;
                return WaitResult::Failed;
        }
    }
}

void CBlockingSocket::EnsureWakeFd(const char* operation) {
    if (m_wakeFd.load() >= 0) {
        return;
    }
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        Throw(operation, errno);
    }
    m_wakeFd.store(fd);
}

void CBlockingSocket::Adopt(int fd) {
    CloseQuietly();
    m_sock = fd;
}

void CBlockingSocket::Create(int nType) {
    EnsureWakeFd("Create");
    // Non-blocking underneath: every operation waits with poll first, and a
    // send or receive never blocks past its time-out.
    const int fd = ::socket(AF_INET, nType | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        Throw("Create", errno);
    }
    Adopt(fd);
}

void CBlockingSocket::Bind(const CSocketAddress& local) {
    if (!local.IsValid()) {
        Throw("Bind", EINVAL);
    }
    if (::bind(m_sock, local, kAddressLength) != 0) {
        Throw("Bind", errno);
    }
}

void CBlockingSocket::Listen() {
    if (::listen(m_sock, kListenBacklog) != 0) {
        Throw("Listen", errno);
    }
}

bool CBlockingSocket::Accept(CBlockingSocket& connection, CSocketAddress& peer) {
    if (m_sock < 0) {
        Throw("Accept", EBADF);
    }
    connection.EnsureWakeFd("Accept");
    for (;;) {
        socklen_t length = kAddressLength;
        const int fd = ::accept4(m_sock, peer, &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            connection.Adopt(fd);
            return true;
        }
        // A connection reset while queued is not the listener's failure.
        if (!WouldBlock(errno) && errno != ECONNABORTED) {
            Throw("Accept", errno);
        }
        int error = 0;
        switch (WaitFor(POLLIN, std::nullopt, error)) {
            case WaitResult::Ready:
                break;
            case WaitResult::Stopped:
                return false;
            case WaitResult::TimedOut:
            case WaitResult::Failed:
                Throw("Accept", error);
        }
    }
}

void CBlockingSocket::Close() {
    if (m_sock < 0) {
        return;
    }
    // The descriptor is released by close even when close reports an error;
    // closing it again could close a descriptor opened meanwhile elsewhere.
    const int fd = std::exchange(m_sock, -1);
    m_bConnected = false;
    if (::close(fd) != 0 && errno != EINTR) {
        Throw("Close", errno);
    }
}

void CBlockingSocket::CloseQuietly() noexcept {
    if (m_sock >= 0) {
        ::close(std::exchange(m_sock, -1));
    }
}

void CBlockingSocket::Connect(const CSocketAddress& server, std::chrono::milliseconds timeout) {
    if (m_sock < 0) {
        Throw("Connect", EBADF);
    }
    if (!server.IsValid()) {
        Throw("Connect", EINVAL);
    }
    const Deadline deadline = DeadlineAfter(timeout);
    if (::connect(m_sock, server, kAddressLength) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            Throw("Connect", errno);
        }
        int error = 0;
        if (WaitFor(POLLOUT, deadline, error) != WaitResult::Ready) {
            Throw("Connect", error);
        }
        socklen_t length = sizeof error;
        if (::getsockopt(m_sock, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            Throw("Connect", errno);
        }
        if (error != 0) {
            Throw("Connect", error);
        }
    }
    m_bConnected = true;
}

void CBlockingSocket::WaitForRoom(Deadline deadline, const char* operation) {
    int error = 0;
    switch (WaitFor(POLLOUT, deadline, error)) {
        case WaitResult::Ready:
            return;
        case WaitResult::TimedOut:
            Throw("Send timeout", error);
        case WaitResult::Stopped:
        case WaitResult::Failed:
            Throw(operation, error);
    }
}

int CBlockingSocket::SendOnce(const char* data, int length, Deadline deadline) {
    if (m_sock < 0) {
        Throw("Send", EBADF);
    }
    for (;;) {
        WaitForRoom(deadline, "Send");
        const ssize_t sent =
            ::send(m_sock, data, static_cast<std::size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0 || (sent == 0 && length == 0)) {
            return static_cast<int>(sent);
        }
        if (sent < 0 && !WouldBlock(errno)) {
            Throw("Send", errno);
        }
        // The room went to nobody we can see; wait again for the rest of the time.
    }
}

int CBlockingSocket::WriteWithSelect(const void* data, int length, int nSecs) {
    return WriteWithSelect(data, length, Seconds(nSecs));
}

int CBlockingSocket::WriteWithSelect(const void* data, int length,
                                     std::chrono::milliseconds timeout) {
    if (length < 0 || (data == nullptr && length > 0)) {
        Throw("Send", EINVAL);
    }
    const auto* bytes = static_cast<const char*>(data);
    for (int written = 0; written < length;) {
        written += SendOnce(bytes + written, length - written, DeadlineAfter(timeout));
    }
    return length;
}

int CBlockingSocket::Write(const void* data, int length, int nSecs) {
    return Write(data, length, Seconds(nSecs));
}

int CBlockingSocket::Write(const void* data, int length, std::chrono::milliseconds timeout) {
    // Both wait afresh before every pass; they differ only in name.
    return WriteWithSelect(data, length, timeout);
}

int CBlockingSocket::Send(const void* data, int length, int nSecs) {
    return Send(data, length, Seconds(nSecs));
}

int CBlockingSocket::Send(const void* data, int length, std::chrono::milliseconds timeout) {
    if (length < 0 || (data == nullptr && length > 0)) {
        Throw("Send", EINVAL);
    }
    return SendOnce(static_cast<const char*>(data), length, DeadlineAfter(timeout));
}

int CBlockingSocket::Receive(void* buffer, int capacity, int nSecs) noexcept {
    return Receive(buffer, capacity, Seconds(nSecs));
}

int CBlockingSocket::Receive(void* buffer, int capacity,
                             std::chrono::milliseconds timeout) noexcept {
    if (m_sock < 0 || buffer == nullptr || capacity <= 0) {
        return -1;
    }
    const Deadline deadline = DeadlineAfter(timeout);
    for (;;) {
        // The bytes are usually there already (a stream arrives faster than
        // it is read): try the read first and wait only when it would block,
        // which saves a poll per read. A shut-down socket and a thread asked
        // to stop still read nothing, as when the wait came first.
        if (m_bShutdown.load() || platform::CurrentStopToken().stop_requested()) {
            return -1;
        }
        const ssize_t received =
            ::recv(m_sock, buffer, static_cast<std::size_t>(capacity), MSG_DONTWAIT);
        if (received > 0) {
            return static_cast<int>(received);
        }
        if (received == 0 || !WouldBlock(errno)) {
            return -1;  // closed by the peer, reset, or another error
        }
        int error = 0;
        if (WaitFor(POLLIN, deadline, error) != WaitResult::Ready) {
            return -1;
        }
    }
}

int CBlockingSocket::ReceiveDatagram(void* buffer, int capacity, CSocketAddress& from,
                                     int /*nSecs*/) {
    if (m_sock < 0 || capacity < 0 || (buffer == nullptr && capacity > 0)) {
        Throw("ReceiveDatagram", m_sock < 0 ? EBADF : EINVAL);
    }
    for (;;) {
        socklen_t length = kAddressLength;
        const ssize_t received = ::recvfrom(m_sock, buffer, static_cast<std::size_t>(capacity),
                                            MSG_DONTWAIT, from, &length);
        if (received >= 0) {
            return static_cast<int>(received);
        }
        if (!WouldBlock(errno)) {
            Throw("ReceiveDatagram", errno);
        }
        int error = 0;
        if (WaitFor(POLLIN, std::nullopt, error) != WaitResult::Ready) {
            Throw("ReceiveDatagram", error);
        }
    }
}

int CBlockingSocket::SendDatagram(const void* data, int length, const CSocketAddress& to,
                                  int nSecs) {
    return SendDatagram(data, length, to, Seconds(nSecs));
}

int CBlockingSocket::SendDatagram(const void* data, int length, const CSocketAddress& to,
                                  std::chrono::milliseconds timeout) {
    if (m_sock < 0 || !to.IsValid() || length < 0 || (data == nullptr && length > 0)) {
        Throw("SendDatagram", m_sock < 0 ? EBADF : EINVAL);
    }
    const Deadline deadline = DeadlineAfter(timeout);
    for (;;) {
        WaitForRoom(deadline, "SendDatagram");
        const ssize_t sent = ::sendto(m_sock, data, static_cast<std::size_t>(length),
                                      MSG_NOSIGNAL | MSG_DONTWAIT, to, kAddressLength);
        if (sent >= 0) {
            return static_cast<int>(sent);
        }
        if (!WouldBlock(errno)) {
            Throw("SendDatagram", errno);
        }
    }
}

int CBlockingSocket::Sendto(const void* data, int length) {
    if (m_sock < 0 || !m_saTarget.IsValid() || length < 0 || (data == nullptr && length > 0)) {
        Throw("Sendto", m_sock < 0 ? EBADF : EINVAL);
    }
    for (;;) {
        const ssize_t sent = ::sendto(m_sock, data, static_cast<std::size_t>(length),
                                      MSG_NOSIGNAL | MSG_DONTWAIT, m_saTarget, kAddressLength);
        if (sent >= 0) {
            return static_cast<int>(sent);
        }
        if (!WouldBlock(errno)) {
            Throw("Sendto", errno);
        }
        // A full send buffer: wait for room as a blocking send would.
        int error = 0;
        if (WaitFor(POLLOUT, std::nullopt, error) != WaitResult::Ready) {
            Throw("Sendto", error);
        }
    }
}

void CBlockingSocket::GetPeerName(CSocketAddress& address) {
    socklen_t length = kAddressLength;
    if (::getpeername(m_sock, address, &length) != 0) {
        Throw("GetPeerName", errno);
    }
}

void CBlockingSocket::GetSockName(CSocketAddress& address) {
    socklen_t length = kAddressLength;
    if (::getsockname(m_sock, address, &length) != 0) {
        Throw("GetSockName", errno);
    }
}

void CBlockingSocket::SetSockOpt() {
    const int enable = 1;
    if (::setsockopt(m_sock, SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable) != 0) {
        Throw("SetSockOpt", errno);
    }
}

void CBlockingSocket::SetReceiveBufferSize(int bytes) {
    if (::setsockopt(m_sock, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0) {
        Throw("SetSockOpt", errno);
    }
}

CSocketAddress CBlockingSocket::GetHostByName(std::string_view name, std::uint16_t port) {
    if (platform::CurrentStopToken().stop_requested()) {
        Throw("GetHostByName", ECANCELED);
    }
    if (name.empty() || name.size() > kMaxHostNameLength ||
        name.find('\0') != std::string_view::npos) {
        Throw("GetHostByName", EINVAL);
    }
    if (LooksNumeric(name)) {
        const std::optional<in_addr> address = ParseDottedQuad(name);
        if (!address) {
            Throw("GetHostByName", EINVAL);
        }
        return CSocketAddress::FromHostOrder(ntohl(address->s_addr), port);
    }
    std::uint32_t ip = 0;
    const int status = ResolveStoppably(std::string(name), ip);
    if (status != 0) {
        Throw("GetHostByName", status);
    }
    return CSocketAddress::FromHostOrder(ip, port);
}

std::string CBlockingSocket::GetHostByAddr(const CSocketAddress& address) {
    if (!address.IsValid()) {
        Throw("GetHostByAddr", EINVAL);
    }
    std::array<char, NI_MAXHOST> host{};
    const int status =
        ::getnameinfo(address, kAddressLength, host.data(), host.size(), nullptr, 0, NI_NAMEREQD);
    if (status != 0) {
        Throw("GetHostByAddr", status);
    }
    return std::string(host.data(), ::strnlen(host.data(), host.size()));
}

void CBlockingSocket::Shutdown() noexcept {
    m_bShutdown.store(true);
    const int wakeFd = m_wakeFd.load();
    if (wakeFd >= 0) {
        platform::SignalEventFd(wakeFd);
    }
}

std::string GetLocalIPText() {
    std::string text = platform::FirstLocalIPv4();
    return text.empty() ? std::string("127.0.0.1") : text;
}
