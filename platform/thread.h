#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

namespace platform {

// The exit code recorded for a thread that did not end within its stopper's
// bound.
inline constexpr std::uint32_t kTerminatedExitCode = 31;

enum class StopOutcome {
    NoThread,    // nothing was started, or it was already joined
    Ended,       // the thread ended within the bound
    Terminated,  // it overran the bound: exit code 31 recorded, then joined
};

// A thread of the program. Each one has its own stop token, installed as the
// thread's CurrentStopToken(), which every platform wait and sleep watches.
//
// Stopping follows one pattern: ask the thread to stop, give it a bounded
// time to end, and if it overruns, report it and record exit code 31. A
// thread cannot be killed safely, so the stopper then still joins it: the
// objects the thread uses are never freed under it.
//
// Start and Stop are called by one owning thread at a time, never by the
// thread itself. Requested stack sizes and priorities have no counterpart.
class Thread {
public:
    Thread() = default;
    ~Thread();  // stops a thread that is still held, with a short bound
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts body on a new thread; its return value becomes the exit code.
    // Returns false when a thread is still held (Joinable) or none could be
    // created. The name (up to 15 characters) shows in debuggers.
    bool Start(std::function<std::uint32_t()> body, std::string name = {});

    // The body has not returned yet.
    bool Running() const;
    // A thread was started and not yet joined by Stop.
    bool Joinable() const;

    // Asks the thread to stop; its waits and sleeps return at once.
    void RequestStop();

    // Asks, waits up to bound (kInfinite: no limit) for the thread to end, and
    // joins it. A thread that overran is logged, gets exit code 31 and is
    // joined all the same.
    StopOutcome Stop(std::chrono::milliseconds bound);

    // The exit code once the thread has ended (or 31 once it overran a
    // stop); nothing while it runs or before it started.
    std::optional<std::uint32_t> ExitCode() const;

    std::stop_token StopToken() const;

private:
    void Run(const std::function<std::uint32_t()>& body);
    bool WaitEnded(std::chrono::milliseconds bound);

    std::thread m_thread;
    std::stop_source m_stop{std::nostopstate};
    std::string m_name;

    mutable std::mutex m_lock;
    std::condition_variable m_ended;
    bool m_running = false;
    std::optional<std::uint32_t> m_exitCode;
};

// The kernel's id of the calling thread.
std::uint32_t CurrentThreadId();

}  // namespace platform
