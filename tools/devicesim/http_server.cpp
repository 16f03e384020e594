#include "tools/devicesim/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>

namespace devicesim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::size_t kChunk = 4096;

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

Clock::time_point DeadlineAfter(std::chrono::milliseconds limit) {
    return limit.count() > 0 ? Clock::now() + limit : Clock::time_point::max();
}

// Milliseconds left for poll(); -1 when there is no deadline.
int PollTimeout(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max()) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

std::string PeerText(const sockaddr_in& address) {
    std::array<char, INET_ADDRSTRLEN> text{};
    ::inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size());
    return std::string(text.data()) + ":" + std::to_string(ntohs(address.sin_port));
}

[[noreturn]] void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

std::string FormatResponseHead(int status, std::string_view reason, const NameValueList& headers) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " ";
    head.append(reason);
    head.append("\r\n");
    for (const auto& [name, value] : headers) {
        head.append(name).append(": ").append(value).append("\r\n");
    }
    head.append("\r\n");
    return head;
}

std::string FormatResponse(int status, std::string_view reason, std::string_view contentType,
                           std::string_view body) {
    const NameValueList headers = {
        {"Content-Type", std::string(contentType)},
        {"Content-Length", std::to_string(body.size())},
        {"Connection", "close"},
    };
    std::string reply = FormatResponseHead(status, reason, headers);
    reply.append(body);
    return reply;
}

// ---------------------------------------------------------------- Connection

Connection::Connection(int fd, std::string peer, const HttpServer& server)
    : m_fd(fd), m_peer(std::move(peer)), m_server(server) {}

Connection::~Connection() {
    CloseFd(m_fd);
}

bool Connection::Stopping() const {
    return m_server.Stopping();
}

bool Connection::WaitReady(short events, Clock::time_point deadline) const {
    while (m_fd >= 0 && !Stopping()) {
        std::array<pollfd, 2> fds{{{m_fd, events, 0}, {m_server.wakeFd(), POLLIN, 0}}};
        const int rc = ::poll(fds.data(), fds.size(), PollTimeout(deadline));
        if (rc < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (rc == 0 || fds[1].revents != 0) {
            return false;
        }
        if (fds[0].revents != 0) {
            return true;  // ready, or an error the next call will report
        }
    }
    return false;
}

bool Connection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (m_fd < 0 || Stopping()) {
            return false;
        }
        const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitReady(POLLOUT, Clock::time_point::max())) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

std::size_t Connection::Receive(std::span<char> buffer) {
    if (buffer.empty()) {
        return 0;
    }
    if (!m_pending.empty()) {
        const auto count = std::min(buffer.size(), m_pending.size());
        std::copy_n(m_pending.begin(), count, buffer.begin());
        m_pending.erase(0, count);
        return count;
    }
    while (WaitReady(POLLIN, Clock::time_point::max())) {
        const ssize_t got = ::recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (got > 0) {
            return static_cast<std::size_t>(got);
        }
        if (got == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            return 0;
        }
    }
    return 0;
}

bool Connection::Pause(std::chrono::milliseconds duration) {
    const auto deadline = Clock::now() + duration;
    while (!Stopping()) {
        pollfd wake{m_server.wakeFd(), POLLIN, 0};
        const int left = PollTimeout(deadline);
        if (left == 0) {
            return true;
        }
        if (::poll(&wake, 1, left) < 0 && errno != EINTR) {
            return false;
        }
    }
    return false;
}

void Connection::HoldUntilPeerCloses() {
    std::array<char, 1024> scratch{};
    while (Receive(scratch) > 0) {
    }
}

void Connection::HoldWithoutReading() {
    // POLLRDHUP reports the peer's FIN even while unread bytes wait.
    while (m_fd >= 0 && !Stopping()) {
        std::array<pollfd, 2> fds{{{m_fd, POLLRDHUP, 0}, {m_server.wakeFd(), POLLIN, 0}}};
        const int rc = ::poll(fds.data(), fds.size(), -1);
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc < 0 || fds[1].revents != 0 || fds[0].revents != 0) {
            return;
        }
    }
}

