#include "platform/posix_io.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::UniqueFd;

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    return bytes;
}

struct Pipe {
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe2");
        }
        read.Reset(fds[0]);
        write.Reset(fds[1]);
    }
    UniqueFd read;
    UniqueFd write;
};

struct SocketPair {
    SocketPair() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
            throw std::runtime_error("socketpair");
        }
        a.Reset(fds[0]);
        b.Reset(fds[1]);
    }
    UniqueFd a;
    UniqueFd b;
};

// ------------------------------------------------------------------ UniqueFd

TEST(UniqueFdTest, ClosesOnDestructionResetAndMoveAssignment) {
    Pipe pipe;
    const int r = pipe.read.Get();
    const int w = pipe.write.Get();
    {
        UniqueFd moved(std::move(pipe.read));
        EXPECT_FALSE(pipe.read.Valid());
        EXPECT_EQ(moved.Get(), r);
        UniqueFd target;
        target = std::move(moved);
        EXPECT_FALSE(moved);
        EXPECT_TRUE(target);
        EXPECT_TRUE(IsOpen(r));
    }
    EXPECT_FALSE(IsOpen(r));

    UniqueFd other(::dup(w));
    const int dup = other.Get();
    other = std::move(pipe.write);  // the old descriptor goes
    EXPECT_FALSE(IsOpen(dup));
    EXPECT_EQ(other.Get(), w);
    other.Reset();
    EXPECT_FALSE(IsOpen(w));
    EXPECT_EQ(other.Get(), -1);
}

TEST(UniqueFdTest, ReleaseHandsOverAndCloseReportsOnce) {
    Pipe pipe;
    const int r = pipe.read.Release();
    EXPECT_FALSE(pipe.read.Valid());
    EXPECT_TRUE(IsOpen(r));
    UniqueFd again(r);
    EXPECT_TRUE(again.Close());
    EXPECT_FALSE(IsOpen(r));
    EXPECT_FALSE(again.Valid());
    EXPECT_TRUE(again.Close());  // nothing held: nothing to fail

    UniqueFd self(::dup(pipe.write.Get()));
    const int fd = self.Get();
    self = std::move(self);  // no self-close
    EXPECT_TRUE(IsOpen(fd));
}

// ------------------------------------------------------------ reads and writes

