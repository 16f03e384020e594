#include "platform/sync.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <climits>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/stop_token.h"
#include "platform/thread.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

// Generous bound for a thread that must end because it was stopped; reaching
// it means the wake-up on stop is broken, not that the machine is slow.
constexpr auto kPromptly = 10s;

// --- Events ---------------------------------------------------------------

struct EventCase {
    const char* name;
    bool manualReset;
    bool initialState;
    bool setFirst;
    bool resetAfterSet;
    std::array<WaitResult, 2> polls;  // two successive Wait(0)
    bool setAfterPolls;
};

void PrintTo(const EventCase& c, std::ostream* os) {
    *os << c.name;
}

class EventBehaviour : public ::testing::TestWithParam<EventCase> {};

TEST_P(EventBehaviour, PollsAndState) {
    const EventCase& c = GetParam();
    Event event(c.manualReset, c.initialState);
    if (c.setFirst) {
        event.Set();
    }
    if (c.resetAfterSet) {
        event.Reset();
    }
    EXPECT_EQ(event.Wait(0ms), c.polls[0]);
    EXPECT_EQ(event.Wait(0ms), c.polls[1]);
    EXPECT_EQ(event.IsSet(), c.setAfterPolls);
}

constexpr auto S = WaitResult::Signaled;
constexpr auto T = WaitResult::Timeout;

INSTANTIATE_TEST_SUITE_P(
    Table, EventBehaviour,
    ::testing::Values(
        // An auto-reset event lets one wait through and clears itself.
        EventCase{"AutoInitiallySet", false, true, false, false, {S, T}, false},
        EventCase{"AutoSet", false, false, true, false, {S, T}, false},
        EventCase{"AutoNotSet", false, false, false, false, {T, T}, false},
        EventCase{"AutoSetThenReset", false, false, true, true, {T, T}, false},
        // A manual-reset event stays set for every wait until reset.
        EventCase{"ManualInitiallySet", true, true, false, false, {S, S}, true},
        EventCase{"ManualSet", true, false, true, false, {S, S}, true},
        EventCase{"ManualNotSet", true, false, false, false, {T, T}, false},
        EventCase{"ManualSetThenReset", true, true, true, true, {T, T}, false}),
    [](const auto& instance) { return instance.param.name; });

// Threads blocked on one event; each records its result and then releases
// `done`.
struct Waiters {
    Waiters(Waitable& object, int count) : results(count), threads(count) {
        for (int i = 0; i < count; ++i) {
            threads[i].Start([this, &object, i] {
                results[i] = object.Wait(kInfinite);
                done.Release();
                return 0u;
            });
        }
    }
    void StopAll() {
        for (auto& thread : threads) {
            EXPECT_EQ(thread.Stop(kPromptly), StopOutcome::Ended);
        }
    }
    int Count(WaitResult result) const {
        int n = 0;
        for (const auto& r : results) {
            n += r == result ? 1 : 0;
        }
        return n;
    }

    Semaphore done{0, 100};
    std::vector<std::atomic<WaitResult>> results;
    std::vector<Thread> threads;
};

// Gives started threads a moment to block in their waits, so that the wake-up
// path is what runs. Outcomes do not depend on it: a signal or stop that comes
// before the wait is seen by the wait's first check.
void LetThreadsBlock() {
    std::this_thread::sleep_for(5ms);
}

TEST(EventWaiters, AutoResetReleasesExactlyOneWaiterPerSet) {
    Event event(false, false);
    Waiters waiters(event, 2);
    LetThreadsBlock();
    event.Set();
    ASSERT_EQ(waiters.done.Wait(kPromptly), WaitResult::Signaled);
    EXPECT_FALSE(event.IsSet());
    // The other one is still blocked and only a stop ends it.
    waiters.StopAll();
    EXPECT_EQ(waiters.Count(WaitResult::Signaled), 1);
    EXPECT_EQ(waiters.Count(WaitResult::Stopped), 1);
}

TEST(EventWaiters, ManualResetReleasesEveryWaiter) {
    Event event(true, false);
    Waiters waiters(event, 3);
    LetThreadsBlock();
    event.Set();
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(waiters.done.Wait(kPromptly), WaitResult::Signaled);
    }
    waiters.StopAll();
    EXPECT_EQ(waiters.Count(WaitResult::Signaled), 3);
    EXPECT_TRUE(event.IsSet());
}

// --- Semaphores -----------------------------------------------------------

struct ReleaseCase {
    const char* name;
    long initial;
    long maximum;
    long release;
    bool accepted;
    long countAfter;
};

void PrintTo(const ReleaseCase& c, std::ostream* os) {
    *os << c.name;
}

class SemaphoreRelease : public ::testing::TestWithParam<ReleaseCase> {};

