#pragma once

// The "device" of the fuzz targets that talk TCP: a listening socket on
// 127.0.0.1 and one thread that accepts connections in order and hands each
// to the target's serve function, which owns and ends it.
//
// Connections are ended with Abort, a reset instead of a FIN: a side that
// closes first with a FIN stays in TIME_WAIT, and at thousands of connections
// a second nearly every client port soon meets an old TIME_WAIT of the
// listening port; now and then the kernel refuses that SYN, and the client's
// connect waits out SYN retransmissions for seconds.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <span>
#include <string>
#include <thread>
#include <utility>

class LoopbackPeer {
public:
    explicit LoopbackPeer(std::function<void(int)> serve) : m_serve(std::move(serve)) {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listen < 0 ||
            ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listen, 8) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::abort();
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Accept(); });
    }
    ~LoopbackPeer() {
        ::shutdown(m_listen, SHUT_RDWR);  // wakes the accept
        m_thread.join();
        ::close(m_listen);
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    std::uint16_t Port() const { return m_port; }

    static bool WaitReadable(int connection, std::chrono::milliseconds bound) {
        pollfd p{connection, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(bound.count())) > 0;
    }

    // The request up to its blank line (the requests have no body).
    static std::string ReadRequest(int connection, std::chrono::milliseconds bound) {
        std::string request;
        std::array<char, 1024> buffer{};
        while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(connection, bound)) {
            const long got = ::recv(connection, buffer.data(), buffer.size(), 0);
            if (got <= 0) {
                break;
            }
            request.append(buffer.data(), static_cast<std::size_t>(got));
        }
        return request;
    }

    // False when the client has gone.
    static bool Send(int connection, std::span<const std::uint8_t> bytes) {
        while (!bytes.empty()) {
            const long sent = ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                return false;
            }
            bytes = bytes.subspan(static_cast<std::size_t>(sent));
        }
        return true;
    }

    // Ends the connection with a reset. On loopback what was sent before is
    // normally in the client's receive queue already, and the client reads it
    // before it sees the reset; a target that must be sure waits until the
    // client has read it.
    static void Abort(int connection) {
        const linger abort{1, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        ::close(connection);
    }

private:
    void Accept() {
        for (;;) {
            const int connection = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) {
                return;
            }
            const int one = 1;
            ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            m_serve(connection);
        }
    }

    std::function<void(int)> m_serve;
    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::thread m_thread;
};
