#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <ostream>
#include <thread>

#include "platform/clock.h"
#include "platform/stop_token.h"
#include "platform/sync.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

// Generous bound for a thread that must end because it was stopped.
constexpr auto kPromptly = 10s;

// Objects a blocked thread may wait on; fresh for every case.
struct Blockers {
    Event autoEvent{false, false};
    Event manualEvent{true, false};
    Semaphore semaphore{0, 1};
};

struct BlockCase {
    const char* name;
    // Blocks until the thread is asked to stop; returns true when the wait
    // reported the stop.
    std::function<bool(Blockers&)> block;
};

void PrintTo(const BlockCase& c, std::ostream* os) {
    *os << c.name;
}

class StopWakesBlockedThread : public ::testing::TestWithParam<BlockCase> {};

// The stop pattern with a thread that listens: it ends in time with its own
// exit code, never 31.
TEST_P(StopWakesBlockedThread, EndsInTime) {
    Blockers blockers;
    Event started(true, false);
    std::atomic<bool> sawStop{false};
    Thread thread;
    ASSERT_TRUE(thread.Start(
        [&] {
            started.Set();
            sawStop = GetParam().block(blockers);
            return 7u;
        },
        "blocked"));
    ASSERT_EQ(started.Wait(kPromptly), WaitResult::Signaled);
    EXPECT_TRUE(thread.Running());
    // Gives the thread a moment to block, so that the wake-up is what runs;
    // a stop that comes first is seen by the wait's first check all the same.
    std::this_thread::sleep_for(5ms);

    EXPECT_EQ(thread.Stop(kPromptly), StopOutcome::Ended);
    EXPECT_TRUE(sawStop);
    EXPECT_EQ(thread.ExitCode(), 7u);
    EXPECT_FALSE(thread.Running());
    EXPECT_FALSE(thread.Joinable());
}

INSTANTIATE_TEST_SUITE_P(
    Table, StopWakesBlockedThread,
    ::testing::Values(
        BlockCase{"AutoEventEndless",
                  [](Blockers& b) { return b.autoEvent.Wait(kInfinite) == WaitResult::Stopped; }},
        BlockCase{"ManualEventOneHour",
                  [](Blockers& b) { return b.manualEvent.Wait(1h) == WaitResult::Stopped; }},
        BlockCase{"SemaphoreEndless",
                  [](Blockers& b) { return b.semaphore.Wait(kInfinite) == WaitResult::Stopped; }},
        BlockCase{"WaitForAnyEndless",
                  [](Blockers& b) {
                      return WaitForAny({&b.autoEvent, &b.semaphore}, kInfinite) == kWaitStopped;
                  }},
        BlockCase{"SleepOneHour", [](Blockers&) { return !Sleep(1h); }},
        BlockCase{"SleepEndless", [](Blockers&) { return !Sleep(kInfinite); }},
        BlockCase{"SleepHuge", [](Blockers&) { return !Sleep(std::chrono::milliseconds::max()); }}),
    [](const auto& instance) { return instance.param.name; });

// A thread that checks nothing overruns its bound: the stopper records 31 and
// still joins it before going on. The thread is held until the stopper has
// given up on it, so the overrun is certain.
TEST(ThreadStop, AnUnheedingThreadGetsExitCode31AndIsJoined) {
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    Thread thread;
    ASSERT_TRUE(thread.Start(
        [&] {
            while (!release) {
                std::this_thread::yield();
            }
            finished = true;
            return 0u;
        },
        "unheeding"));

    // Frees the thread once the stopper has recorded the overrun.
    std::thread releaser([&] {
        while (thread.ExitCode() != kTerminatedExitCode) {
            std::this_thread::sleep_for(1ms);
        }
        release = true;
    });
    EXPECT_EQ(thread.Stop(5ms), StopOutcome::Terminated);
    releaser.join();

    EXPECT_TRUE(finished);  // joined, not abandoned
    EXPECT_EQ(thread.ExitCode(), kTerminatedExitCode);
    EXPECT_FALSE(thread.Running());
    EXPECT_FALSE(thread.Joinable());
}

TEST(ThreadStop, AThreadThatEndedOnItsOwnKeepsItsExitCode) {
    Thread thread;
    ASSERT_TRUE(thread.Start([] { return 42u; }));
    EXPECT_EQ(thread.Stop(std::chrono::milliseconds::max()), StopOutcome::Ended);
    EXPECT_EQ(thread.ExitCode(), 42u);
    // The stop pattern on a cleared handle does nothing.
    EXPECT_EQ(thread.Stop(0ms), StopOutcome::NoThread);
}

TEST(ThreadStop, NothingStartedNothingToStop) {
    Thread thread;
    EXPECT_FALSE(thread.Joinable());
    EXPECT_FALSE(thread.Running());
    EXPECT_EQ(thread.ExitCode(), std::nullopt);
    EXPECT_EQ(thread.Stop(10ms), StopOutcome::NoThread);
}

TEST(ThreadStart, AHeldThreadMustBeStoppedBeforeTheNextStart) {
    Thread thread;
    ASSERT_TRUE(thread.Start([] { return 1u; }));
    EXPECT_FALSE(thread.Start([] { return 2u; }));
    EXPECT_EQ(thread.Stop(kPromptly), StopOutcome::Ended);
    EXPECT_EQ(thread.ExitCode(), 1u);

    ASSERT_TRUE(thread.Start([] { return 2u; }));
    EXPECT_EQ(thread.Stop(kPromptly), StopOutcome::Ended);
    EXPECT_EQ(thread.ExitCode(), 2u);
}

TEST(ThreadStart, RefusesAnEmptyBody) {
    Thread thread;
    EXPECT_FALSE(thread.Start({}));
    EXPECT_FALSE(thread.Joinable());
}

// Every start gets a fresh token, installed as the thread's own.
TEST(ThreadStart, TheBodySeesItsOwnStopToken) {
    Thread thread;
    for (int round = 0; round < 2; ++round) {
        Event never(true, false);
        std::atomic<bool> sameToken{false};
        std::atomic<bool> stopSeen{false};
        ASSERT_TRUE(thread.Start([&] {
            sameToken = CurrentStopToken() == thread.StopToken();
            never.Wait(kInfinite);
            stopSeen = CurrentStopToken().stop_requested();
            return 0u;
        }));
        EXPECT_FALSE(thread.StopToken().stop_requested());
        thread.RequestStop();
        EXPECT_EQ(thread.Stop(kPromptly), StopOutcome::Ended);
        EXPECT_TRUE(sameToken);
        EXPECT_TRUE(stopSeen);
    }
    // Threads not started here keep a token that cannot be stopped.
    EXPECT_FALSE(CurrentStopToken().stop_possible());
}

TEST(ThreadLifetime, DestroyingTheOwnerStopsTheThread) {
    std::atomic<bool> stopped{false};
    {
        Thread thread;
        ASSERT_TRUE(thread.Start([&] {
            stopped = !Sleep(1h);
            return 0u;
        }));
    }
    EXPECT_TRUE(stopped);
}

TEST(ThreadId, DiffersBetweenThreads) {
    const std::uint32_t mine = CurrentThreadId();
    std::atomic<std::uint32_t> theirs{0};
    Thread thread;
    ASSERT_TRUE(thread.Start([&] {
        theirs = CurrentThreadId();
        return 0u;
    }));
    thread.Stop(kPromptly);
    EXPECT_NE(mine, 0u);
    EXPECT_NE(theirs, 0u);
    EXPECT_NE(mine, theirs);
    EXPECT_EQ(mine, CurrentThreadId());
}

}  // namespace
}  // namespace platform
