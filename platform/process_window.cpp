#include "platform/process_window.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <stop_token>
#include <system_error>
#include <utility>

#include "platform/byte_order.h"
#include "platform/clock.h"
#include "platform/poll_wait.h"
#include "platform/posix_io.h"
#include "platform/runtime_folder.h"
#include "platform/stop_token.h"

namespace platform {

namespace {

constexpr std::string_view kEndpointPrefix = "player-";
constexpr std::string_view kEndpointSuffix = ".sock";
constexpr std::size_t kMessagePacketBytes = 24;
constexpr std::size_t kCopyDataHeaderBytes = 12;
constexpr std::size_t kAnswerPacketBytes = 16;
constexpr std::size_t kMaxPacketBytes = kCopyDataHeaderBytes + kMaxCopyDataBytes;
// Connections an endpoint keeps open at once; later ones are turned away.
constexpr std::size_t kMaxConnections = 64;
// Endpoint files looked at by one enumeration.
constexpr std::size_t kMaxEnumerated = 4096;

enum class PollOutcome { Ready, Timeout, Stopped, Failed };

// Waits until one of `fds` reports an event, `timeout` passes (negative: no
// limit) or the calling thread is asked to stop. The time-out follows the
// clock source: a source that lets time-outs elapse at once (tests) ends a
// wait that finds nothing ready without blocking.
PollOutcome PollFor(std::span<pollfd> fds, std::chrono::milliseconds timeout) {
    switch (PollWait(fds, -1, CurrentStopToken(), timeout, WaitClock::kClockSource)) {
        case PollWaitResult::Ready:
            return PollOutcome::Ready;
        case PollWaitResult::TimedOut:
            return PollOutcome::Timeout;
        case PollWaitResult::Stopped:
            return PollOutcome::Stopped;
        case PollWaitResult::Woken:  // no wake descriptor of ours: cannot happen
        case PollWaitResult::Failed:
            break;
    }
    return PollOutcome::Failed;
}

std::string EndpointName(std::uint32_t pid) {
    return std::string(kEndpointPrefix) + std::to_string(pid) + std::string(kEndpointSuffix);
}

// The process id an endpoint file is named for, or 0 for any other name.
std::uint32_t PidOfEndpointName(std::string_view name) {
    if (!name.starts_with(kEndpointPrefix) || !name.ends_with(kEndpointSuffix)) {
        return 0;
    }
    const std::string_view digits = name.substr(
        kEndpointPrefix.size(), name.size() - kEndpointPrefix.size() - kEndpointSuffix.size());
    if (digits.empty() || digits.size() > 10 || digits.front() == '0') {
        return 0;
    }
    std::uint64_t pid = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return 0;
        }
        pid = pid * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return pid <= static_cast<std::uint64_t>(INT_MAX) ? static_cast<std::uint32_t>(pid) : 0;
}

bool FillAddress(const std::filesystem::path& path, sockaddr_un& address) {
    const std::string& text = path.native();
    address = {};
    address.sun_family = AF_UNIX;
    if (text.empty() || text.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

bool PeerIsUser(int fd, std::optional<std::uint32_t> expectedPid) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof credentials) {
        return false;
    }
    if (credentials.uid != ::geteuid()) {
        return false;
    }
    return !expectedPid || credentials.pid == static_cast<pid_t>(*expectedPid);
}

enum class ConnectOutcome { Connected, NoWindow, Failed };

// Connects to the endpoint of `pid` and checks who answers. A file that is
// not a socket of this user, a socket nobody listens on any more, and a
// listener other than the named process all count as no window.
ConnectOutcome ConnectToWindow(std::uint32_t pid, UniqueFd& out) {
    if (pid == 0 || pid > static_cast<std::uint32_t>(INT_MAX)) {
        return ConnectOutcome::NoWindow;
    }
    const std::optional<std::filesystem::path> path = ProcessWindowPath(pid);
    sockaddr_un address{};
    if (!path || !FillAddress(*path, address)) {
        return ConnectOutcome::Failed;
    }
    struct stat st {};
    if (::lstat(path->c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid()) {
        return ConnectOutcome::NoWindow;
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) {
        return ConnectOutcome::Failed;
    }
    int result = 0;
    do {
        result = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        // ECONNREFUSED: a file left by a process that ended. EAGAIN: the
        // endpoint's backlog is full; it cannot be reached now either.
        return ConnectOutcome::NoWindow;
    }
    if (!PeerIsUser(fd.Get(), pid)) {
        return ConnectOutcome::NoWindow;
    }
    out = std::move(fd);
    return ConnectOutcome::Connected;
}

// The time left to one bounded operation that may wait several times. The
// first wait gets the whole time-out (so a clock source with instant
// time-outs sees the caller's time-out), and the deadline counts from it. A
// negative time-out means no limit.
class TimeBudget {
public:
    explicit TimeBudget(std::chrono::milliseconds timeout) : m_timeout(timeout) {}

    std::chrono::milliseconds Next() {
        const auto now = std::chrono::steady_clock::now();
        if (m_timeout < std::chrono::milliseconds::zero() || m_timeout > kLongestTimedWait) {
            return m_timeout;
        }
        if (!m_deadline) {
            m_deadline = now + m_timeout;
            return m_timeout;
        }
        return std::max(std::chrono::ceil<std::chrono::milliseconds>(*m_deadline - now),
                        std::chrono::milliseconds::zero());
    }

private:
    std::chrono::milliseconds m_timeout;
    std::optional<std::chrono::steady_clock::time_point> m_deadline;
};

// Sends one whole packet, waiting for room within the budget.
PollOutcome SendPacket(int fd, std::span<const std::uint8_t> packet, TimeBudget& budget) {
    for (;;) {
        const ssize_t sent = ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent == static_cast<ssize_t>(packet.size())) {
            return PollOutcome::Ready;
        }
        if (sent >= 0 || (errno != EAGAIN && errno != EINTR)) {
            return PollOutcome::Failed;
        }
        if (errno == EINTR) {
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        const PollOutcome outcome = PollFor({&p, 1}, budget.Next());
        if (outcome != PollOutcome::Ready) {
            return outcome;
        }
    }
}

}  // namespace

std::optional<std::filesystem::path> ProcessWindowPath(std::uint32_t pid) {
    const std::optional<std::filesystem::path> folder = RuntimeFolder();
    if (!folder) {
        return std::nullopt;
    }
    return *folder / EndpointName(pid);
}

std::vector<ProcessWindowInfo> EnumerateProcessWindows() {
    std::vector<ProcessWindowInfo> windows;
    const std::optional<std::filesystem::path> folder = RuntimeFolder();
    if (!folder) {
        return windows;
    }
    std::vector<std::uint32_t> pids;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(*folder, ec);
         !ec && it != std::filesystem::directory_iterator() && pids.size() < kMaxEnumerated;
         it.increment(ec)) {
        if (const std::uint32_t pid = PidOfEndpointName(it->path().filename().native()); pid != 0) {
            pids.push_back(pid);
        }
    }
    std::ranges::sort(pids);
    for (const std::uint32_t pid : pids) {
        UniqueFd probe;
        if (ConnectToWindow(pid, probe) == ConnectOutcome::Connected) {
            windows.push_back({pid,
                               std::string(kEndpointPrefix.substr(0, kEndpointPrefix.size() - 1)),
                               ProcessWindowHandle{pid}});
        }
    }
    return windows;
}

