#pragma once

#include <poll.h>

#include <chrono>
#include <span>
#include <stop_token>

#include "platform/posix_io.h"

// The one wait on file descriptors: poll over the caller's descriptors plus a
// wake descriptor, ended by readiness, a wake-up, a stop request of the
// calling thread's token, or a time-out. A stop request writes the wake
// descriptor from a stop callback, so nothing is polled in a loop; a signal
// that interrupts poll is waited out with the time that is left.
//
// Which clock a time-out follows
// ------------------------------
// Socket waits (CBlockingSocket, the LAN search's reply socket) measure their
// time-outs on the steady clock, in real time, and never ask the injectable
// clock source (platform/clock.h). They wait for a real peer: tests install a
// clock with instant time-outs to pass the teardown's bounded waits at once,
// and a receive thread reading from the test's device must not give up
// because of that. Tests bound socket waits with short real time-outs, a stop
// request or a shutdown instead. Waits for a local endpoint whose time-out
// is the program's own pause (the player endpoint's copy-data answer) follow
// the clock source like every Event and Semaphore wait, so a test can let
// them time out at once.
namespace platform {

// Adds 1 to an eventfd counter. Never blocks; a full counter already reads as
// signalled, so a failure changes nothing.
void SignalEventFd(int fd) noexcept;
// Reads an eventfd (non-blocking) back to 0.
void DrainEventFd(int fd) noexcept;

// A non-blocking, close-on-exec eventfd to wake a PollWait.
class WakeFd {
public:
    // Throws std::system_error when the system gives no eventfd.
    WakeFd();

    int Get() const noexcept { return m_fd.Get(); }
    void Signal() const noexcept { SignalEventFd(m_fd.Get()); }
    void Drain() const noexcept { DrainEventFd(m_fd.Get()); }

private:
    UniqueFd m_fd;
};

enum class PollWaitResult {
    Ready,     // at least one of the caller's descriptors has revents set
    Woken,     // the wake descriptor was signalled (not drained) and no stop was asked
    TimedOut,  // the time-out passed with nothing ready
    Stopped,   // the token was stopped (before or during the wait)
    Failed,    // poll failed (errno set), or no wake descriptor could be made
};

enum class WaitClock {
    kSteady,       // real time, whatever clock source is installed
    kClockSource,  // asks the installed clock source before blocking
};

// Waits for `fds` (their revents are filled in on Ready). `wakeFd` is
// watched as well; -1 makes a temporary one for the wait when the token can
// be stopped. A negative `timeout` (or one beyond kLongestTimedWait) means
// no limit; zero only looks. A stop request wins over readiness.
PollWaitResult PollWait(std::span<pollfd> fds, int wakeFd, std::stop_token token,
                        std::chrono::milliseconds timeout, WaitClock clock = WaitClock::kSteady);

}  // namespace platform
