#include "platform/thread.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "platform/clock.h"
#include "platform/stop_token.h"

namespace platform {

namespace {

// A thread still held when its owner goes away is asked to stop and given
// this long before it counts as overrunning.
constexpr std::chrono::milliseconds kDestructorStopBound{100};

// The kernel limits thread names to 15 characters.
constexpr std::size_t kMaxThreadName = 15;

}  // namespace

Thread::~Thread() {
    Stop(kDestructorStopBound);
}

bool Thread::Start(std::function<std::uint32_t()> body, std::string name) {
    if (m_thread.joinable() || !body) {
        return false;
    }
    m_stop = std::stop_source();
    m_name = std::move(name);
    {
        std::lock_guard guard(m_lock);
        m_running = true;
        m_exitCode.reset();
    }
    try {
        m_thread = std::thread([this, body = std::move(body), token = m_stop.get_token()] {
            SetCurrentStopToken(token);
            if (!m_name.empty()) {
                pthread_setname_np(pthread_self(), m_name.substr(0, kMaxThreadName).c_str());
            }
            Run(body);
        });
    } catch (const std::system_error&) {
        std::lock_guard guard(m_lock);
        m_running = false;
        return false;
    }
    return true;
}

void Thread::Run(const std::function<std::uint32_t()>& body) {
    const std::uint32_t code = body();
    std::lock_guard guard(m_lock);
    // A stopper that gave up on this thread has already recorded 31; that
    // stays its exit code.
    if (!m_exitCode) {
        m_exitCode = code;
    }
    m_running = false;
    m_ended.notify_all();
}

bool Thread::Running() const {
    std::lock_guard guard(m_lock);
    return m_running;
}

bool Thread::Joinable() const {
    return m_thread.joinable();
}

void Thread::RequestStop() {
    m_stop.request_stop();
}

bool Thread::WaitEnded(std::chrono::milliseconds bound) {
    std::unique_lock guard(m_lock);
    const auto ended = [this] { return !m_running; };
    if (bound < std::chrono::milliseconds::zero() || bound > kLongestTimedWait) {
        m_ended.wait(guard, ended);
        return true;
    }
    return m_ended.wait_for(guard, bound, ended);
}

StopOutcome Thread::Stop(std::chrono::milliseconds bound) {
    if (!m_thread.joinable()) {
        return StopOutcome::NoThread;
    }
    RequestStop();
    const bool ended = WaitEnded(bound);
    if (!ended) {
        {
            std::lock_guard guard(m_lock);
            m_exitCode = kTerminatedExitCode;
        }
        std::fprintf(stderr,
                     "kestrune: thread \"%s\" did not end within %lld ms; exit code %u recorded, "
                     "waiting for it to end\n",
                     m_name.c_str(), static_cast<long long>(bound.count()), kTerminatedExitCode);
    }
    m_thread.join();
    return ended ? StopOutcome::Ended : StopOutcome::Terminated;
}

std::optional<std::uint32_t> Thread::ExitCode() const {
    std::lock_guard guard(m_lock);
    return m_exitCode;
}

std::stop_token Thread::StopToken() const {
    return m_stop.get_token();
}

std::uint32_t CurrentThreadId() {
    return static_cast<std::uint32_t>(::gettid());
}

}  // namespace platform