bool IsProcessWindow(ProcessWindowHandle window) {
    UniqueFd probe;
    return ConnectToWindow(window.pid, probe) == ConnectOutcome::Connected;
}

std::string ProcessWindowTitle(ProcessWindowHandle window) {
    if (!IsProcessWindow(window)) {
        return {};
    }
    // The command name is at most 15 bytes and a line break; anything longer
    // or not printable is not what the kernel writes there and is cut.
    const std::string path = "/proc/" + std::to_string(window.pid) + "/comm";
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        return {};
    }
    std::array<char, 64> buffer{};
    const ssize_t got = ReadFull(fd.Get(), buffer.data(), buffer.size());
    if (got <= 0) {
        return {};
    }
    std::string title(buffer.data(), static_cast<std::size_t>(got));
    const auto end = std::ranges::find_if(
        title, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    title.erase(end, title.end());
    return title;
}

namespace {

// Sends one posted message without waiting; true when the whole packet went.
bool SendMessagePacket(int fd, std::uint32_t message, std::uint64_t wParam, std::uint64_t lParam) {
    std::array<std::uint8_t, kMessagePacketBytes> packet{};
    StoreLe32(packet, 0, message);
    StoreLe32(packet, 4, 0);
    StoreLe64(packet, 8, wParam);
    StoreLe64(packet, 16, lParam);
    ssize_t sent = 0;
    do {
        sent = ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(packet.size());
}

}  // namespace

bool PostProcessWindowMessage(ProcessWindowHandle window, std::uint32_t message,
                              std::uint64_t wParam, std::uint64_t lParam) {
    if (message == kCopyDataMessage) {
        return false;
    }
    UniqueFd fd;
    if (ConnectToWindow(window.pid, fd) != ConnectOutcome::Connected) {
        return false;
    }
    return SendMessagePacket(fd.Get(), message, wParam, lParam);
}

bool ProcessWindowPoster::Post(ProcessWindowHandle window, std::uint32_t message,
                               std::uint64_t wParam, std::uint64_t lParam) {
    if (message == kCopyDataMessage) {
        return false;
    }
    if (m_fd && m_pid == window.pid && SendMessagePacket(m_fd.Get(), message, wParam, lParam)) {
        return true;
    }
    // Another window, a window gone or a full queue: what the old connection
    // still holds is read before anything on the new one.
    m_fd.Reset();
    m_pid = 0;
    UniqueFd fd;
    if (ConnectToWindow(window.pid, fd) != ConnectOutcome::Connected ||
        !SendMessagePacket(fd.Get(), message, wParam, lParam)) {
        return false;
    }
    m_fd = std::move(fd);
    m_pid = window.pid;
    return true;
}

CopyDataReply SendProcessWindowCopyData(ProcessWindowHandle window, std::uint32_t dwData,
                                        std::span<const std::uint8_t> data,
                                        std::chrono::milliseconds timeout) {
    if (data.size() > kMaxCopyDataBytes) {
        return {CopyDataStatus::Failed, 0};
    }
    if (CurrentStopToken().stop_requested()) {
        return {CopyDataStatus::Stopped, 0};
    }
    TimeBudget budget(std::clamp(timeout, std::chrono::milliseconds::zero(), kLongestTimedWait));

    UniqueFd fd;
    switch (ConnectToWindow(window.pid, fd)) {
        case ConnectOutcome::Connected:
            break;
        case ConnectOutcome::NoWindow:
            return {CopyDataStatus::NoWindow, 0};
        case ConnectOutcome::Failed:
            return {CopyDataStatus::Failed, 0};
    }
    std::vector<std::uint8_t> packet(kCopyDataHeaderBytes + data.size());
    StoreLe32(packet, 0, kCopyDataMessage);
    StoreLe32(packet, 4, dwData);
    StoreLe32(packet, 8, static_cast<std::uint32_t>(data.size()));
    std::ranges::copy(data, packet.begin() + kCopyDataHeaderBytes);

    const auto outcomeStatus = [](PollOutcome outcome) {
        switch (outcome) {
            case PollOutcome::Timeout:
                return CopyDataStatus::TimedOut;
            case PollOutcome::Stopped:
                return CopyDataStatus::Stopped;
            default:
                return CopyDataStatus::Failed;
        }
    };
    if (const PollOutcome sent = SendPacket(fd.Get(), packet, budget); sent != PollOutcome::Ready) {
        return {outcomeStatus(sent), 0};
    }
    for (;;) {
        std::array<std::uint8_t, kAnswerPacketBytes> answer{};
        iovec io{answer.data(), answer.size()};
        msghdr header{};
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        const ssize_t got = ::recvmsg(fd.Get(), &header, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got >= 0) {
            if (got != static_cast<ssize_t>(answer.size()) || (header.msg_flags & MSG_TRUNC) != 0 ||
                LoadLe32(answer, 0) != kCopyDataMessage || LoadLe32(answer, 4) != 0) {
                return {CopyDataStatus::Failed, 0};  // closed unanswered, or a malformed answer
            }
            return {CopyDataStatus::Acknowledged, LoadLe64(answer, 8)};
        }
        if (errno != EAGAIN) {
            return {CopyDataStatus::Failed, 0};
        }
        pollfd p{fd.Get(), POLLIN, 0};
        const PollOutcome outcome = PollFor({&p, 1}, budget.Next());
        if (outcome != PollOutcome::Ready) {
            return {outcomeStatus(outcome), 0};
        }
    }
}

// ------------------------------------------------------------ the endpoint

ProcessWindowEndpoint::ProcessWindowEndpoint() : m_buffer(kMaxPacketBytes) {
    const std::optional<std::filesystem::path> folder = RuntimeFolder();
    if (!folder) {
        throw std::system_error(EACCES, std::generic_category(), "runtime folder refused");
    }
    m_path = *folder / EndpointName(static_cast<std::uint32_t>(::getpid()));
    sockaddr_un address{};
    if (!FillAddress(m_path, address)) {
        throw std::system_error(ENAMETOOLONG, std::generic_category(), "endpoint path too long");
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) {
        throw std::system_error(errno, std::generic_category(), "endpoint socket");
    }
    // A socket under our own process id can only be left over from a process
    // that had this id before; nothing else is removed.
    struct stat st {};
    if (::lstat(m_path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
        ::unlink(m_path.c_str());
    }
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw std::system_error(errno, std::generic_category(), "endpoint bind");
    }
    if (::chmod(m_path.c_str(), 0600) != 0 || ::lstat(m_path.c_str(), &st) != 0 ||
        ::listen(fd.Get(), SOMAXCONN) != 0) {
        const int error = errno;
        ::unlink(m_path.c_str());
        throw std::system_error(error, std::generic_category(), "endpoint listen");
    }
    m_device = st.st_dev;
    m_inode = st.st_ino;
    m_listen = fd.Release();
}

ProcessWindowEndpoint::~ProcessWindowEndpoint() {
    for (const Connection& connection : m_connections) {
        ::close(connection.fd);
    }
    // Only the file this endpoint made is removed, not one that replaced it.
    struct stat st {};
    if (::lstat(m_path.c_str(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode) {
        ::unlink(m_path.c_str());
    }
    ::close(m_listen);
}

void ProcessWindowEndpoint::AcceptPending() {
    for (;;) {
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            return;  // EAGAIN: none left; anything else is retried next time
        }
        if (m_connections.size() >= kMaxConnections || !PeerIsUser(fd, std::nullopt)) {
            ::close(fd);
            continue;
        }
        m_connections.push_back({fd, 0});
    }
}

void ProcessWindowEndpoint::Drop(std::size_t index) {
    ::close(m_connections[index].fd);
    m_connections.erase(m_connections.begin() + static_cast<std::ptrdiff_t>(index));
}

bool ProcessWindowEndpoint::TakePacket(Received& out) {
    for (std::size_t i = 0; i < m_connections.size();) {
        iovec io{m_buffer.data(), m_buffer.size()};
        msghdr header{};
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        const ssize_t got = ::recvmsg(m_connections[i].fd, &header, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                ++i;
            } else {
                Drop(i);
            }
            continue;
        }
        const auto size = static_cast<std::size_t>(got);
        const std::span<const std::uint8_t> packet(m_buffer.data(), size);
        if (size == 0 || (header.msg_flags & MSG_TRUNC) != 0) {
            Drop(i);  // closed, or a packet larger than any valid one
            continue;
        }
        if (size == kMessagePacketBytes && LoadLe32(packet, 0) != kCopyDataMessage &&
            LoadLe32(packet, 4) == 0) {
            out = Received{};
            out.kind = Received::Kind::Message;
            out.message = LoadLe32(packet, 0);
            out.wParam = LoadLe64(packet, 8);
            out.lParam = LoadLe64(packet, 16);
            return true;
        }
        if (size >= kCopyDataHeaderBytes && LoadLe32(packet, 0) == kCopyDataMessage &&
            LoadLe32(packet, 8) == size - kCopyDataHeaderBytes) {
            out = Received{};
            out.kind = Received::Kind::CopyData;
            out.message = kCopyDataMessage;
            out.dwData = LoadLe32(packet, 4);
            out.data.assign(packet.begin() + kCopyDataHeaderBytes, packet.end());
            out.replyId = m_nextReply++;
            m_connections[i].awaitedReply = out.replyId;
            return true;
        }
        Drop(i);  // a packet of no known layout
    }
    return false;
}

WaitResult ProcessWindowEndpoint::Receive(std::chrono::milliseconds timeout, Received& out) {
    TimeBudget budget(timeout);
    for (;;) {
        AcceptPending();
        if (TakePacket(out)) {
            return WaitResult::Signaled;
        }
        std::vector<pollfd> fds;
        fds.reserve(m_connections.size() + 1);
        fds.push_back({m_listen, POLLIN, 0});
        for (const Connection& connection : m_connections) {
            fds.push_back({connection.fd, POLLIN, 0});
        }
        switch (PollFor(fds, budget.Next())) {
            case PollOutcome::Ready:
                break;
            case PollOutcome::Stopped:
                return WaitResult::Stopped;
            case PollOutcome::Timeout:
            case PollOutcome::Failed:
                return WaitResult::Timeout;
        }
    }
}

bool ProcessWindowEndpoint::Acknowledge(const Received& copyData, std::uint64_t result) {
    if (copyData.kind != Received::Kind::CopyData || copyData.replyId == 0) {
        return false;
    }
    const auto it = std::ranges::find(m_connections, copyData.replyId, &Connection::awaitedReply);
    if (it == m_connections.end()) {
        return false;
    }
    it->awaitedReply = 0;
    std::array<std::uint8_t, kAnswerPacketBytes> answer{};
    StoreLe32(answer, 0, kCopyDataMessage);
    StoreLe32(answer, 4, 0);
    StoreLe64(answer, 8, result);
    ssize_t sent = 0;
    do {
        sent = ::send(it->fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(answer.size());
}

}  // namespace platform
