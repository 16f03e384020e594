#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/clock.h"
#include "platform/runtime_folder.h"
#include "platform/stop_token.h"

namespace platform {

namespace {

bool IsValidName(std::string_view name) {
    return !name.empty() && name.size() <= NamedMutex::kMaxNameBytes && name != "." &&
           name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

}  // namespace

NamedMutex::NamedMutex(std::string_view name) {
    if (!IsValidName(name)) {
        throw std::invalid_argument("invalid mutex name");
    }
    const std::optional<std::filesystem::path> folder = RuntimeFolder();
    if (!folder) {
        throw std::system_error(EACCES, std::generic_category(), "runtime folder refused");
    }
    m_path = *folder / (std::string(name) + ".lock");
    m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        throw std::system_error(errno, std::generic_category(), "open lock file");
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(m_fd);
        throw std::system_error(EACCES, std::generic_category(), "lock file refused");
    }
}

NamedMutex::~NamedMutex() {
    // Closing the only descriptor of the open file description drops its lock.
    ::close(m_fd);
}

bool NamedMutex::SetLock(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // the whole file
    lock.l_pid = 0;  // required for open-file-description locks
    for (;;) {
        if (::fcntl(m_fd, F_OFD_SETLK, &lock) == 0) {
            return true;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EACCES) {
            return false;  // held by another open file description
        }
        throw std::system_error(errno, std::generic_category(), "lock file");
    }
}

bool NamedMutex::TryLock() {
    if (m_depth > 0) {
        ++m_depth;
        return true;
    }
    if (!SetLock(F_WRLCK)) {
        return false;
    }
    m_depth = 1;
    return true;
}

WaitResult NamedMutex::Lock(std::chrono::milliseconds timeout) {
    const std::stop_token token = CurrentStopToken();
    if (token.stop_requested()) {
        return WaitResult::Stopped;
    }
    // The usual case, a mutex nobody holds, takes one call: the clock is
    // read only when the mutex must be waited for.
    if (TryLock()) {
        return WaitResult::Signaled;
    }
    timeout = std::clamp(timeout, std::chrono::milliseconds::zero(), kLongestTimedWait);
    const std::uint64_t start = TickCount64();
    const auto limit = static_cast<std::uint64_t>(timeout.count());
    for (;;) {
        const std::uint64_t elapsed = TickCount64() - start;
        if (elapsed >= limit) {
            return WaitResult::Timeout;
        }
        const auto pause = std::min<std::uint64_t>(
            limit - elapsed, static_cast<std::uint64_t>(kRetryInterval.count()));
        if (!Sleep(std::chrono::milliseconds(pause))) {
            return WaitResult::Stopped;
        }
        if (token.stop_requested()) {
            return WaitResult::Stopped;
        }
        if (TryLock()) {
            return WaitResult::Signaled;
        }
    }
}

void NamedMutex::Unlock() {
    if (m_depth == 0) {
        return;
    }
    if (--m_depth == 0) {
        SetLock(F_UNLCK);
    }
}

}  // namespace platform
