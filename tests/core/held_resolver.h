#pragma once

// A name resolver for tests that holds every lookup until the test releases
// it, as a resolver waiting for an unreachable name server would. A lookup
// still held after a generous bound answers anyway, so that a thread stuck in
// it ends and a failing test does not hang.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/net/blocking_socket.h"

namespace core_test {

class HeldResolver {
public:
    static constexpr std::chrono::seconds kLongestHold{20};
    static constexpr std::uint32_t kAnswer = 0x7F000001;  // 127.0.0.1

    // Installs the resolver; the destructor releases every lookup, waits for
    // them to end and puts the previous resolver back.
    HeldResolver() : m_previous(SetHostResolver(Resolver(m_state))) {}
    ~HeldResolver() {
        Release();
        WaitForNameLookups(kLongestHold);
        SetHostResolver(m_previous);
    }
    HeldResolver(const HeldResolver&) = delete;
    HeldResolver& operator=(const HeldResolver&) = delete;

    // Waits until `count` lookups have reached the resolver.
    bool WaitEntered(int count, std::chrono::milliseconds bound = std::chrono::seconds(30)) {
        std::unique_lock guard(m_state->lock);
        return m_state->changed.wait_for(guard, bound, [&] { return m_state->entered >= count; });
    }

    void Release() {
        std::lock_guard guard(m_state->lock);
        m_state->released = true;
        m_state->changed.notify_all();
    }

private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        int entered = 0;
        bool released = false;
    };

    static HostResolver Resolver(std::shared_ptr<State> state) {
        return [state](const std::string&, std::uint32_t& hostOrderIp) {
            std::unique_lock guard(state->lock);
            ++state->entered;
            state->changed.notify_all();
            state->changed.wait_for(guard, kLongestHold, [&] { return state->released; });
            hostOrderIp = kAnswer;
            return 0;
        };
    }

    std::shared_ptr<State> m_state = std::make_shared<State>();
    HostResolver m_previous;
};

}  // namespace core_test
