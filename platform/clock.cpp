#include "platform/clock.h"

#include <atomic>
#include <condition_variable>
#include <thread>

#include "platform/stop_token.h"

namespace platform {

namespace {

// Blocks until the token is stopped or, for a non-negative d, d has passed.
// Returns true when the time passed without a stop.
bool WaitOutOrStop(std::chrono::milliseconds d, const std::stop_token& token) {
    std::mutex lock;
    std::condition_variable_any wake;
    std::unique_lock guard(lock);
    // Nothing but the stop ends the wait early; the predicate only becomes
    // true through the token, which the condition variable watches itself.
    const auto never = [] { return false; };
    if (d < std::chrono::milliseconds::zero() || d > kLongestTimedWait) {
        wake.wait(guard, token, never);
    } else {
        wake.wait_for(guard, token, d, never);
    }
    return !token.stop_requested();
}

class SteadyClock final : public ClockSource {
public:
    std::uint64_t NowMs() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }

    bool SleepFor(std::chrono::milliseconds d, std::stop_token token) override {
        if (d == std::chrono::milliseconds::zero()) {
            std::this_thread::yield();
            return !token.stop_requested();
        }
        return WaitOutOrStop(d, token);
    }
};

SteadyClock g_steadyClock;
std::atomic<ClockSource*> g_source{nullptr};

}  // namespace

ClockSource::~ClockSource() = default;

bool ClockSource::ElapseWaitTimeout(std::chrono::milliseconds) {
    return false;
}

ClockSource* SetClockSource(ClockSource* source) {
    return g_source.exchange(source, std::memory_order_acq_rel);
}

ClockSource& CurrentClockSource() {
    ClockSource* source = g_source.load(std::memory_order_acquire);
    return source != nullptr ? *source : g_steadyClock;
}

std::uint32_t TickCount() {
    return static_cast<std::uint32_t>(TickCount64());
}

std::uint64_t TickCount64() {
    return CurrentClockSource().NowMs();
}

bool Sleep(std::chrono::milliseconds d) {
    return CurrentClockSource().SleepFor(d, CurrentStopToken());
}

std::uint64_t ManualClock::NowMs() {
    std::lock_guard guard(m_lock);
    return m_now;
}

bool ManualClock::SleepFor(std::chrono::milliseconds d, std::stop_token token) {
    if (token.stop_requested()) {
        return false;
    }
    if (d < std::chrono::milliseconds::zero()) {
        // An endless sleep cannot pass on any clock; it ends only on a stop.
        return WaitOutOrStop(d, token);
    }
    {
        std::lock_guard guard(m_lock);
        m_sleeps.push_back(d);
        m_now += static_cast<std::uint64_t>(d.count());
    }
    // A thread that sleeps in a loop should not starve the others.
    std::this_thread::yield();
    return true;
}

bool ManualClock::ElapseWaitTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard guard(m_lock);
    if (!m_instantWaitTimeouts) {
        return false;
    }
    m_waitTimeouts.push_back(timeout);
    m_now += static_cast<std::uint64_t>(timeout.count());
    return true;
}

void ManualClock::Advance(std::chrono::milliseconds d) {
    if (d < std::chrono::milliseconds::zero()) {
        return;  // a steady clock never goes back
    }
    std::lock_guard guard(m_lock);
    m_now += static_cast<std::uint64_t>(d.count());
}

void ManualClock::SetInstantWaitTimeouts(bool on) {
    std::lock_guard guard(m_lock);
    m_instantWaitTimeouts = on;
}

std::vector<std::chrono::milliseconds> ManualClock::Sleeps() const {
    std::lock_guard guard(m_lock);
    return m_sleeps;
}

std::vector<std::chrono::milliseconds> ManualClock::WaitTimeouts() const {
    std::lock_guard guard(m_lock);
    return m_waitTimeouts;
}

}  // namespace platform
