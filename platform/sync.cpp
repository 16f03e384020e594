#include "platform/sync.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <stop_token>

#include "platform/clock.h"
#include "platform/stop_token.h"

namespace platform {

// One blocked thread. It registers with every object it waits for; an object
// that becomes signalled marks it woken, and the thread then tries the
// objects again in order. The mark is one futex word, so that a wake-up is
// an atomic exchange plus, only when the thread really sleeps, one wake
// call: no lock, no condition variable. Lock order: object only.
//
// The word's states: idle (the thread is trying the objects), woken (some
// object was signalled, or the thread was asked to stop, since the thread
// last cleared it), sleeping (the thread is about to block or blocks on the
// word). The thread goes from idle to sleeping only by a compare-exchange,
// so a wake that comes after the objects were tried is never missed.
struct Waitable::Waiter {
    static constexpr std::uint32_t kIdle = 0;
    static constexpr std::uint32_t kWoken = 1;
    static constexpr std::uint32_t kSleeping = 2;
    std::atomic<std::uint32_t> state{kIdle};

    void Wake() {
        if (state.exchange(kWoken) == kSleeping) {
            FutexWake();
        }
    }
    void FutexWake() {
        ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&state), FUTEX_WAKE_PRIVATE, 1,
                  nullptr, nullptr, 0);
    }
    // Blocks while the word says sleeping, at most `timeout` (none: no
    // limit). Spurious returns are fine: the caller re-checks.
    void FutexWait(const timespec* timeout) {
        ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&state), FUTEX_WAIT_PRIVATE,
                  kSleeping, timeout, nullptr, 0);
    }
};
static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
                  std::atomic<std::uint32_t>::is_always_lock_free,
              "the futex word is a plain 32-bit word");

bool Waitable::TryAcquire() {
    std::lock_guard guard(m_lock);
    return TryAcquireLocked();
}

void Waitable::AddWaiter(Waiter* waiter) {
    std::lock_guard guard(m_lock);
    m_waiters.push_back(waiter);
}

void Waitable::RemoveWaiter(Waiter* waiter) {
    std::lock_guard guard(m_lock);
    std::erase(m_waiters, waiter);
}

void Waitable::WakeWaitersLocked() {
    // Every waiter is woken, not just one: a thread waiting on several objects
    // may take another object's signal instead, and the signal must not be
    // lost for the others. The waiter cannot go away meanwhile, because
    // unregistering needs m_lock, which the caller holds.
    for (Waiter* waiter : m_waiters) {
        waiter->Wake();
    }
}

WaitResult Waitable::Wait(std::chrono::milliseconds timeout) {
    Waitable* self = this;
    switch (WaitForAny(std::span<Waitable* const>(&self, 1), timeout)) {
        case 0:
            return WaitResult::Signaled;
        case kWaitStopped:
            return WaitResult::Stopped;
        default:
            return WaitResult::Timeout;
    }
}

int WaitForAny(std::span<Waitable* const> objects, std::chrono::milliseconds timeout) {
    if (objects.empty() || std::ranges::find(objects, nullptr) != objects.end()) {
        throw std::invalid_argument("WaitForAny needs at least one object and no null object");
    }
    // The index of the first object whose signal could be taken, or -1.
    const auto tryAll = [&objects] {
        for (std::size_t i = 0; i < objects.size(); ++i) {
            if (objects[i]->TryAcquire()) {
                return static_cast<int>(i);
            }
        }
        return -1;
    };

    const std::stop_token token = CurrentStopToken();
    if (token.stop_requested()) {
        return kWaitStopped;
    }
    if (const int index = tryAll(); index >= 0) {
        return index;
    }
    if (timeout == std::chrono::milliseconds::zero()) {
        return kWaitTimeout;
    }
    const bool endless = timeout < std::chrono::milliseconds::zero() || timeout > kLongestTimedWait;
    if (!endless && CurrentClockSource().ElapseWaitTimeout(timeout)) {
        return token.stop_requested() ? kWaitStopped : kWaitTimeout;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + (endless ? std::chrono::milliseconds::zero() : timeout);

    // One waiter per thread, reused: a thread waits in one place at a time.
    thread_local Waitable::Waiter waiter;
    // Armed before registering, so that no object keeps a pointer to the
    // waiter whichever way this function is left.
    struct Unregister {
        std::span<Waitable* const> objects;
        Waitable::Waiter* waiter;
        ~Unregister() {
            for (Waitable* object : objects) {
                object->RemoveWaiter(waiter);
            }
        }
    } unregister{objects, &waiter};
    for (Waitable* object : objects) {
        object->AddWaiter(&waiter);
    }
    // A stop request wakes the thread like a signal; the check after each
    // wake-up then reports it. The callback runs on the stopping thread, so
    // it takes this thread's waiter by address.
    Waitable::Waiter* const self = &waiter;
    const std::stop_callback wakeOnStop(token, [self] { self->Wake(); });

    for (;;) {
        // Clear the mark before trying the objects: a signal that comes after
        // an object was tried then still ends the wait below.
        waiter.state.store(Waitable::Waiter::kIdle);
        if (token.stop_requested()) {
            return kWaitStopped;
        }
        if (const int index = tryAll(); index >= 0) {
            return index;
        }
        std::optional<timespec> remaining;
        if (!endless) {
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::steady_clock::duration::zero()) {
                return kWaitTimeout;
            }
            const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
            remaining =
                timespec{static_cast<time_t>(seconds.count()),
                         static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
        }
        std::uint32_t idle = Waitable::Waiter::kIdle;
        if (waiter.state.compare_exchange_strong(idle, Waitable::Waiter::kSleeping)) {
            waiter.FutexWait(remaining ? &*remaining : nullptr);
        }
        // Woken, timed out or returned early: the loop tries again and
        // checks the stop request and the deadline.
    }
}

Event::Event(bool manualReset, bool initialState)
    : m_manualReset(manualReset), m_state(initialState) {}

void Event::Set() {
    std::lock_guard guard(m_lock);
    m_state = true;
    WakeWaitersLocked();
}

void Event::Reset() {
    std::lock_guard guard(m_lock);
    m_state = false;
}

bool Event::IsSet() const {
    std::lock_guard guard(m_lock);
    return m_state;
}

bool Event::TryAcquireLocked() {
    if (!m_state) {
        return false;
    }
    if (!m_manualReset) {
        m_state = false;
    }
    return true;
}

Semaphore::Semaphore(long initialCount, long maximumCount)
    : m_count(initialCount), m_maximum(maximumCount) {
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        throw std::invalid_argument("semaphore counts out of range");
    }
}

bool Semaphore::Release(long count, long* previous) {
    std::lock_guard guard(m_lock);
    // Written as a subtraction so that a huge count cannot overflow.
    if (count <= 0 || count > m_maximum - m_count) {
        return false;
    }
    if (previous != nullptr) {
        *previous = m_count;
    }
    m_count += count;
    WakeWaitersLocked();
    return true;
}

long Semaphore::Count() const {
    std::lock_guard guard(m_lock);
    return m_count;
}

bool Semaphore::TryAcquireLocked() {
    if (m_count == 0) {
        return false;
    }
    --m_count;
    return true;
}

}  // namespace platform
