#include "media/frame_timer.h"

#include <chrono>

#include "core/state/device_family.h"
#include "platform/clock.h"

namespace {

// How long Stop waits for the timer thread; its sleep ends at once on the
// stop request, so this bound is never reached in practice.
constexpr std::chrono::milliseconds kTimerStopBound{1000};

}  // namespace

CFrameTimer::~CFrameTimer() {
    Stop();
}

int CFrameTimer::Init() {
    // The timer sleeps on the steady clock, which has no coarser minimum
    // period to raise: the finest period the pacing asks for is used as is.
    m_wPeriod = 1;
    return 1;
}

int CFrameTimer::Start(std::string_view productId) {
    if (IsDvrFamilyId(productId) || productId == "Q3A2")
        m_fEnabled = false;
    if (!m_fEnabled || m_timer.Joinable())
        return 1;
    m_tickEvent.Reset();
    m_timer.Start([this] { return RunTimer(); }, "frame-timer");
    return 1;
}

int CFrameTimer::Stop() {
    m_timer.Stop(kTimerStopBound);
    m_tickEvent.Reset();
    return 1;
}

int CFrameTimer::WaitTick() {
    if (!m_fEnabled)
        return -1;
    return m_tickEvent.Wait(std::chrono::milliseconds(kTickWaitMs)) ==
                   platform::WaitResult::Signaled
               ? 0
               : 1;
}

std::uint32_t CFrameTimer::RunTimer() {
    // Sleep ends early only when Stop asks the thread to end.
    while (platform::Sleep(std::chrono::milliseconds(m_wPeriod))) {
        m_tickEvent.Set();
    }
    return 0;
}
