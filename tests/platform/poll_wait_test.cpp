#include "platform/poll_wait.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <stdexcept>
#include <stop_token>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/sync.h"

namespace {

using namespace std::chrono_literals;
using platform::PollWait;
using platform::PollWaitResult;
using platform::UniqueFd;
using platform::WaitClock;

struct Pipe {
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            throw std::runtime_error("pipe2");
        }
        read.Reset(fds[0]);
        write.Reset(fds[1]);
    }
    void Put() const { ASSERT_EQ(::write(write.Get(), "x", 1), 1); }
    pollfd Readable() const { return {read.Get(), POLLIN, 0}; }
    UniqueFd read;
    UniqueFd write;
};

TEST(PollWaitTest, ReadyFillsInTheEventsOfTheReadyDescriptorsOnly) {
    // More descriptors than the wait keeps without allocating, too.
    for (const std::size_t count : {std::size_t{2}, std::size_t{12}}) {
        SCOPED_TRACE(count);
        std::vector<Pipe> pipes(count);
        std::vector<pollfd> fds;
        for (const Pipe& p : pipes) {
            fds.push_back(p.Readable());
        }
        pipes.back().Put();
        fds.front().revents = POLLERR;  // stale events from before are cleared
        platform::WakeFd wake;
        EXPECT_EQ(PollWait(fds, wake.Get(), {}, 10s), PollWaitResult::Ready);
        for (std::size_t i = 0; i + 1 < count; ++i) {
            EXPECT_EQ(fds[i].revents, 0) << i;
        }
        EXPECT_EQ(fds.back().revents, POLLIN);
    }
}

TEST(PollWaitTest, TimeOutsAndTheWakeDescriptor) {
    Pipe pipe;
    pollfd fd = pipe.Readable();
    platform::WakeFd wake;
    EXPECT_EQ(PollWait({&fd, 1}, wake.Get(), {}, 0ms), PollWaitResult::TimedOut);
    EXPECT_EQ(PollWait({&fd, 1}, wake.Get(), {}, 20ms), PollWaitResult::TimedOut);
    EXPECT_EQ(PollWait({&fd, 1}, -1, {}, 20ms), PollWaitResult::TimedOut);

    // A wake-up is reported and left for the caller to drain.
    wake.Signal();
    wake.Signal();
    EXPECT_EQ(PollWait({&fd, 1}, wake.Get(), {}, platform::kInfinite), PollWaitResult::Woken);
    EXPECT_EQ(PollWait({&fd, 1}, wake.Get(), {}, 0ms), PollWaitResult::Woken);
    wake.Drain();
    EXPECT_EQ(PollWait({&fd, 1}, wake.Get(), {}, 0ms), PollWaitResult::TimedOut);
    // No descriptors of the caller's: only the wake-up ends the wait.
    wake.Signal();
    EXPECT_EQ(PollWait({}, wake.Get(), {}, platform::kInfinite), PollWaitResult::Woken);
}

TEST(PollWaitTest, AStopRequestWinsAndEndsAnEndlessWait) {
    Pipe pipe;
    pipe.Put();
    pollfd fd = pipe.Readable();
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_EQ(PollWait({&fd, 1}, -1, stopped.get_token(), 10s), PollWaitResult::Stopped);

    // With the caller's wake descriptor and with a temporary one: the stop
    // callback writes it, so the endless wait ends.
    for (const bool ownWake : {true, false}) {
        SCOPED_TRACE(ownWake);
        Pipe idle;
        pollfd quiet = idle.Readable();
        platform::WakeFd wake;
        std::stop_source source;
        PollWaitResult result = PollWaitResult::Ready;
        std::thread waiter([&] {
            result = PollWait({&quiet, 1}, ownWake ? wake.Get() : -1, source.get_token(),
                              platform::kInfinite);
        });
        source.request_stop();
        waiter.join();
        EXPECT_EQ(result, PollWaitResult::Stopped);
    }
}

// The decision written down in poll_wait.h: kSteady waits (every socket
// wait) never ask the installed clock source; kClockSource waits let it end
// a wait that finds nothing ready at once.
TEST(PollWaitTest, OnlyClockSourceWaitsFollowTheInjectableClock) {
    platform::ManualClock clock;
    clock.SetInstantWaitTimeouts(true);
    platform::ScopedClockSource useClock(clock);
    Pipe pipe;
    pollfd fd = pipe.Readable();

    EXPECT_EQ(PollWait({&fd, 1}, -1, {}, 20ms, WaitClock::kSteady), PollWaitResult::TimedOut);
    EXPECT_TRUE(clock.WaitTimeouts().empty());
    EXPECT_EQ(clock.NowMs(), 0u);

    EXPECT_EQ(PollWait({&fd, 1}, -1, {}, 1h, WaitClock::kClockSource), PollWaitResult::TimedOut);
    EXPECT_EQ(clock.WaitTimeouts(), std::vector<std::chrono::milliseconds>{1h});
    // Something ready is reported without asking the clock.
    pipe.Put();
    EXPECT_EQ(PollWait({&fd, 1}, -1, {}, 1h, WaitClock::kClockSource), PollWaitResult::Ready);
    EXPECT_EQ(clock.WaitTimeouts().size(), 1u);
}

TEST(PollWaitTest, AClosedDescriptorIsReadyWithItsError) {
    Pipe pipe;
    pipe.write.Reset();
    pollfd fd = pipe.Readable();
    EXPECT_EQ(PollWait({&fd, 1}, -1, {}, 10s), PollWaitResult::Ready);
    EXPECT_NE(fd.revents & POLLHUP, 0);
}

}  // namespace
