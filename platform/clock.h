#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <vector>

namespace platform {

// Waits and sleeps longer than this are taken as endless, so that deadline
// arithmetic on the steady clock (in nanoseconds) cannot overflow.
inline constexpr std::chrono::milliseconds kLongestTimedWait = std::chrono::hours(24 * 365 * 100);

// Where the program's ticks and sleeps come from. The real source is the
// steady clock; tests install a ManualClock so that pauses of many seconds
// pass at once.
class ClockSource {
public:
    virtual ~ClockSource();

    // Milliseconds since an arbitrary fixed start.
    virtual std::uint64_t NowMs() = 0;

    // Sleeps d (a negative d: until stopped). Returns false when the token was
    // stopped before the time passed; a zero sleep yields.
    virtual bool SleepFor(std::chrono::milliseconds d, std::stop_token token) = 0;

    // Called by a timed wait that found nothing signalled. A source that lets
    // the time-out elapse at once (returning true) makes the wait report a
    // time-out without blocking; the default waits in real time.
    virtual bool ElapseWaitTimeout(std::chrono::milliseconds timeout);
};

// Installs a source (nullptr = the real steady clock) and returns the
// previous one (nullptr when the real clock was in use). The caller keeps the
// source alive while it is installed.
ClockSource* SetClockSource(ClockSource* source);

// The source in use now (never null).
ClockSource& CurrentClockSource();

// Milliseconds, wrapping every 49.7 days like the system tick count.
std::uint32_t TickCount();
std::uint64_t TickCount64();

// Sleeps on the current clock source, watching the calling thread's stop
// token. Returns false when the thread was asked to stop before the time
// passed. Sleep(0) only yields.
bool Sleep(std::chrono::milliseconds d);

// A clock for tests: time moves only when asked. A sleep advances the time by
// its length at once and is recorded, so code that pauses 60 s runs in
// microseconds and the test can see which pauses it asked for.
class ManualClock final : public ClockSource {
public:
    explicit ManualClock(std::uint64_t startMs = 0) : m_now(startMs) {}

    std::uint64_t NowMs() override;
    bool SleepFor(std::chrono::milliseconds d, std::stop_token token) override;
    bool ElapseWaitTimeout(std::chrono::milliseconds timeout) override;

    void Advance(std::chrono::milliseconds d);

    // When on, timed waits that find nothing signalled time out at once and
    // advance this clock by their time-out (recorded in WaitTimeouts()). Off
    // by default: waits then run in real time, so a test can still rely on
    // another thread answering within a wait.
    void SetInstantWaitTimeouts(bool on);

    std::vector<std::chrono::milliseconds> Sleeps() const;
    std::vector<std::chrono::milliseconds> WaitTimeouts() const;

private:
    mutable std::mutex m_lock;
    std::uint64_t m_now;
    bool m_instantWaitTimeouts = false;
    std::vector<std::chrono::milliseconds> m_sleeps;
    std::vector<std::chrono::milliseconds> m_waitTimeouts;
};

// Installs a clock source for its lifetime and restores the previous one.
class ScopedClockSource {
public:
    explicit ScopedClockSource(ClockSource& source) : m_previous(SetClockSource(&source)) {}
    ~ScopedClockSource() { SetClockSource(m_previous); }
    ScopedClockSource(const ScopedClockSource&) = delete;
    ScopedClockSource& operator=(const ScopedClockSource&) = delete;

private:
    ClockSource* m_previous;
};

}  // namespace platform
