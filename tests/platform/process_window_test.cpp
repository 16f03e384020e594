#include "platform/process_window.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/thread.h"
#include "tests/support/fake_player_process.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using test_support::FakePlayer;
using test_support::ScopedRuntimeDir;
using test_support::TempDir;

constexpr std::uint32_t WM_CLOSE = 0x10;

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// A player that never answers copy-data.
FakePlayer::Options SilentPlayer() {
    FakePlayer::Options options;
    options.acknowledge = false;
    return options;
}

ProcessWindowHandle HandleOf(const FakePlayer& player) {
    return ProcessWindowHandle{static_cast<std::uint32_t>(player.Pid())};
}

class ProcessWindowTest : public testing::Test {
protected:
    ScopedRuntimeDir m_runtime;
    TempDir m_logs;
};

TEST_F(ProcessWindowTest, PostedMessagesAndCopyDataArriveInOrder) {
    FakePlayer player(m_logs / "player.log");
    const ProcessWindowHandle window = HandleOf(player);
    ASSERT_TRUE(IsProcessWindow(window));
    EXPECT_TRUE(PostProcessWindowMessage(window, 0x111, 1, 2));
    EXPECT_TRUE(PostProcessWindowMessage(window, 0x400, ~0ull, 0x1122334455667788ull));
    // Copy-data carries data and is never posted.
    EXPECT_FALSE(PostProcessWindowMessage(window, kCopyDataMessage, 0, 0));

    const std::vector<std::uint8_t> data = {'a', 'b', 'c', 0x00, 0xFF};
    const CopyDataReply reply = SendProcessWindowCopyData(window, 7, data);
    ASSERT_EQ(reply.status, CopyDataStatus::Acknowledged);
    EXPECT_EQ(reply.result, data.size());

    // The answer came after everything posted before it was logged.
    EXPECT_EQ(player.LogLines(),
              (std::vector<std::string>{"ready", "message 111 1 2",
                                        "message 400 ffffffffffffffff 1122334455667788",
                                        "copydata 7 5 61626300ff"}));
}

TEST_F(ProcessWindowTest, CopyDataSizeLimits) {
    FakePlayer player(m_logs / "player.log");
    const ProcessWindowHandle window = HandleOf(player);
    struct Case {
        std::size_t size;
        CopyDataStatus status;
    };
    for (const Case c : {Case{0, CopyDataStatus::Acknowledged},
                         Case{kMaxCopyDataBytes, CopyDataStatus::Acknowledged},
                         Case{kMaxCopyDataBytes + 1, CopyDataStatus::Failed}}) {
        const std::vector<std::uint8_t> data(c.size, 0x5A);
        const CopyDataReply reply = SendProcessWindowCopyData(window, 1, data);
        EXPECT_EQ(reply.status, c.status) << c.size;
        if (c.status == CopyDataStatus::Acknowledged) {
            EXPECT_EQ(reply.result, c.size);
        }
    }
}

TEST_F(ProcessWindowTest, UnansweredCopyDataTimesOut) {
    FakePlayer player(m_logs / "player.log", SilentPlayer());
    ManualClock clock;
    clock.SetInstantWaitTimeouts(true);
    ScopedClockSource useClock(clock);
    const CopyDataReply reply = SendProcessWindowCopyData(HandleOf(player), 3, Bytes("file"),
                                                          std::chrono::milliseconds(5000));
    EXPECT_EQ(reply.status, CopyDataStatus::TimedOut);
    EXPECT_EQ(clock.WaitTimeouts(),
              std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(5000)});
}

TEST_F(ProcessWindowTest, WaitForAnAnswerEndsOnStop) {
    FakePlayer player(m_logs / "player.log", SilentPlayer());
    const ProcessWindowHandle window = HandleOf(player);
    Event waiting(true, false);
    std::atomic<CopyDataStatus> status{CopyDataStatus::Acknowledged};
    Thread thread;
    ASSERT_TRUE(thread.Start([&] {
        waiting.Set();
        status =
            SendProcessWindowCopyData(window, 3, Bytes("file"), std::chrono::minutes(10)).status;
        return 0u;
    }));
    ASSERT_EQ(waiting.Wait(std::chrono::seconds(30)), WaitResult::Signaled);
    EXPECT_EQ(thread.Stop(std::chrono::seconds(30)), StopOutcome::Ended);
    EXPECT_EQ(status.load(), CopyDataStatus::Stopped);
}

