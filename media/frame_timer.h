#pragma once

// The show thread's 1 ms pacing timer.
//
// A periodic timer sets an auto-reset tick event every period; the show
// thread waits for a tick before it shows a frame. The timer runs only while
// pacing is enabled, and nothing in the program enables it (Start turns it
// off for the DVR family and Q3A2 and never on), so WaitTick answers -1 and
// the show thread does not pace. The ticking thread sleeps on the program's
// clock source, so tests drive it with their own clock.
//
// Threads: Init, Start and Stop are called by one thread at a time (start-up,
// the GUI thread when the main window opens, shutdown); WaitTick by the show
// thread, which has ended before Stop runs.

#include <atomic>
#include <cstdint>
#include <string_view>

#include "platform/sync.h"
#include "platform/thread.h"

class CFrameTimer {
public:
    // The longest WaitTick waits for a tick.
    static constexpr std::uint32_t kTickWaitMs = 200;

    CFrameTimer() = default;
    ~CFrameTimer();
    CFrameTimer(const CFrameTimer&) = delete;
    CFrameTimer& operator=(const CFrameTimer&) = delete;

    // Sets the timer period: 1 ms, the finest the timer offers. Returns 1.
    int Init();

    // Turns pacing off for the DVR family and Q3A2; when pacing is on, starts
    // the periodic timer (a first tick one period after the start) unless it
    // runs already. Returns 1.
    int Start(std::string_view productId);

    // Ends the timer when it runs and drops a pending tick. Returns 1; safe
    // to call twice.
    int Stop();

    // 0 when a tick came within kTickWaitMs, 1 when none came; -1 at once
    // when pacing is off.
    int WaitTick();

    // Pacing is off from construction and nothing in the program turns it
    // on; tests do, to exercise the ticking path.
    void SetPacingEnabled(bool enabled) { m_fEnabled = enabled; }
    bool PacingEnabled() const { return m_fEnabled; }
    std::uint16_t Period() const { return m_wPeriod; }
    bool TimerRunning() const { return m_timer.Joinable(); }

private:
    std::uint32_t RunTimer();

    std::uint16_t m_wPeriod = 1;
    platform::Thread m_timer;  // the periodic timer; not started: none
    platform::Event m_tickEvent{false, false};
    std::atomic<bool> m_fEnabled{false};
};