TEST_P(SemaphoreRelease, RespectsTheMaximum) {
    const ReleaseCase& c = GetParam();
    Semaphore semaphore(c.initial, c.maximum);
    long previous = -100;
    EXPECT_EQ(semaphore.Release(c.release, &previous), c.accepted);
    EXPECT_EQ(semaphore.Count(), c.countAfter);
    EXPECT_EQ(previous, c.accepted ? c.initial : -100);
}

INSTANTIATE_TEST_SUITE_P(Table, SemaphoreRelease,
                         ::testing::Values(ReleaseCase{"FreeSlot", 0, 1, 1, true, 1},
                                           ReleaseCase{"FullSlot", 1, 1, 1, false, 1},
                                           ReleaseCase{"SeveralAtOnce", 0, 5, 3, true, 3},
                                           ReleaseCase{"UpToTheMaximum", 2, 5, 3, true, 5},
                                           ReleaseCase{"OnePastTheMaximum", 2, 5, 4, false, 2},
                                           ReleaseCase{"Zero", 2, 5, 0, false, 2},
                                           ReleaseCase{"Negative", 2, 5, -1, false, 2},
                                           ReleaseCase{"HugeCountDoesNotOverflow", 1, 5, LONG_MAX,
                                                       false, 1}),
                         [](const auto& instance) { return instance.param.name; });

TEST(Semaphore, EachWaitTakesOneCount) {
    Semaphore semaphore(2, 5);
    EXPECT_EQ(semaphore.Wait(0ms), WaitResult::Signaled);
    EXPECT_EQ(semaphore.Wait(0ms), WaitResult::Signaled);
    EXPECT_EQ(semaphore.Wait(0ms), WaitResult::Timeout);
    EXPECT_EQ(semaphore.Count(), 0);
}

TEST(Semaphore, RefusesImpossibleCounts) {
    struct Counts {
        long initial, maximum;
    };
    for (const Counts c : {Counts{-1, 1}, Counts{2, 1}, Counts{0, 0}, Counts{0, -3}}) {
        EXPECT_THROW(Semaphore(c.initial, c.maximum), std::invalid_argument)
            << c.initial << "/" << c.maximum;
    }
}

