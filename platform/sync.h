#pragma once

#include <chrono>
#include <initializer_list>
#include <mutex>
#include <span>
#include <vector>

namespace platform {

// A time-out meaning "no limit".
inline constexpr std::chrono::milliseconds kInfinite{-1};

// WaitForAny's results besides an object's index.
inline constexpr int kWaitTimeout = -1;
inline constexpr int kWaitStopped = -2;

enum class WaitResult { Signaled, Timeout, Stopped };

// Something a thread can wait for: an Event or a Semaphore.
//
// Every wait watches the calling thread's stop token (CurrentStopToken()):
// once the thread is asked to stop, waits return Stopped at once and consume
// nothing, even when an object is signalled. That is how a stopper wakes a
// thread wherever it waits.
//
// An object must outlive every wait on it; destroy it only after the threads
// that use it have ended.
class Waitable {
public:
    Waitable() = default;
    virtual ~Waitable() = default;
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;

    WaitResult Wait(std::chrono::milliseconds timeout = kInfinite);

protected:
    // Takes the signal if there is one (auto-reset events clear, semaphores
    // count down). Called with m_lock held.
    virtual bool TryAcquireLocked() = 0;
    // Wakes every thread waiting on this object; each one re-checks. Called
    // with m_lock held.
    void WakeWaitersLocked();

    mutable std::mutex m_lock;

private:
    struct Waiter;
    friend int WaitForAny(std::span<Waitable* const>, std::chrono::milliseconds);

    bool TryAcquire();
    void AddWaiter(Waiter* waiter);
    void RemoveWaiter(Waiter* waiter);

    std::vector<Waiter*> m_waiters;  // threads blocked on this object right now
};

class Event final : public Waitable {
public:
    // A manual-reset event stays signalled until Reset and releases every
    // waiter; an auto-reset event releases one waiter and clears itself.
    Event(bool manualReset, bool initialState);

    void Set();
    void Reset();
    bool IsSet() const;

private:
    bool TryAcquireLocked() override;

    const bool m_manualReset;
    bool m_state;
};

class Semaphore final : public Waitable {
public:
    // Throws std::invalid_argument unless 0 <= initialCount <= maximumCount
    // and maximumCount > 0.
    Semaphore(long initialCount, long maximumCount);

    // Adds count (> 0). Returns false and changes nothing when count is not
    // positive or the result would exceed the maximum. On success *previous
    // receives the count before the release.
    bool Release(long count = 1, long* previous = nullptr);
    long Count() const;

private:
    bool TryAcquireLocked() override;

    long m_count;
    const long m_maximum;
};

// Waits until one of the objects is signalled and returns the lowest index
// among the signalled ones, consuming that object's signal only. Returns
// kWaitTimeout when the time-out passes and kWaitStopped when the calling
// thread is asked to stop. Throws std::invalid_argument for an empty list or
// a null object.
int WaitForAny(std::span<Waitable* const> objects, std::chrono::milliseconds timeout);
inline int WaitForAny(std::initializer_list<Waitable*> objects, std::chrono::milliseconds timeout) {
    return WaitForAny(std::span<Waitable* const>(objects.begin(), objects.size()), timeout);
}

}  // namespace platform