// A writer thread hands the bytes over in small pieces, so every read call
// gets only part of what was asked for.
TEST(PosixIoTest, ReadExactlyCollectsShortReads) {
    Pipe pipe;
    const std::vector<std::uint8_t> sent = Pattern(10'000);
    std::thread writer([&] {
        for (std::size_t at = 0; at < sent.size(); at += 333) {
            const std::size_t n = std::min<std::size_t>(333, sent.size() - at);
            ASSERT_TRUE(platform::WriteAll(pipe.write.Get(), sent.data() + at, n));
        }
    });
    std::vector<std::uint8_t> got(sent.size());
    EXPECT_TRUE(platform::ReadExactly(pipe.read.Get(), got));
    writer.join();
    EXPECT_EQ(got, sent);
}

// A socket whose send buffer is far smaller than the data: writes come back
// short while the reader drains it.
TEST(PosixIoTest, WriteAllCompletesShortWrites) {
    SocketPair pair;
    const int small = 4096;
    ASSERT_EQ(::setsockopt(pair.a.Get(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    const std::vector<std::uint8_t> sent = Pattern(2'000'000);
    std::vector<std::uint8_t> got(sent.size());
    std::thread reader([&] {
        std::size_t at = 0;
        while (at < got.size()) {
            const ssize_t n =
                ::read(pair.b.Get(), got.data() + at, std::min<std::size_t>(1000, got.size() - at));
            ASSERT_GT(n, 0);
            at += static_cast<std::size_t>(n);
        }
    });
    EXPECT_TRUE(platform::WriteAll(pair.a.Get(), sent));
    reader.join();
    EXPECT_EQ(got, sent);
}

TEST(PosixIoTest, ReadFullStopsAtTheEndAndReadExactlyRefusesAnEarlyEnd) {
    Pipe pipe;
    ASSERT_TRUE(platform::WriteAll(pipe.write.Get(), std::string_view("abcde")));
    pipe.write.Reset();
    std::vector<std::uint8_t> buffer(8);
    EXPECT_EQ(platform::ReadFull(pipe.read.Get(), buffer), 5);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 5), "abcde");
    EXPECT_EQ(platform::ReadFull(pipe.read.Get(), buffer), 0);

    Pipe second;
    ASSERT_TRUE(platform::WriteAll(second.write.Get(), std::string_view("xy")));
    second.write.Reset();
    EXPECT_FALSE(platform::ReadExactly(second.read.Get(), buffer.data(), 3));
}

TEST(PosixIoTest, ErrorsAreReported) {
    std::vector<std::uint8_t> buffer(4);
    EXPECT_EQ(platform::ReadFull(-1, buffer), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(platform::ReadExactly(-1, buffer));
    EXPECT_FALSE(platform::WriteAll(-1, std::string_view("x")));
    EXPECT_FALSE(platform::WriteAllAt(-1, std::string_view("x"), 0));
    EXPECT_FALSE(platform::ReadExactlyAt(-1, buffer, 0));
    // Nothing to move is never an error, even on a bad descriptor.
    EXPECT_TRUE(platform::WriteAll(-1, std::string_view()));
    EXPECT_TRUE(platform::ReadExactly(-1, std::span<std::uint8_t>()));

    Pipe pipe;
    pipe.read.Reset();
    ::signal(SIGPIPE, SIG_IGN);
    EXPECT_FALSE(platform::WriteAll(pipe.write.Get(), std::string_view("lost")));
    EXPECT_EQ(errno, EPIPE);
}

TEST(PosixIoTest, OffsetReadsAndWritesLeaveTheFilePositionAlone) {
    test_support::TempDir folder;
    UniqueFd fd(::open((folder / "f").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(fd);
    ASSERT_TRUE(platform::WriteAll(fd.Get(), std::string_view("0123456789")));
    ASSERT_TRUE(platform::WriteAllAt(fd.Get(), std::string_view("AB"), 3));
    ASSERT_TRUE(platform::WriteAll(fd.Get(), std::string_view("!")));  // still at the end
    std::array<std::uint8_t, 4> four{};
    ASSERT_TRUE(platform::ReadExactlyAt(fd.Get(), four, 2));
    EXPECT_EQ(std::string(four.begin(), four.end()), "2AB5");
    EXPECT_FALSE(platform::ReadExactlyAt(fd.Get(), four, 9));  // two bytes left there
    EXPECT_EQ(platform::ReadFullAt(fd.Get(), four, 9), 2);
    EXPECT_EQ(test_support::ReadAll(folder / "f"), "012AB56789!");

    // Offsets beyond what the system can address are refused, not wrapped.
    EXPECT_FALSE(platform::WriteAllAt(fd.Get(), std::string_view("x"), UINT64_MAX));
    EXPECT_EQ(errno, EOVERFLOW);
    EXPECT_EQ(platform::ReadFullAt(fd.Get(), four, UINT64_MAX - 1), -1);
}

TEST(PosixIoTest, WriteAllVectorsWritesEveryPartInOrder) {
    SocketPair pair;
    const int small = 4096;
    ASSERT_EQ(::setsockopt(pair.a.Get(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    // More parts than one writev takes, some empty, some large.
    const std::vector<std::uint8_t> big = Pattern(300'000);
    std::vector<std::uint8_t> expected;
    std::vector<iovec> parts;
    std::vector<std::array<std::uint8_t, 3>> smalls(IOV_MAX + 10);
    for (std::size_t i = 0; i < smalls.size(); ++i) {
        smalls[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 0xEE};
        parts.push_back(platform::WritePart(smalls[i]));
        expected.insert(expected.end(), smalls[i].begin(), smalls[i].end());
        if (i % 300 == 0) {
            parts.push_back(platform::WritePart(std::span<const std::uint8_t>()));
            parts.push_back(platform::WritePart(big));
            expected.insert(expected.end(), big.begin(), big.end());
        }
    }
    std::vector<std::uint8_t> got(expected.size());
    std::thread reader([&] { ASSERT_TRUE(platform::ReadExactly(pair.b.Get(), got)); });
    EXPECT_TRUE(platform::WriteAllVectors(pair.a.Get(), parts));
    reader.join();
    EXPECT_EQ(got, expected);
}

// Signals without SA_RESTART interrupt the blocked read and write calls
// while the bytes trickle through; the loops restart them and nothing is
// lost. (Whether a given signal lands inside a call is up to the scheduler;
// what the test checks holds either way.)
std::atomic<int> g_signals{0};
void CountSignal(int) {
    g_signals.fetch_add(1);
}

TEST(PosixIoTest, InterruptedCallsAreRestarted) {
    struct sigaction action {};
    action.sa_handler = &CountSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: blocked calls fail with EINTR
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

    Pipe pipe;
    const std::vector<std::uint8_t> sent = Pattern(64 * 1024);
    std::vector<std::uint8_t> got(sent.size());
    std::atomic<bool> done{false};
    std::thread reader([&] {
        EXPECT_TRUE(platform::ReadExactly(pipe.read.Get(), got));
        done = true;
    });
    const pthread_t readerThread = reader.native_handle();
    for (std::size_t at = 0; at < sent.size(); at += 1024) {
        ::pthread_kill(readerThread, SIGUSR1);
        ASSERT_TRUE(platform::WriteAll(pipe.write.Get(), sent.data() + at, 1024));
    }
    reader.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(got, sent);
    EXPECT_GT(g_signals.load(), 0);
    ::sigaction(SIGUSR1, &previous, nullptr);
}

}  // namespace
