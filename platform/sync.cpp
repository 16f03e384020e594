#include "platform/sync.h"

#include <algorithm>
#include <condition_variable>
#include <stdexcept>
#include <stop_token>

#include "platform/clock.h"
#include "platform/stop_token.h"

namespace platform {

// One blocked thread. It registers with every object it waits for; an object
// that becomes signalled marks it woken, and the thread then tries the
// objects again in order. Lock order: object, then waiter.
struct Waitable::Waiter {
    std::mutex lock;
    std::condition_variable_any wake;
    bool woken = false;
};

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
        {
            std::lock_guard guard(waiter->lock);
            waiter->woken = true;
        }
        waiter->wake.notify_one();
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

    // One waiter per thread, reused: a thread waits in one place at a time,
    // and a fresh condition variable would allocate on every blocking wait
    // (the stream threads wait several times per frame).
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

    for (;;) {
        // Clear the mark before trying the objects: a signal that comes after
        // an object was tried then still ends the wait below.
        {
            std::lock_guard guard(waiter.lock);
            waiter.woken = false;
        }
        if (const int index = tryAll(); index >= 0) {
            return index;
        }
        std::unique_lock guard(waiter.lock);
        const auto woken = [] { return waiter.woken; };
        const bool wasWoken = endless ? waiter.wake.wait(guard, token, woken)
                                      : waiter.wake.wait_until(guard, token, deadline, woken);
        if (token.stop_requested()) {
            return kWaitStopped;
        }
        if (!wasWoken) {
            return kWaitTimeout;
        }
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