// The one-slot mailbox: posters take the free slot, fill it and post; the
// consumer takes each post and frees the slot. Nothing may be lost or doubled.
TEST(Semaphore, OneSlotMailboxCarriesEveryPost) {
    constexpr int kPosters = 4;
    constexpr int kPostsEach = 500;
    Semaphore slotFree(1, 1);
    Semaphore posted(0, 1);
    int mailbox = 0;
    long long sum = 0;
    int received = 0;

    Thread consumer;
    ASSERT_TRUE(consumer.Start([&] {
        while (posted.Wait(kInfinite) == WaitResult::Signaled) {
            sum += mailbox;
            ++received;
            EXPECT_TRUE(slotFree.Release());
        }
        return 0u;
    }));
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p) {
        posters.emplace_back([&, p] {
            for (int i = 1; i <= kPostsEach; ++i) {
                ASSERT_EQ(slotFree.Wait(kInfinite), WaitResult::Signaled);
                mailbox = p * kPostsEach + i;
                EXPECT_TRUE(posted.Release());
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    // The last post has been taken once the slot is free again.
    ASSERT_EQ(slotFree.Wait(kPromptly), WaitResult::Signaled);
    EXPECT_EQ(consumer.Stop(kPromptly), StopOutcome::Ended);

    constexpr long long n = kPosters * kPostsEach;
    EXPECT_EQ(received, n);
    EXPECT_EQ(sum, n * (n + 1) / 2);
}

// --- Waiting for any of several objects -----------------------------------

struct AnyCase {
    const char* name;
    bool autoSet;
    bool manualSet;
    long semaphoreCount;
    int expected;
    // State afterwards: only the chosen object gave up its signal.
    bool autoSetAfter;
    bool manualSetAfter;
    long semaphoreCountAfter;
};

void PrintTo(const AnyCase& c, std::ostream* os) {
    *os << c.name;
}

class WaitForAnyPick : public ::testing::TestWithParam<AnyCase> {};

TEST_P(WaitForAnyPick, TakesTheFirstSignalledOnly) {
    const AnyCase& c = GetParam();
    Event autoEvent(false, c.autoSet);
    Event manualEvent(true, c.manualSet);
    Semaphore semaphore(c.semaphoreCount, 5);

    EXPECT_EQ(WaitForAny({&autoEvent, &manualEvent, &semaphore}, 0ms), c.expected);
    EXPECT_EQ(autoEvent.IsSet(), c.autoSetAfter);
    EXPECT_EQ(manualEvent.IsSet(), c.manualSetAfter);
    EXPECT_EQ(semaphore.Count(), c.semaphoreCountAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WaitForAnyPick,
    ::testing::Values(AnyCase{"Nothing", false, false, 0, kWaitTimeout, false, false, 0},
                      AnyCase{"AllSignalled", true, true, 2, 0, false, true, 2},
                      AnyCase{"ManualAndSemaphore", false, true, 2, 1, false, true, 2},
                      AnyCase{"SemaphoreOnly", false, false, 2, 2, false, false, 1},
                      AnyCase{"AutoAndSemaphore", true, false, 1, 0, false, false, 1}),
    [](const auto& instance) { return instance.param.name; });

TEST(WaitForAny, WakesForTheObjectSignalledLater) {
    Event first(false, false);
    Semaphore second(0, 1);
    Semaphore done(0, 1);
    std::atomic<int> result{-100};
    Thread waiter;
    ASSERT_TRUE(waiter.Start([&] {
        result = WaitForAny({&first, &second}, kInfinite);
        done.Release();
        return 0u;
    }));
    LetThreadsBlock();
    second.Release();
    ASSERT_EQ(done.Wait(kPromptly), WaitResult::Signaled);
    EXPECT_EQ(waiter.Stop(kPromptly), StopOutcome::Ended);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(second.Count(), 0);
    EXPECT_FALSE(first.IsSet());
}

TEST(WaitForAny, AcceptsAVector) {
    Event a(true, false);
    Event b(true, true);
    const std::vector<Waitable*> objects{&a, &b};
    EXPECT_EQ(WaitForAny(objects, 0ms), 1);
}

TEST(WaitForAny, RefusesEmptyListsAndNullObjects) {
    Event event(true, true);
    EXPECT_THROW(WaitForAny(std::vector<Waitable*>{}, 0ms), std::invalid_argument);
    EXPECT_THROW(WaitForAny({&event, nullptr}, 0ms), std::invalid_argument);
}

// --- Time-outs and stops --------------------------------------------------

TEST(Waits, ShortTimeoutsExpire) {
    Event event(false, false);
    Semaphore semaphore(0, 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(event.Wait(5ms), WaitResult::Timeout);
    EXPECT_EQ(semaphore.Wait(3ms), WaitResult::Timeout);
    EXPECT_EQ(WaitForAny({&event, &semaphore}, 2ms), kWaitTimeout);
    // A timed-out wait never returns early.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 10ms);
}

// Runs a routine on a thread of its own with a stop source the test controls.
template <typename Body>
void WithStoppedToken(Body body) {
    std::stop_source source;
    source.request_stop();
    std::thread([&] {
        SetCurrentStopToken(source.get_token());
        body();
        SetCurrentStopToken({});
    }).join();
}

TEST(Waits, AStoppedThreadTakesNothing) {
    Event event(false, true);
    Semaphore semaphore(1, 1);
    WithStoppedToken([&] {
        EXPECT_EQ(event.Wait(0ms), WaitResult::Stopped);
        EXPECT_EQ(semaphore.Wait(kInfinite), WaitResult::Stopped);
        EXPECT_EQ(WaitForAny({&event, &semaphore}, 1h), kWaitStopped);
    });
    EXPECT_TRUE(event.IsSet());
    EXPECT_EQ(semaphore.Count(), 1);
}

TEST(Waits, AHugeTimeoutIsEndlessNotAnOverflow) {
    constexpr auto kHuge = std::chrono::milliseconds::max();
    Event event(false, false);
    Semaphore semaphore(0, 1);
    Thread waiter;
    std::atomic<WaitResult> eventResult{WaitResult::Signaled};
    std::atomic<int> anyResult{0};
    ASSERT_TRUE(waiter.Start([&] {
        eventResult = event.Wait(kHuge);
        anyResult = WaitForAny({&event, &semaphore}, kHuge);
        return 0u;
    }));
    LetThreadsBlock();
    EXPECT_EQ(waiter.Stop(kPromptly), StopOutcome::Ended);
    EXPECT_EQ(eventResult, WaitResult::Stopped);
    EXPECT_EQ(anyResult, kWaitStopped);
}

// --- Wake-ups of blocked waits ---------------------------------------------

// How the blocked waits end.
enum class WakeBy { kSignal, kTimeout, kStop };

struct BlockedCase {
    const char* name;
    bool semaphore;  // else a manual-reset event
    bool any;        // WaitForAny over an unsignalled event and the object
    int waiters;
    WakeBy wakeBy;
};

class BlockedWaits : public ::testing::TestWithParam<BlockedCase> {};

TEST_P(BlockedWaits, EndAsWoken) {
    const BlockedCase& c = GetParam();
    Event event(true, false);
    Semaphore semaphore(0, 16);
    Event other(false, false);
    Waitable& object = c.semaphore ? static_cast<Waitable&>(semaphore) : event;
    const auto timeout = c.wakeBy == WakeBy::kTimeout ? 20ms : std::chrono::milliseconds(kInfinite);
    std::vector<std::atomic<int>> results(static_cast<std::size_t>(c.waiters));
    std::vector<Thread> threads(static_cast<std::size_t>(c.waiters));
    Semaphore done(0, 16);
    for (std::size_t i = 0; i < threads.size(); ++i) {
        results[i] = 99;
        ASSERT_TRUE(threads[i].Start([&, i] {
            if (c.any) {
                results[i] = WaitForAny({&other, &object}, timeout);
            } else {
                const WaitResult r = object.Wait(timeout);
                results[i] = r == WaitResult::Signaled  ? 1
                             : r == WaitResult::Timeout ? kWaitTimeout
                                                        : kWaitStopped;
            }
            done.Release();
            return 0u;
        }));
    }
    LetThreadsBlock();
    if (c.wakeBy == WakeBy::kSignal) {
        if (c.semaphore) {
            ASSERT_TRUE(semaphore.Release(c.waiters));
        } else {
            event.Set();
        }
    }
    if (c.wakeBy != WakeBy::kStop) {
        // A signal or a time-out ends the waits by itself; Stop then only
        // joins. For kStop it is what wakes them.
        for (int i = 0; i < c.waiters; ++i) {
            ASSERT_EQ(done.Wait(kPromptly), WaitResult::Signaled);
        }
    }
    for (auto& thread : threads) {
        EXPECT_EQ(thread.Stop(kPromptly), StopOutcome::Ended);
    }
    const int want = c.wakeBy == WakeBy::kSignal    ? 1
                     : c.wakeBy == WakeBy::kTimeout ? kWaitTimeout
                                                    : kWaitStopped;
    for (const auto& result : results) {
        EXPECT_EQ(result.load(), want);
    }
    // A stopped or timed-out wait consumes nothing; signalled ones take one
    // count each.
    EXPECT_EQ(semaphore.Count(), 0);
    EXPECT_FALSE(other.IsSet());
}

INSTANTIATE_TEST_SUITE_P(
    Table, BlockedWaits,
    ::testing::Values(BlockedCase{"EventSignal", false, false, 1, WakeBy::kSignal},
                      BlockedCase{"EventTimeout", false, false, 1, WakeBy::kTimeout},
                      BlockedCase{"EventStop", false, false, 1, WakeBy::kStop},
                      BlockedCase{"ManyOnEventSignal", false, false, 6, WakeBy::kSignal},
                      BlockedCase{"ManyOnEventStop", false, false, 6, WakeBy::kStop},
                      BlockedCase{"SemaphoreSignal", true, false, 1, WakeBy::kSignal},
                      BlockedCase{"SemaphoreTimeout", true, false, 1, WakeBy::kTimeout},
                      BlockedCase{"ManyOnSemaphoreSignal", true, false, 6, WakeBy::kSignal},
                      BlockedCase{"ManyOnSemaphoreStop", true, false, 6, WakeBy::kStop},
                      BlockedCase{"AnyEventSignal", false, true, 1, WakeBy::kSignal},
                      BlockedCase{"AnySemaphoreSignal", true, true, 3, WakeBy::kSignal},
                      BlockedCase{"AnyTimeout", true, true, 2, WakeBy::kTimeout},
                      BlockedCase{"AnyStop", false, true, 3, WakeBy::kStop}),
    [](const auto& instance) { return instance.param.name; });

// A signalled wait-for-any reports the object's index; the semaphore's
// count-downs and the auto event's reset land on the objects taken.
TEST(WaitForAny, MixedObjectsWakeInTurn) {
    Event autoEvent(false, false);
    Event manualEvent(true, false);
    Semaphore semaphore(0, 4);
    Thread waiter;
    std::vector<int> seen;
    Semaphore turn(0, 1);
    Semaphore taken(0, 1);
    ASSERT_TRUE(waiter.Start([&] {
        for (int i = 0; i < 3; ++i) {
            turn.Wait(kInfinite);
            seen.push_back(WaitForAny({&autoEvent, &manualEvent, &semaphore}, kInfinite));
            taken.Release();
        }
        return 0u;
    }));
    const auto step = [&](auto signal) {
        turn.Release();
        LetThreadsBlock();
        signal();
        ASSERT_EQ(taken.Wait(kPromptly), WaitResult::Signaled);
    };
    step([&] { semaphore.Release(); });
    step([&] { autoEvent.Set(); });
    step([&] { semaphore.Release(2); });
    EXPECT_EQ(waiter.Stop(kPromptly), StopOutcome::Ended);
    EXPECT_EQ(seen, (std::vector<int>{2, 0, 2}));
    EXPECT_EQ(semaphore.Count(), 1);
    EXPECT_FALSE(autoEvent.IsSet());
    EXPECT_FALSE(manualEvent.IsSet());
}

}  // namespace
}  // namespace platform