TEST_F(ProcessWindowTest, ExitMessageEndsThePlayerAndRemovesItsEndpoint) {
    FakePlayer player(m_logs / "player.log");
    const auto path = ProcessWindowPath(static_cast<std::uint32_t>(player.Pid()));
    ASSERT_TRUE(path);
    struct stat st {};
    ASSERT_EQ(::lstat(path->c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::lstat(path->parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ASSERT_TRUE(PostProcessWindowMessage(HandleOf(player), WM_CLOSE, 0, 0));
    ASSERT_TRUE(player.WaitForExit(std::chrono::seconds(30)));
    EXPECT_TRUE(WIFEXITED(*player.ExitStatus()));
    EXPECT_EQ(WEXITSTATUS(*player.ExitStatus()), 0);
    EXPECT_EQ(player.LogLines().back(), "exit");
    EXPECT_FALSE(fs::exists(*path));
}

TEST_F(ProcessWindowTest, FileLeftByADeadProcessIsNoWindow) {
    FakePlayer player(m_logs / "player.log");
    const ProcessWindowHandle window = HandleOf(player);
    player.Kill();
    const auto path = ProcessWindowPath(window.pid);
    ASSERT_TRUE(path && fs::exists(*path));  // SIGKILL left the file behind

    EXPECT_FALSE(IsProcessWindow(window));
    EXPECT_FALSE(PostProcessWindowMessage(window, 0x111, 0, 0));
    EXPECT_EQ(SendProcessWindowCopyData(window, 1, Bytes("x")).status, CopyDataStatus::NoWindow);
    EXPECT_TRUE(EnumerateProcessWindows().empty());
}

TEST_F(ProcessWindowTest, EndpointUnderAnotherProcessIdIsRefused) {
    FakePlayer player(m_logs / "player.log");
    const auto own = ProcessWindowPath(static_cast<std::uint32_t>(player.Pid()));
    // A live endpoint posing as another process: SO_PEERCRED gives it away.
    const std::uint32_t other = static_cast<std::uint32_t>(player.Pid()) + 100000;
    const auto posing = ProcessWindowPath(other);
    ASSERT_TRUE(own && posing);
    fs::rename(*own, *posing);
    EXPECT_FALSE(IsProcessWindow(ProcessWindowHandle{other}));
    EXPECT_FALSE(PostProcessWindowMessage(ProcessWindowHandle{other}, 0x111, 0, 0));
    EXPECT_TRUE(EnumerateProcessWindows().empty());
    fs::rename(*posing, *own);
    EXPECT_TRUE(IsProcessWindow(HandleOf(player)));
}

TEST_F(ProcessWindowTest, EndpointOwnedByAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a socket to another user";
    }
    FakePlayer player(m_logs / "player.log");
    const auto path = ProcessWindowPath(static_cast<std::uint32_t>(player.Pid()));
    ASSERT_TRUE(path);
    ASSERT_EQ(::chown(path->c_str(), 65534, 65534), 0);
    EXPECT_FALSE(IsProcessWindow(HandleOf(player)));
    EXPECT_FALSE(PostProcessWindowMessage(HandleOf(player), 0x111, 0, 0));
    EXPECT_TRUE(EnumerateProcessWindows().empty());
    ASSERT_EQ(::chown(path->c_str(), ::geteuid(), ::getegid()), 0);
    EXPECT_TRUE(IsProcessWindow(HandleOf(player)));
}

TEST_F(ProcessWindowTest, EnumerationListsLiveEndpointsByProcessId) {
    FakePlayer first(m_logs / "first.log");
    FakePlayer second(m_logs / "second.log");
    FakePlayer dead(m_logs / "dead.log");
    dead.Kill();
    // Names that are not endpoints are passed over.
    for (const char* name : {"player-.sock", "player-012.sock", "player-12x.sock", "other-1.sock",
                             "player-99999999999.sock"}) {
        std::ofstream(m_runtime.path() / "kestrune" / name) << "x";
    }
    std::vector<std::uint32_t> expected = {static_cast<std::uint32_t>(first.Pid()),
                                           static_cast<std::uint32_t>(second.Pid())};
    std::ranges::sort(expected);
    std::vector<std::uint32_t> pids;
    for (const ProcessWindowInfo& info : EnumerateProcessWindows()) {
        pids.push_back(info.pid);
        EXPECT_EQ(info.className, "player");
        EXPECT_EQ(info.handle, ProcessWindowHandle{info.pid});
    }
    EXPECT_EQ(pids, expected);
}

// ----------------------------------------------------- the endpoint itself

// A raw connection to an endpoint, for packets no well-behaved sender makes.
int ConnectRaw(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    return fd;
}

TEST_F(ProcessWindowTest, EndpointReceivesInPostingOrder) {
    ProcessWindowEndpoint endpoint;
    const ProcessWindowHandle self{static_cast<std::uint32_t>(::getpid())};
    for (std::uint32_t i = 0; i < 20; ++i) {
        ASSERT_TRUE(PostProcessWindowMessage(self, 0x400 + i, i, ~std::uint64_t{i}));
    }
    for (std::uint32_t i = 0; i < 20; ++i) {
        ProcessWindowEndpoint::Received in;
        ASSERT_EQ(endpoint.Receive(std::chrono::seconds(30), in), WaitResult::Signaled);
        EXPECT_EQ(in.kind, ProcessWindowEndpoint::Received::Kind::Message);
        EXPECT_EQ(in.message, 0x400 + i);
        EXPECT_EQ(in.wParam, i);
        EXPECT_EQ(in.lParam, ~std::uint64_t{i});
    }
}

// One kept connection for a run of posts: the order holds also past the
// point where that connection's queue is full and a new one takes over (far
// more posts than one connection queues, none received meanwhile).
TEST_F(ProcessWindowTest, PosterKeepsThePostingOrderOverItsConnections) {
    ProcessWindowEndpoint endpoint;
    const ProcessWindowHandle self{static_cast<std::uint32_t>(::getpid())};
    ProcessWindowPoster poster;
    constexpr std::uint32_t kPosts = 2000;
    for (std::uint32_t i = 0; i < kPosts; ++i) {
        ASSERT_TRUE(poster.Post(self, 0x400, i, ~std::uint64_t{i})) << i;
    }
    EXPECT_FALSE(poster.Post(self, kCopyDataMessage, 0, 0));
    for (std::uint32_t i = 0; i < kPosts; ++i) {
        ProcessWindowEndpoint::Received in;
        ASSERT_EQ(endpoint.Receive(std::chrono::seconds(30), in), WaitResult::Signaled);
        ASSERT_EQ(in.message, 0x400u);
        ASSERT_EQ(in.wParam, i);
        ASSERT_EQ(in.lParam, ~std::uint64_t{i});
    }
}

// The kept connection reaches only the window it was made for: another
// window gets its own, and a window that has gone is not reached.
TEST_F(ProcessWindowTest, PosterFollowsTheWindowAndNoticesItGone) {
    FakePlayer first(m_logs / "first.log");
    FakePlayer second(m_logs / "second.log");
    ProcessWindowPoster poster;
    EXPECT_TRUE(poster.Post(HandleOf(first), 0x111, 1, 0));
    EXPECT_TRUE(poster.Post(HandleOf(second), 0x111, 2, 0));
    EXPECT_TRUE(poster.Post(HandleOf(first), 0x111, 3, 0));
    // The answer to a copy-data comes after the posts before it are logged.
    ASSERT_EQ(SendProcessWindowCopyData(HandleOf(first), 1, Bytes("x")).status,
              CopyDataStatus::Acknowledged);
    ASSERT_EQ(SendProcessWindowCopyData(HandleOf(second), 1, Bytes("x")).status,
              CopyDataStatus::Acknowledged);
    EXPECT_EQ(first.LogLines(), (std::vector<std::string>{"ready", "message 111 1 0",
                                                          "message 111 3 0", "copydata 1 1 78"}));
    EXPECT_EQ(second.LogLines(),
              (std::vector<std::string>{"ready", "message 111 2 0", "copydata 1 1 78"}));
    first.Kill();
    EXPECT_FALSE(poster.Post(HandleOf(first), 0x111, 4, 0));
    EXPECT_FALSE(poster.Post(HandleOf(first), 0x111, 5, 0));
}

TEST_F(ProcessWindowTest, EndpointDropsMalformedPackets) {
    ProcessWindowEndpoint endpoint;
    const auto packet = [](std::initializer_list<std::uint8_t> bytes) {
        return std::vector<std::uint8_t>(bytes);
    };
    std::vector<std::uint8_t> oversized(12 + kMaxCopyDataBytes + 1, 0);
    oversized[0] = 0x4A;
    const std::uint32_t big = kMaxCopyDataBytes + 1;
    std::memcpy(&oversized[8], &big, 4);
    const std::vector<std::vector<std::uint8_t>> bad = {
        packet(
            {0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),  // 23 bytes
        packet({0x11, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),            // pad not 0
        packet({0x4A, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 'a', 'b'}),  // cbData 3, 2 bytes follow
        packet({0x4A, 0, 0, 0, 0, 0, 0, 0}),                        // header cut short
        oversized,
    };
    for (const auto& bytes : bad) {
        const int fd = ConnectRaw(endpoint.Path());
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
        // A well-formed packet after the bad one on the same connection is
        // never read: the connection was dropped.
        const std::array<std::uint8_t, 24> after{0x99};
        ::send(fd, after.data(), after.size(), MSG_NOSIGNAL);
        ::close(fd);
    }
    const int good = ConnectRaw(endpoint.Path());
    const std::array<std::uint8_t, 15> copy{0x4A, 0, 0, 0, 9, 0, 0, 0, 3, 0, 0, 0, 'x', 'y', 'z'};
    ASSERT_EQ(::send(good, copy.data(), copy.size(), MSG_NOSIGNAL), 15);

    ProcessWindowEndpoint::Received in;
    ASSERT_EQ(endpoint.Receive(std::chrono::seconds(30), in), WaitResult::Signaled);
    EXPECT_EQ(in.kind, ProcessWindowEndpoint::Received::Kind::CopyData);
    EXPECT_EQ(in.dwData, 9u);
    EXPECT_EQ(in.data, Bytes("xyz"));
    EXPECT_TRUE(endpoint.Acknowledge(in, 0xABCDEF0123ull));
    EXPECT_FALSE(endpoint.Acknowledge(in, 1));  // answered once only
    std::array<std::uint8_t, 32> answer{};
    ASSERT_EQ(::recv(good, answer.data(), answer.size(), 0), 16);
    EXPECT_EQ(std::vector<std::uint8_t>(answer.begin(), answer.begin() + 16),
              (std::vector<std::uint8_t>{0x4A, 0, 0, 0, 0, 0, 0, 0, 0x23, 0x01, 0xEF, 0xCD, 0xAB, 0,
                                         0, 0}));
    ::close(good);

    ManualClock clock;
    clock.SetInstantWaitTimeouts(true);
    ScopedClockSource useClock(clock);
    EXPECT_EQ(endpoint.Receive(std::chrono::seconds(5), in), WaitResult::Timeout);
}

TEST_F(ProcessWindowTest, AnswerToASenderThatLeftFails) {
    ProcessWindowEndpoint endpoint;
    const int fd = ConnectRaw(endpoint.Path());
    const std::array<std::uint8_t, 12> copy{0x4A, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(::send(fd, copy.data(), copy.size(), MSG_NOSIGNAL), 12);
    ::close(fd);
    ProcessWindowEndpoint::Received in;
    ASSERT_EQ(endpoint.Receive(std::chrono::seconds(30), in), WaitResult::Signaled);
    ASSERT_EQ(in.kind, ProcessWindowEndpoint::Received::Kind::CopyData);
    EXPECT_FALSE(endpoint.Acknowledge(in, 1));
}

TEST_F(ProcessWindowTest, EndpointReplacesAFileLeftUnderItsProcessId) {
    const auto path = ProcessWindowPath(static_cast<std::uint32_t>(::getpid()));
    ASSERT_TRUE(path);
    {
        // A socket bound and abandoned, as by a process that had our id.
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path->c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    {
        ProcessWindowEndpoint endpoint;
        EXPECT_TRUE(IsProcessWindow(ProcessWindowHandle{static_cast<std::uint32_t>(::getpid())}));
    }
    EXPECT_FALSE(fs::exists(*path));
}

TEST_F(ProcessWindowTest, ReceiveEndsOnStop) {
    std::atomic<WaitResult> result{WaitResult::Signaled};
    Event waiting(true, false);
    Thread thread;
    ASSERT_TRUE(thread.Start([&] {
        ProcessWindowEndpoint endpoint;
        ProcessWindowEndpoint::Received in;
        waiting.Set();
        result = endpoint.Receive(std::chrono::milliseconds(-1), in);
        return 0u;
    }));
    ASSERT_EQ(waiting.Wait(std::chrono::seconds(30)), WaitResult::Signaled);
    EXPECT_EQ(thread.Stop(std::chrono::seconds(30)), StopOutcome::Ended);
    EXPECT_EQ(result.load(), WaitResult::Stopped);
}

}  // namespace
}  // namespace platform
