#include "media/frame_timer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <vector>

#include "platform/clock.h"

namespace {

using namespace std::chrono_literals;

// A clock that lets the timer thread sleep only as many periods as the test
// allows; the thread then parks in its next sleep until stopped. Timed waits
// that find nothing signalled time out at once. So every tick the test sees
// was released by the test itself.
class GatedClock final : public platform::ClockSource {
public:
    std::uint64_t NowMs() override {
        std::lock_guard guard(m_lock);
        return m_now;
    }
    bool SleepFor(std::chrono::milliseconds d, std::stop_token token) override {
        std::unique_lock guard(m_lock);
        m_sleeps.push_back(d);
        m_changed.notify_all();
        if (!m_changed.wait(guard, token, [this] { return m_allowed > 0; }))
            return false;
        --m_allowed;
        m_now += static_cast<std::uint64_t>(d.count());
        return true;
    }
    bool ElapseWaitTimeout(std::chrono::milliseconds timeout) override {
        std::lock_guard guard(m_lock);
        m_waitTimeouts.push_back(timeout);
        return true;
    }

    void Allow(int periods) {
        std::lock_guard guard(m_lock);
        m_allowed += periods;
        m_changed.notify_all();
    }
    // Returns once the timer has asked for `count` sleeps: every tick of the
    // sleeps before the last one has been set by then.
    bool WaitForSleeps(std::size_t count) {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, 60s, [&] { return m_sleeps.size() >= count; });
    }
    std::vector<std::chrono::milliseconds> Sleeps() {
        std::lock_guard guard(m_lock);
        return m_sleeps;
    }
    std::vector<std::chrono::milliseconds> WaitTimeouts() {
        std::lock_guard guard(m_lock);
        return m_waitTimeouts;
    }

private:
    std::mutex m_lock;
    std::condition_variable_any m_changed;
    std::uint64_t m_now = 0;
    int m_allowed = 0;
    std::vector<std::chrono::milliseconds> m_sleeps;
    std::vector<std::chrono::milliseconds> m_waitTimeouts;
};

class FrameTimerTest : public ::testing::Test {
protected:
    void TearDown() override { timer.Stop(); }

    GatedClock clock;
    platform::ScopedClockSource useClock{clock};
    CFrameTimer timer;
};

TEST_F(FrameTimerTest, WithoutPacingNeverWaits) {
    EXPECT_EQ(timer.Init(), 1);
    EXPECT_EQ(timer.Period(), 1);
    EXPECT_EQ(timer.Start("Q9C0"), 1);
    EXPECT_FALSE(timer.TimerRunning());
    EXPECT_EQ(timer.WaitTick(), -1);
    EXPECT_TRUE(clock.WaitTimeouts().empty());
}

struct StartCase {
    const char* product;
    bool paces;
};

class FrameTimerStartTest : public FrameTimerTest,
                            public ::testing::WithParamInterface<StartCase> {};

TEST_P(FrameTimerStartTest, DvrFamilyAndQ3A2TurnPacingOff) {
    timer.Init();
    timer.SetPacingEnabled(true);
    timer.Start(GetParam().product);
    EXPECT_EQ(timer.PacingEnabled(), GetParam().paces);
    EXPECT_EQ(timer.TimerRunning(), GetParam().paces);
    EXPECT_EQ(timer.Stop(), 1);
    EXPECT_FALSE(timer.TimerRunning());
}

INSTANTIATE_TEST_SUITE_P(Products, FrameTimerStartTest,
                         ::testing::Values(StartCase{"Q8A7", false}, StartCase{"Q8A5", false},
                                           StartCase{"Q8A3", false}, StartCase{"Q3A2", false},
                                           StartCase{"Q9C0", true}, StartCase{"Q7B5", true}));

TEST_F(FrameTimerTest, TicksEveryPeriodAndTimesOutAfter200ms) {
    timer.Init();
    timer.SetPacingEnabled(true);
    clock.Allow(1);
    timer.Start("Q9C0");
    ASSERT_TRUE(clock.WaitForSleeps(2));  // one period passed, the tick is set

    EXPECT_EQ(timer.WaitTick(), 0);
    EXPECT_EQ(timer.WaitTick(), 1);  // the next period has not passed
    EXPECT_EQ(clock.WaitTimeouts(), (std::vector{200ms}));

    clock.Allow(3);  // several periods before the show thread looks: one tick
    ASSERT_TRUE(clock.WaitForSleeps(5));
    EXPECT_EQ(timer.WaitTick(), 0);
    EXPECT_EQ(timer.WaitTick(), 1);
    EXPECT_EQ(clock.Sleeps(), std::vector<std::chrono::milliseconds>(5, 1ms));
}

TEST_F(FrameTimerTest, StopEndsTheTimerAndDropsAPendingTick) {
    timer.Init();
    timer.SetPacingEnabled(true);
    clock.Allow(1);
    timer.Start("Q9C0");
    ASSERT_TRUE(clock.WaitForSleeps(2));

    EXPECT_EQ(timer.Stop(), 1);
    EXPECT_FALSE(timer.TimerRunning());
    EXPECT_EQ(timer.WaitTick(), 1);
    EXPECT_EQ(timer.Stop(), 1);  // twice is harmless
}

}  // namespace
