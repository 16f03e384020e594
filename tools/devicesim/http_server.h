#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "tools/devicesim/http_request.h"

namespace devicesim {

class HttpServer;

// One accepted connection, handed to the request handler after its request
// has been read. The handler writes whatever bytes it likes, for as long as
// it likes (a live stream writes frames until Send fails); every blocking
// call here also returns as soon as the server stops. When the handler
// returns, the server sends FIN and closes once the peer has closed too.
class Connection {
public:
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    // Sends all bytes. False when the peer has gone, the connection was
    // reset, or the server is stopping.
    bool Send(std::string_view bytes);

    // Reads further bytes: first those that arrived behind the request,
    // then from the socket. Returns 0 when the peer closed, on an error or
    // when the server stops.
    std::size_t Receive(std::span<char> buffer);

    // Waits for `duration` (for pacing a stream). False when the server is
    // stopping, at once.
    bool Pause(std::chrono::milliseconds duration);

    // Reads and discards until the peer closes or the server stops:
    // a device that has been told something and never answers.
    void HoldUntilPeerCloses();

    // Reads nothing and waits until the peer closes or resets, or the
    // server stops: a device that stopped taking a transfer half-way.
    void HoldWithoutReading();

    // Abortive close: SO_LINGER 0, so the peer sees a reset.
    void Reset();

    bool Stopping() const;
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& peer() const { return m_peer; }

private:
    friend class HttpServer;
    Connection(int fd, std::string peer, const HttpServer& server);

    // Waits until the socket is ready for `events` or the deadline passes.
    // False on stop, time-out or poll error.
    bool WaitReady(short events, std::chrono::steady_clock::time_point deadline) const;
    void FinishAndClose(std::chrono::milliseconds drainLimit);

    int m_fd;
    std::string m_peer;
    const HttpServer& m_server;
    std::string m_pending;  // bytes read past the request, handed out by Receive
};

struct ServerOptions {
    std::uint16_t port = 0;  // 0: an ephemeral port chosen by the system
    std::size_t maxHeaderBytes = 16 * 1024;
    std::size_t maxBodyBytes = 16 * 1024 * 1024;
    std::size_t maxConnections = 128;  // further connections are closed at once
    // Limit for reading a request and for waiting for the peer's close after
    // the reply; zero waits without limit (until the server stops).
    std::chrono::milliseconds idleTimeout{0};
};

// A small HTTP/1.1 server on 127.0.0.1: one thread accepts, one thread per
// connection reads one request and runs the handler. Malformed or oversized
// requests are shown to the rejection observer and answered with 400.
class HttpServer {
public:
    using Handler = std::function<void(const HttpRequest&, Connection&)>;
    using Observer = std::function<void(const HttpRequest&)>;

    // Binds and starts listening; throws std::system_error when it cannot.
    HttpServer(Handler handler, Observer rejected = {}, ServerOptions options = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::uint16_t port() const { return m_port; }

    // Closes the listener, wakes every wait of every connection, and joins
    // all threads. Idempotent. Must not be called from a handler.
    void Stop();
    bool Stopping() const { return m_stopping.load(); }

private:
    friend class Connection;
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void AcceptLoop();
    void Serve(int fd, std::string peer);
    void ReapFinished(bool all);
    int wakeFd() const { return m_wakeRead; }

    Handler m_handler;
    Observer m_rejected;
    ServerOptions m_options;
    int m_listenFd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::mutex m_stopMutex;
    std::list<Worker> m_workers;  // touched only by the accept thread until it has ended
    std::thread m_acceptor;
};

// "HTTP/1.1 <status> <reason>" and the given header lines, ended by the blank line.
std::string FormatResponseHead(int status, std::string_view reason, const NameValueList& headers);

// A complete reply with Content-Type, Content-Length and Connection: close.
std::string FormatResponse(int status, std::string_view reason, std::string_view contentType,
                           std::string_view body);

}  // namespace devicesim