void Connection::Reset() {
    if (m_fd >= 0) {
        const linger abort{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        CloseFd(m_fd);
    }
}

// Ends our side with FIN and waits for the peer to close before the socket
// is closed, so that unread request bytes never turn the close into a reset
// that could destroy the reply in flight.
void Connection::FinishAndClose(std::chrono::milliseconds drainLimit) {
    if (m_fd < 0) {
        return;
    }
    ::shutdown(m_fd, SHUT_WR);
    const auto deadline = DeadlineAfter(drainLimit);
    std::array<char, kChunk> scratch{};
    while (WaitReady(POLLIN, deadline)) {
        const ssize_t got = ::recv(m_fd, scratch.data(), scratch.size(), MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            break;
        }
    }
    CloseFd(m_fd);
}

// ---------------------------------------------------------------- HttpServer

HttpServer::HttpServer(Handler handler, Observer rejected, ServerOptions options)
    : m_handler(std::move(handler)), m_rejected(std::move(rejected)), m_options(options) {
    try {
        std::array<int, 2> pipeFds{-1, -1};
        if (::pipe2(pipeFds.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
            ThrowErrno("pipe2");
        }
        m_wakeRead = pipeFds[0];
        m_wakeWrite = pipeFds[1];

        m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_listenFd < 0) {
            ThrowErrno("socket");
        }
        const int on = 1;
        ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(m_options.port);
        if (::bind(m_listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ThrowErrno("bind");
        }
        if (::listen(m_listenFd, 64) != 0) {
            ThrowErrno("listen");
        }
        socklen_t length = sizeof address;
        if (::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ThrowErrno("getsockname");
        }
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { AcceptLoop(); });
    } catch (...) {
        CloseFd(m_listenFd);
        CloseFd(m_wakeRead);
        CloseFd(m_wakeWrite);
        throw;
    }
}

HttpServer::~HttpServer() {
    Stop();
}

void HttpServer::Stop() {
    std::lock_guard lock(m_stopMutex);
    if (m_wakeWrite < 0) {
        return;  // already stopped
    }
    m_stopping = true;
    // The byte is never read: the pipe stays readable, so every present and
    // future poll on it returns at once.
    const char wake = 1;
    while (::write(m_wakeWrite, &wake, 1) < 0 && errno == EINTR) {
    }
    if (m_acceptor.joinable()) {
        m_acceptor.join();
    }
    ReapFinished(true);
    CloseFd(m_listenFd);
    CloseFd(m_wakeWrite);
    CloseFd(m_wakeRead);
}

void HttpServer::ReapFinished(bool all) {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (all || it->done.load()) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

void HttpServer::AcceptLoop() {
    while (!m_stopping.load()) {
        std::array<pollfd, 2> fds{{{m_listenFd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[1].revents != 0) {
            break;
        }
        ReapFinished(false);
        sockaddr_in address{};
        socklen_t length = sizeof address;
        int fd = ::accept4(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length,
                           SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of resources: back off briefly instead of spinning on
                // the pending connection; a stop still ends the wait.
                pollfd wake{m_wakeRead, POLLIN, 0};
                ::poll(&wake, 1, 50);
            }
            continue;
        }
        if (m_workers.size() >= m_options.maxConnections) {
            CloseFd(fd);
            continue;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        auto& worker = m_workers.emplace_back();
        try {
            worker.thread = std::thread([this, fd, peer = PeerText(address), &worker] {
                Serve(fd, peer);
                worker.done = true;
            });
        } catch (const std::system_error&) {
            m_workers.pop_back();
            CloseFd(fd);
        }
    }
}

void HttpServer::Serve(int fd, std::string peer) {
    Connection connection(fd, peer, *this);
    HttpRequest request;
    request.peer = std::move(peer);
    const auto deadline = DeadlineAfter(m_options.idleTimeout);

    auto reject = [&](std::string why) {
        request.error = std::move(why);
        if (m_rejected) {
            m_rejected(request);
        }
        connection.Send(FormatResponse(400, "Bad Request", "text/plain", "Bad Request"));
        connection.FinishAndClose(m_options.idleTimeout);
    };

    // The header block, up to CR LF CR LF, within its limit. Reads may bring
    // body bytes along; they stay in `buffer`.
    std::string buffer;
    std::array<char, kChunk> chunk{};
    std::size_t headEnd = std::string::npos;
    std::size_t scanFrom = 0;  // the terminator may straddle two reads
    for (;;) {
        const auto end = buffer.find(kHeadEnd, scanFrom);
        if (end != std::string::npos) {
            headEnd = end + kHeadEnd.size();
            break;
        }
        if (buffer.size() >= m_options.maxHeaderBytes) {
            break;
        }
        scanFrom = buffer.size() >= 3 ? buffer.size() - 3 : 0;
        if (!connection.WaitReady(POLLIN, deadline)) {
            return;
        }
        const ssize_t got = ::recv(connection.m_fd, chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (got > 0) {
            buffer.append(chunk.data(), static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            return;  // the peer left before its request was complete
        }
    }
    if (headEnd == std::string::npos || headEnd > m_options.maxHeaderBytes) {
        request.raw = buffer.substr(0, m_options.maxHeaderBytes);
        reject("request header too large");
        return;
    }

    request.raw = buffer.substr(0, headEnd);
    const auto head = ParseRequestHead(request.raw, request);
    if (!head) {
        reject(request.error);
        return;
    }
    if (head->contentLength > m_options.maxBodyBytes) {
        reject("request body too large");
        return;
    }

    const auto length = static_cast<std::size_t>(head->contentLength);
    std::string rest = buffer.substr(headEnd);
    while (rest.size() < length) {
        if (!connection.WaitReady(POLLIN, deadline)) {
            return;
        }
        const auto want = std::min(chunk.size(), length - rest.size());
        const ssize_t got = ::recv(connection.m_fd, chunk.data(), want, MSG_DONTWAIT);
        if (got > 0) {
            rest.append(chunk.data(), static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            return;
        }
    }
    request.body = rest.substr(0, length);
    request.raw += request.body;
    connection.m_pending = rest.substr(length);

    try {
        m_handler(request, connection);
    } catch (...) {
        // A failing handler must not take the server down; the peer sees
        // the connection close.
    }
    connection.FinishAndClose(m_options.idleTimeout);
}

}  // namespace devicesim
