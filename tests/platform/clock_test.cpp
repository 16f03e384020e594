#include "platform/clock.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/stop_token.h"
#include "platform/sync.h"
#include "platform/thread.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

class ManualClockPause : public ::testing::TestWithParam<std::chrono::milliseconds> {};

// The program's long pauses pass at once and are recorded.
TEST_P(ManualClockPause, PassesAtOnceAndIsRecorded) {
    ManualClock clock(1000);
    ScopedClockSource installed(clock);
    const auto realStart = std::chrono::steady_clock::now();

    EXPECT_TRUE(Sleep(GetParam()));

    EXPECT_EQ(TickCount64(), 1000u + static_cast<std::uint64_t>(GetParam().count()));
    EXPECT_EQ(clock.Sleeps(), std::vector{GetParam()});
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, 5s);
}

INSTANTIATE_TEST_SUITE_P(Pauses, ManualClockPause, ::testing::Values(8s, 20s, 60s, 0ms));

TEST(ManualClock, RecordsSleepsOfEveryThreadInOrderOfEach) {
    ManualClock clock;
    ScopedClockSource installed(clock);
    std::thread other([] { Sleep(2s); });
    other.join();
    Sleep(3s);
    EXPECT_EQ(clock.Sleeps(), (std::vector<std::chrono::milliseconds>{2s, 3s}));
    EXPECT_EQ(TickCount64(), 5000u);
}

TEST(ManualClock, AStoppedSleepDoesNotPass) {
    ManualClock clock;
    ScopedClockSource installed(clock);
    std::stop_source source;
    source.request_stop();
    EXPECT_FALSE(clock.SleepFor(60s, source.get_token()));
    EXPECT_TRUE(clock.Sleeps().empty());
    EXPECT_EQ(clock.NowMs(), 0u);
}

TEST(ManualClock, TickCountWrapsAt32Bits) {
    ManualClock clock(0xFFFF'FFFFull - 5);
    ScopedClockSource installed(clock);
    EXPECT_EQ(TickCount(), 0xFFFF'FFFFu - 5);
    clock.Advance(10ms);
    EXPECT_EQ(TickCount(), 4u);
    EXPECT_EQ(TickCount64(), 0x1'0000'0004ull);
    // Differences of wrapped ticks stay right in unsigned arithmetic.
    EXPECT_EQ(TickCount() - (0xFFFF'FFFFu - 5), 10u);
}

TEST(ManualClock, InstantWaitTimeoutsOnlyWhenAsked) {
    ManualClock clock;
    ScopedClockSource installed(clock);
    Event event(false, false);

    // Off: waits run in real time and the clock does not move.
    EXPECT_EQ(event.Wait(1ms), WaitResult::Timeout);
    EXPECT_EQ(clock.NowMs(), 0u);

    clock.SetInstantWaitTimeouts(true);
    const auto realStart = std::chrono::steady_clock::now();
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(event.Wait(1000ms), WaitResult::Timeout);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, 5s);
    EXPECT_EQ(clock.NowMs(), 60'000u);
    EXPECT_EQ(clock.WaitTimeouts().size(), 60u);

    // A signalled object is still taken, and endless waits never elapse.
    event.Set();
    EXPECT_EQ(event.Wait(1000ms), WaitResult::Signaled);
    event.Set();
    EXPECT_EQ(event.Wait(kInfinite), WaitResult::Signaled);
    EXPECT_EQ(clock.WaitTimeouts().size(), 60u);
}

TEST(ScopedClockSource, RestoresTheSourceBefore) {
    ManualClock outer(100);
    ManualClock inner(200);
    {
        ScopedClockSource a(outer);
        {
            ScopedClockSource b(inner);
            EXPECT_EQ(TickCount64(), 200u);
        }
        EXPECT_EQ(TickCount64(), 100u);
    }
    EXPECT_TRUE(&CurrentClockSource() != &outer && &CurrentClockSource() != &inner);
}

TEST(SteadyClock, TicksNeverGoBack) {
    const std::uint64_t first = TickCount64();
    EXPECT_TRUE(Sleep(2ms));
    EXPECT_GE(TickCount64(), first + 2);
    EXPECT_TRUE(Sleep(0ms));
}

TEST(SteadyClock, SleepOfAStoppedThreadReturnsFalseAtOnce) {
    std::stop_source source;
    source.request_stop();
    std::thread([&] {
        SetCurrentStopToken(source.get_token());
        EXPECT_FALSE(Sleep(1h));
        EXPECT_FALSE(Sleep(0ms));
        SetCurrentStopToken({});
    }).join();
}

}  // namespace
}  // namespace platform
