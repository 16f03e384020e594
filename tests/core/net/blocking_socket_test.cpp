#include "core/net/blocking_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <numeric>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <netdb.h>

#include "platform/clock.h"
#include "platform/stop_token.h"
#include "platform/thread.h"
#include "tests/core/held_resolver.h"

namespace {

using namespace std::chrono_literals;

// ------------------------------------------------------------------ test peer
// The peer side is written on plain POSIX sockets, independent of the code
// under test.

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        Reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    ~Fd() { Reset(); }
    void Reset(int fd = -1) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }
    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sa;
}

// A listening TCP socket on 127.0.0.1 with a free port.
class Listener {
public:
    explicit Listener(int backlog = 8, int receiveBuffer = 0)
        : m_fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        if (receiveBuffer > 0) {
            // Inherited by accepted sockets; keeps the window small.
            ::setsockopt(m_fd.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
        sockaddr_in sa = Loopback(0);
        EXPECT_EQ(::bind(m_fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        EXPECT_EQ(::listen(m_fd.get(), backlog), 0);
        socklen_t length = sizeof sa;
        ::getsockname(m_fd.get(), reinterpret_cast<sockaddr*>(&sa), &length);
        m_port = ntohs(sa.sin_port);
    }
    std::uint16_t Port() const { return m_port; }
    CSocketAddress Address() const { return CSocketAddress("127.0.0.1", m_port); }
    Fd Accept() const { return Fd(::accept(m_fd.get(), nullptr, nullptr)); }

private:
    Fd m_fd;
    std::uint16_t m_port = 0;
};

// A port on 127.0.0.1 where nothing listens.
std::uint16_t RefusedPort() {
    Listener listener;
    return listener.Port();  // closed on return
}

// A plain blocking client connection.
Fd ConnectPlain(std::uint16_t port) {
    Fd fd(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in sa = Loopback(port);
    EXPECT_EQ(::connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    return fd;
}

void SendAllPlain(int fd, const std::string& data) {
    ASSERT_EQ(::send(fd, data.data(), data.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(data.size()));
}

void ResetPlain(Fd& fd) {
    const linger abort{1, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    fd.Reset();  // sends RST
}

void WaitReadable(int fd) {
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, -1), 1);
}

// The scheduler state of a thread ('S' while it sleeps in a wait), '?' when
// it cannot be read (the thread has ended).
char ThreadState(pid_t tid) {
    const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
    Fd stat(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::array<char, 512> content{};
    const ssize_t n = stat.get() < 0 ? -1 : ::read(stat.get(), content.data(), content.size() - 1);
    if (n <= 0) {
        return '?';
    }
    const std::string_view text(content.data(), static_cast<std::size_t>(n));
    const std::size_t close = text.rfind(')');
    return close == std::string_view::npos || close + 2 >= text.size() ? '?' : text[close + 2];
}

// Tracks a worker thread: its id once it runs, and whether it has finished.
struct WorkerState {
    std::atomic<pid_t> tid{0};
    std::atomic<bool> done{false};

    void Started() { tid = ::gettid(); }
    void Finished() { done = true; }

    // Returns once the worker sleeps in a wait or has already finished.
    void WaitUntilSleeping() const {
        while (!done.load() && (tid.load() == 0 || ThreadState(tid.load()) != 'S')) {
            std::this_thread::yield();
        }
    }
};

// A connected pair: our socket as the client, the peer's accepted end.
struct Connection {
    Listener listener;
    CBlockingSocket socket;
    Fd peer;

    Connection() {
        socket.Create(SOCK_STREAM);
        socket.Connect(listener.Address());
        peer = listener.Accept();
    }
    explicit Connection(int peerReceiveBuffer) : listener(8, peerReceiveBuffer) {
        socket.Create(SOCK_STREAM);
        socket.Connect(listener.Address());
        peer = listener.Accept();
    }
};

template <typename F>
std::string ThrownText(F&& operation) {
    try {
        operation();
    } catch (const CBlockingSocketException& e) {
        return e.GetOperation();
    }
    return "(nothing thrown)";
}

// --------------------------------------------------------------- CSocketAddress

TEST(SocketAddress, DottedTextIsLaidOutAsSockaddrIn) {
    const CSocketAddress address("192.168.1.10", 80);
    std::array<std::uint8_t, 16> bytes{};
    std::memcpy(bytes.data(), static_cast<const sockaddr*>(address), bytes.size());
    const std::uint16_t family = AF_INET;
    std::array<std::uint8_t, 16> expected{0, 0, 0x00, 0x50, 192, 168, 1, 10};
    std::memcpy(expected.data(), &family, sizeof family);
    EXPECT_EQ(bytes, expected);
    EXPECT_TRUE(address.IsValid());
    EXPECT_EQ(address.GetHostOrderIp(), 0xC0A8010Au);
}

TEST(SocketAddress, MalformedTextIsInvalidAndNeverBroadcast) {
    for (const char* text : {"300.1.1.1", "1.2.3", "1.2.3.4.5", "255.255.255.256", "", "abc",
                             "1.2.3.4 ", "0x7f.0.0.1"}) {
        const CSocketAddress address(text, 80);
        EXPECT_FALSE(address.IsValid()) << text;
        EXPECT_NE(address.GetHostOrderIp(), 0xFFFFFFFFu) << text;
    }
    EXPECT_TRUE(CSocketAddress("255.255.255.255", 1).IsValid());  // said on purpose
}

TEST(SocketAddress, InvalidAddressIsRefusedByEveryOperation) {
    const CSocketAddress bad("300.1.1.1", 7777);
    CBlockingSocket tcp;
    tcp.Create(SOCK_STREAM);
    EXPECT_EQ(ThrownText([&] { tcp.Connect(bad); }), "Connect");
    CBlockingSocket udp;
    udp.Create(SOCK_DGRAM);
    udp.SetSockOpt();
    EXPECT_EQ(ThrownText([&] { udp.Bind(bad); }), "Bind");
    EXPECT_EQ(ThrownText([&] { udp.SendDatagram("x", 1, bad, 1); }), "SendDatagram");
    udp.m_saTarget = bad;
    EXPECT_EQ(ThrownText([&] { udp.Sendto("x", 1); }), "Sendto");
}

// -------------------------------------------------------------- name lookups

TEST(GetHostByName, DottedTextAndLocalhost) {
    CSocketAddress address = CBlockingSocket::GetHostByName("192.168.1.10", 8080);
    EXPECT_EQ(address.GetHostOrderIp(), 0xC0A8010Au);
    EXPECT_EQ(
        ntohs(
            reinterpret_cast<const sockaddr_in*>(static_cast<const sockaddr*>(address))->sin_port),
        8080);
    address = CBlockingSocket::GetHostByName("localhost", 80);
    EXPECT_EQ(address.GetHostOrderIp() >> 24, 127u);
}

TEST(GetHostByName, WrongAddressesAndUnknownNamesThrow) {
    for (const char* text : {"300.1.1.1", "1.2.3", "1.2.3.4.5", "123", "0x7f.1", "1.2.3.4.", "",
                             "no-such-host.invalid"}) {
        EXPECT_EQ(ThrownText([&] { CBlockingSocket::GetHostByName(text, 80); }), "GetHostByName")
            << text;
    }
}

// A lookup that the resolver holds ends as soon as its thread is asked to
// stop; the resolver finishes alone, and later lookups get its answers.
TEST(BlockingSocket, AStopRequestEndsANameLookup) {
    core_test::HeldResolver held;
    int error = -1;
    platform::Thread thread;
    ASSERT_TRUE(thread.Start([&error] {
        try {
            CBlockingSocket::GetHostByName("recorder.example", 80);
            error = 0;
        } catch (const CBlockingSocketException& e) {
            error = e.GetError();
        }
        return 0u;
    }));
    ASSERT_TRUE(held.WaitEntered(1));
    EXPECT_EQ(thread.Stop(5s), platform::StopOutcome::Ended);
    EXPECT_EQ(error, ECANCELED);

    held.Release();
    EXPECT_TRUE(WaitForNameLookups(30s));
    EXPECT_EQ(CBlockingSocket::GetHostByName("recorder.example", 80).GetHostOrderIp(),
              core_test::HeldResolver::kAnswer);
}

TEST(GetHostByName, ResolverFailureThrowsItsCode) {
    const HostResolver previous =
        SetHostResolver([](const std::string&, std::uint32_t&) { return EAI_NONAME; });
    int error = 0;
    try {
        CBlockingSocket::GetHostByName("recorder.example", 80);
    } catch (const CBlockingSocketException& e) {
        error = e.GetError();
    }
    EXPECT_EQ(error, EAI_NONAME);
    SetHostResolver(previous);
    EXPECT_TRUE(WaitForNameLookups(30s));
}

TEST(GetHostByAddr, LoopbackHasAName) {
    EXPECT_FALSE(CBlockingSocket::GetHostByAddr(CSocketAddress("127.0.0.1", 0)).empty());
    EXPECT_EQ(ThrownText([] { CBlockingSocket::GetHostByAddr(CSocketAddress("1.2.3", 0)); }),
              "GetHostByAddr");
}

TEST(GetLocalIPText, IsDottedIPv4) {
    const std::string text = GetLocalIPText();
    EXPECT_TRUE(CSocketAddress(text, 0).IsValid()) << text;
}

// ------------------------------------------------------------ socket lifetime

TEST(BlockingSocket, NoSocketMeansMinusOneAndCloseDoesNothing) {
    CBlockingSocket socket;
    EXPECT_EQ(socket.GetSocketHandle(), -1);
    char buffer[4];
    EXPECT_EQ(socket.Receive(buffer, sizeof buffer, 0), -1);
    EXPECT_NO_THROW(socket.Close());
    EXPECT_NO_THROW(socket.CloseQuietly());
    EXPECT_FALSE(socket.IsConnected());
}

TEST(BlockingSocket, ASocketIsClosedExactlyOnce) {
    Listener listener;
    auto socket = std::make_unique<CBlockingSocket>();
    socket->Create(SOCK_STREAM);
    socket->Connect(listener.Address());
    EXPECT_TRUE(socket->IsConnected());
    const int fd = socket->GetSocketHandle();
    socket->Close();
    EXPECT_FALSE(socket->IsConnected());
    // The number is free again and is handed to the next open; closing the
    // socket object again must not touch it.
    Fd other(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(other.get(), fd);
    socket->Close();
    socket->CloseQuietly();
    socket.reset();
    EXPECT_NE(::fcntl(other.get(), F_GETFD), -1);
}

TEST(BlockingSocket, DescriptorZeroIsASocket) {
    Listener listener;
    CBlockingSocket socket;
    socket.Create(SOCK_STREAM);  // its helper descriptors are in place now
    Fd savedStdin(::dup(0));
    ASSERT_GE(savedStdin.get(), 0);
    ::close(0);
    socket.Create(SOCK_STREAM);  // the lowest free number, 0, is the new socket
    const int handle = socket.GetSocketHandle();
    int received = 0;
    bool closedByClose = false;
    if (handle == 0) {
        socket.Connect(listener.Address());
        Fd peer = listener.Accept();
        SendAllPlain(peer.get(), "hi");
        char buffer[4];
        received = socket.Receive(buffer, sizeof buffer, 5);
        socket.Close();
        closedByClose = ::fcntl(0, F_GETFD) == -1;
    }
    ::dup2(savedStdin.get(), 0);
    ASSERT_EQ(handle, 0);
    EXPECT_EQ(received, 2);
    EXPECT_TRUE(closedByClose);
}

// ------------------------------------------------------------------- connect

TEST(BlockingSocket, ConnectToARefusedPortThrows) {
    CBlockingSocket socket;
    socket.Create(SOCK_STREAM);
    try {
        socket.Connect(CSocketAddress("127.0.0.1", RefusedPort()));
        FAIL() << "connected";
    } catch (const CBlockingSocketException& e) {
        EXPECT_EQ(e.GetOperation(), "Connect");
        EXPECT_EQ(e.GetError(), ECONNREFUSED);
    }
    EXPECT_FALSE(socket.IsConnected());
}

// A listener whose accept queue is full drops new handshakes, so a connect
// to it never completes.
struct FullListener {
    Listener listener{0};
    Fd filler = ConnectPlain(listener.Port());
};

TEST(BlockingSocket, ConnectIsBoundedByItsTimeout) {
    FullListener full;
    CBlockingSocket socket;
    socket.Create(SOCK_STREAM);
    try {
        socket.Connect(full.listener.Address(), 50ms);
        FAIL() << "connected";
    } catch (const CBlockingSocketException& e) {
        EXPECT_EQ(e.GetOperation(), "Connect");
        EXPECT_EQ(e.GetError(), ETIMEDOUT);
    }
}

// -------------------------------------------------------------------- receive

TEST(BlockingSocket, ReceiveWithTimeoutZero) {
    Connection c;
    char buffer[16];
    EXPECT_EQ(c.socket.Receive(buffer, sizeof buffer, 0), -1);
    SendAllPlain(c.peer.get(), "hello");
    WaitReadable(c.socket.GetSocketHandle());
    EXPECT_EQ(c.socket.Receive(buffer, sizeof buffer, 0), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
}

TEST(BlockingSocket, ReceiveTimesOutWithMinusOne) {
    Connection c;
    char buffer[16];
    EXPECT_EQ(c.socket.Receive(buffer, sizeof buffer, 30ms), -1);
}

// Socket waits run in real time and never ask the injectable clock (see
// platform/poll_wait.h): a clock whose timed waits pass at once neither cuts
// a receive short nor hears of it.
TEST(BlockingSocket, WaitsRunInRealTimeNotOnTheInjectableClock) {
    platform::ManualClock clock;
    clock.SetInstantWaitTimeouts(true);
    platform::ScopedClockSource useClock(clock);
    Connection c;
    char buffer[16];
    EXPECT_EQ(c.socket.Receive(buffer, sizeof buffer, 20ms), -1);

    WorkerState state;
    int result = 0;
    std::thread receiver([&] {
        state.Started();
        result = c.socket.Receive(buffer, sizeof buffer, 3600);
        state.Finished();
    });
    state.WaitUntilSleeping();
    SendAllPlain(c.peer.get(), "late");
    receiver.join();
    EXPECT_EQ(result, 4);
    EXPECT_TRUE(clock.WaitTimeouts().empty());
    EXPECT_EQ(clock.NowMs(), 0u);
}

TEST(BlockingSocket, ReceiveTakesAtMostTheCapacity) {
    Connection c;
    SendAllPlain(c.peer.get(), "abcdef");
    char buffer[4];
    WaitReadable(c.socket.GetSocketHandle());
    EXPECT_EQ(c.socket.Receive(buffer, sizeof buffer, 5), 4);
    EXPECT_EQ(c.socket.Receive(buffer, sizeof buffer, 5), 2);
}

TEST(BlockingSocket, ClosedPeerGivesMinusOne) {
    Connection c;
    SendAllPlain(c.peer.get(), "last");
    c.peer.Reset();
    char buffer[16];
    EXPECT_EQ(c.socket.Receive(buffer, sizeof buffer, 5), 4);
    EXPECT_EQ(c.socket.Receive(buffer, sizeof buffer, 5), -1);
}

TEST(BlockingSocket, ResetPeerGivesMinusOneThenSendThrowsWithoutSigpipe) {
    Connection c;
    ResetPlain(c.peer);
    char buffer[16];
    EXPECT_EQ(c.socket.Receive(buffer, sizeof buffer, 5), -1);
    // Without MSG_NOSIGNAL this send would end the test process with SIGPIPE.
    EXPECT_EQ(ThrownText([&] { c.socket.WriteWithSelect("data", 4, 5); }), "Send");
    EXPECT_EQ(ThrownText([&] { c.socket.Send("data", 4, 5); }), "Send");
}

// ---------------------------------------------------------------------- send

std::vector<char> Pattern(std::size_t size) {
    std::vector<char> data(size);
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 131) >> 3);
    }
    return data;
}

// Reads `size` bytes in small pieces on a thread of its own.
std::vector<char> ReadAllSlowly(int fd, std::size_t size) {
    std::vector<char> received;
    received.reserve(size);
    std::array<char, 1000> chunk;
    while (received.size() < size) {
        const ssize_t n = ::recv(fd, chunk.data(), chunk.size(), 0);
        if (n <= 0) {
            break;
        }
        received.insert(received.end(), chunk.data(), chunk.data() + n);
    }
    return received;
}

TEST(BlockingSocket, WriteWithSelectSendsEverythingToASlowReader) {
    Connection c(4096);  // a small receive window forces many partial sends
    const std::vector<char> data = Pattern(4 << 20);
    std::vector<char> received;
    std::jthread reader([&] { received = ReadAllSlowly(c.peer.get(), data.size()); });
    EXPECT_EQ(c.socket.WriteWithSelect(data.data(), static_cast<int>(data.size()), 30),
              static_cast<int>(data.size()));
    reader.join();
    EXPECT_TRUE(received == data);
}

TEST(BlockingSocket, WriteSendsEverythingThroughSend) {
    Connection c(4096);
    const std::vector<char> data = Pattern(1 << 20);
    std::vector<char> received;
    std::jthread reader([&] { received = ReadAllSlowly(c.peer.get(), data.size()); });
    EXPECT_EQ(c.socket.Write(data.data(), static_cast<int>(data.size()), 30),
              static_cast<int>(data.size()));
    reader.join();
    EXPECT_TRUE(received == data);
}

TEST(BlockingSocket, SendTimesOutAgainstAPeerThatNeverReads) {
    Connection c(4096);
    const std::vector<char> data(32 << 20, 'x');  // more than any socket buffers hold
    try {
        c.socket.WriteWithSelect(data.data(), static_cast<int>(data.size()), 50ms);
        FAIL() << "sent everything";
    } catch (const CBlockingSocketException& e) {
        EXPECT_EQ(e.GetOperation(), "Send timeout");
        EXPECT_EQ(e.GetError(), ETIMEDOUT);
    }
    // Send never blocks past its time-out either, even for a huge buffer.
    EXPECT_EQ(ThrownText([&] { c.socket.Send(data.data(), static_cast<int>(data.size()), 20ms); }),
              "Send timeout");
}

// ----------------------------------------------------------------- datagrams

TEST(BlockingSocket, DatagramsRoundTrip) {
    CBlockingSocket receiver;
    receiver.Create(SOCK_DGRAM);
    receiver.Bind(CSocketAddress("127.0.0.1", 0));
    CSocketAddress receiverAddress;
    receiver.GetSockName(receiverAddress);

    CBlockingSocket sender;
    sender.Create(SOCK_DGRAM);
    sender.SetSockOpt();
    sender.Bind(CSocketAddress("127.0.0.1", 0));
    CSocketAddress senderAddress;
    sender.GetSockName(senderAddress);
    sender.m_saTarget = receiverAddress;
    EXPECT_EQ(sender.Sendto("one", 3), 3);
    EXPECT_EQ(sender.SendDatagram("second", 6, receiverAddress, 1), 6);

    char buffer[16];
    CSocketAddress from;
    EXPECT_EQ(receiver.ReceiveDatagram(buffer, sizeof buffer, from, 0), 3);
    EXPECT_EQ(std::string(buffer, 3), "one");
    EXPECT_EQ(std::memcmp(static_cast<const sockaddr*>(from),
                          static_cast<const sockaddr*>(senderAddress), 16),
              0);
    EXPECT_EQ(receiver.ReceiveDatagram(buffer, sizeof buffer, from, 0), 6);
    EXPECT_EQ(std::string(buffer, 6), "second");
}

// -------------------------------------------------------------- listen/accept

TEST(BlockingSocket, AcceptHandsOverTheConnection) {
    CBlockingSocket server;
    server.Create(SOCK_STREAM);
    server.Bind(CSocketAddress("127.0.0.1", 0));
    server.Listen();
    CSocketAddress serverAddress;
    server.GetSockName(serverAddress);

    Fd client = ConnectPlain(
        ntohs(reinterpret_cast<const sockaddr_in*>(static_cast<const sockaddr*>(serverAddress))
                  ->sin_port));
    CBlockingSocket connection;
    CSocketAddress peer;
    ASSERT_TRUE(server.Accept(connection, peer));
    EXPECT_EQ(peer.GetHostOrderIp(), INADDR_LOOPBACK);
    CSocketAddress peerName;
    connection.GetPeerName(peerName);
    EXPECT_EQ(
        std::memcmp(static_cast<const sockaddr*>(peer), static_cast<const sockaddr*>(peerName), 16),
        0);
    SendAllPlain(client.get(), "ping");
    char buffer[8];
    EXPECT_EQ(connection.Receive(buffer, sizeof buffer, 5), 4);
    connection.Close();
    server.Close();
}

// ----------------------------------------------- interrupted and stopped waits

std::atomic<int> g_signalsSeen{0};
void CountSignal(int) {
    g_signalsSeen.fetch_add(1);
}

TEST(BlockingSocket, SignalsNeitherEndAWaitNorCountAsReadiness) {
    struct sigaction action {};
    action.sa_handler = CountSignal;
    action.sa_flags = 0;  // no SA_RESTART: poll fails with EINTR
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

    Connection c;
    WorkerState worker;
    std::atomic<int> result{-2};
    std::jthread receiver([&] {
        worker.Started();
        char buffer[16];
        result = c.socket.Receive(buffer, sizeof buffer, 3600);
        worker.Finished();
    });
    const int before = g_signalsSeen.load();
    for (int i = 1; i <= 3 && !worker.done.load(); ++i) {
        worker.WaitUntilSleeping();
        ::pthread_kill(receiver.native_handle(), SIGUSR1);
        while (!worker.done.load() && g_signalsSeen.load() < before + i) {
            std::this_thread::yield();
        }
    }
    worker.WaitUntilSleeping();
    EXPECT_FALSE(worker.done.load()) << "the wait ended on a signal";
    SendAllPlain(c.peer.get(), "late");
    receiver.join();
    EXPECT_EQ(result.load(), 4);
    ::sigaction(SIGUSR1, &previous, nullptr);
}

// Runs `operation` on a jthread with its own stop token, waits until it sleeps,
// asks it to stop and joins it.
template <typename F>
void RunAndStop(F&& operation) {
    WorkerState state;
    std::jthread worker([&](std::stop_token token) {
        platform::SetCurrentStopToken(token);
        state.Started();
        operation();
        platform::SetCurrentStopToken({});
        state.Finished();
    });
    state.WaitUntilSleeping();
    worker.request_stop();
    worker.join();
}

TEST(BlockingSocket, AStopRequestEndsAReceiveWithALongTimeout) {
    Connection c;
    int result = 0;
    RunAndStop([&] {
        char buffer[16];
        result = c.socket.Receive(buffer, sizeof buffer, 3600);
    });
    EXPECT_EQ(result, -1);
    // The connection itself is untouched: the peer's data still arrives.
    SendAllPlain(c.peer.get(), "ok");
    char buffer[16];
    EXPECT_EQ(c.socket.Receive(buffer, sizeof buffer, 5), 2);
}

TEST(BlockingSocket, AStopRequestEndsTheThrowingWaits) {
    {
        Connection c(4096);
        const std::vector<char> data(32 << 20, 'x');
        std::string thrown;
        RunAndStop([&] {
            thrown = ThrownText([&] {
                c.socket.WriteWithSelect(data.data(), static_cast<int>(data.size()), 3600);
            });
        });
        EXPECT_EQ(thrown, "Send");
    }
    {
        FullListener full;
        CBlockingSocket socket;
        socket.Create(SOCK_STREAM);
        std::string thrown;
        RunAndStop(
            [&] { thrown = ThrownText([&] { socket.Connect(full.listener.Address(), 1h); }); });
        EXPECT_EQ(thrown, "Connect");
    }
    {
        CBlockingSocket udp;
        udp.Create(SOCK_DGRAM);
        udp.Bind(CSocketAddress("127.0.0.1", 0));
        std::string thrown;
        RunAndStop([&] {
            char buffer[8];
            CSocketAddress from;
            thrown = ThrownText([&] { udp.ReceiveDatagram(buffer, sizeof buffer, from, 0); });
        });
        EXPECT_EQ(thrown, "ReceiveDatagram");
    }
}

TEST(BlockingSocket, AStopRequestInterruptsAccept) {
    CBlockingSocket server;
    server.Create(SOCK_STREAM);
    server.Bind(CSocketAddress("127.0.0.1", 0));
    server.Listen();
    bool accepted = true;
    RunAndStop([&] {
        CBlockingSocket connection;
        CSocketAddress peer;
        accepted = server.Accept(connection, peer);
    });
    EXPECT_FALSE(accepted);
}

TEST(BlockingSocket, AStopAlreadyRequestedFailsAtOnce) {
    Connection c;
    std::stop_source source;
    source.request_stop();
    int result = 0;
    std::jthread([&] {
        platform::SetCurrentStopToken(source.get_token());
        char buffer[8];
        result = c.socket.Receive(buffer, sizeof buffer, 3600);
    }).join();
    EXPECT_EQ(result, -1);
}

TEST(BlockingSocket, ShutdownFromAnotherThreadWakesTheOwner) {
    Connection c;
    WorkerState state;
    int result = 0;
    std::jthread owner([&] {
        state.Started();
        char buffer[16];
        result = c.socket.Receive(buffer, sizeof buffer, 3600);
        state.Finished();
    });
    state.WaitUntilSleeping();
    c.socket.Shutdown();
    owner.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ThrownText([&] { c.socket.WriteWithSelect("x", 1, 3600); }), "Send");
}

}  // namespace
