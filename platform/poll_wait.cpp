#include "platform/poll_wait.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/clock.h"

namespace platform {

namespace {

// Polls once without waiting; restarts after a signal.
int LookOnce(std::span<pollfd> fds) {
    int ready = 0;
    do {
        ready = ::poll(fds.data(), fds.size(), 0);
    } while (ready < 0 && errno == EINTR);
    return ready;
}

// Most waits watch one or two descriptors; those need no allocation.
constexpr std::size_t kInlineFds = 8;

}  // namespace

void SignalEventFd(int fd) noexcept {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(fd, &one, sizeof one);
}

void DrainEventFd(int fd) noexcept {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t ignored = ::read(fd, &count, sizeof count);
}

WakeFd::WakeFd() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!m_fd) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

PollWaitResult PollWait(std::span<pollfd> fds, int wakeFd, std::stop_token token,
                        std::chrono::milliseconds timeout, WaitClock clock) {
    if (token.stop_requested()) {
        return PollWaitResult::Stopped;
    }
    const bool endless = timeout < std::chrono::milliseconds::zero() || timeout > kLongestTimedWait;
    if (clock == WaitClock::kClockSource) {
        // A clock source with instant time-outs ends the wait only when
        // nothing is ready now.
        if (const int ready = LookOnce(fds); ready != 0) {
            return ready > 0 ? PollWaitResult::Ready : PollWaitResult::Failed;
        }
        if (timeout == std::chrono::milliseconds::zero()) {
            return PollWaitResult::TimedOut;
        }
        if (!endless && CurrentClockSource().ElapseWaitTimeout(timeout)) {
            return token.stop_requested() ? PollWaitResult::Stopped : PollWaitResult::TimedOut;
        }
    }

    // A wait that can be stopped needs a descriptor the stop callback can
    // signal; a temporary one only ever carries a stop request.
    std::optional<WakeFd> temporary;
    if (wakeFd < 0 && token.stop_possible()) {
        try {
            temporary.emplace();
        } catch (const std::system_error&) {
            return PollWaitResult::Failed;
        }
        wakeFd = temporary->Get();
    }
    std::stop_callback signalOnStop(token, [wakeFd] {
        if (wakeFd >= 0) {
            SignalEventFd(wakeFd);
        }
    });

    std::array<pollfd, kInlineFds + 1> inlineAll{};
    std::vector<pollfd> heapAll;
    std::span<pollfd> all;
    if (fds.size() <= kInlineFds) {
        all = std::span(inlineAll).first(fds.size() + 1);
    } else {
        heapAll.resize(fds.size() + 1);
        all = heapAll;
    }
    pollfd& wake = all.back();

    const auto deadline =
        std::chrono::steady_clock::now() + (endless ? std::chrono::milliseconds::zero() : timeout);
    for (;;) {
        if (token.stop_requested()) {
            return PollWaitResult::Stopped;
        }
        int waitMs = -1;
        if (!endless) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            waitMs = static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
        }
        std::copy(fds.begin(), fds.end(), all.begin());
        wake = {wakeFd, POLLIN, 0};  // poll ignores a negative descriptor
        for (pollfd& p : all) {
            p.revents = 0;
        }
        const int ready = ::poll(all.data(), all.size(), waitMs);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return PollWaitResult::Failed;
        }
        if (token.stop_requested()) {
            return PollWaitResult::Stopped;
        }
        const bool callerReady =
            std::any_of(all.begin(), all.end() - 1, [](const pollfd& p) { return p.revents != 0; });
        if (callerReady) {
            for (std::size_t i = 0; i < fds.size(); ++i) {
                fds[i].revents = all[i].revents;
            }
            return PollWaitResult::Ready;
        }
        if (wake.revents != 0) {
            if (temporary) {
                continue;  // only a stop request writes it; reported at the top
            }
            return PollWaitResult::Woken;
        }
        if (ready == 0 && !endless && std::chrono::steady_clock::now() >= deadline) {
            return PollWaitResult::TimedOut;
        }
    }
}

}  // namespace platform
