#pragma once

#include <chrono>
#include <filesystem>
#include <string_view>

#include "platform/sync.h"

namespace platform {

// A mutex shared between processes by name: an open-file-description lock
// (F_OFD_SETLK) on <runtime folder>/<name>.lock. The kernel frees it when the
// holder closes the file or dies, so a crashed holder never leaves it taken.
//
// Each NamedMutex object is its own claimant: two objects of one name exclude
// each other even within one process. An object is used by one thread at a
// time. Locking an object that already holds the mutex counts up, and the
// mutex is given back when Unlock has been called as often.
class NamedMutex {
public:
    // Pause between tries of a waiting Lock.
    static constexpr std::chrono::milliseconds kRetryInterval{20};
    static constexpr std::size_t kMaxNameBytes = 200;

    // Opens (creating when missing, mode 0600) the lock file of `name`.
    // Throws std::invalid_argument for a name that is empty, ".", "..", too
    // long or holds '/' or NUL, and std::system_error when the runtime folder
    // is refused or the file cannot be opened or is not a plain file of this
    // user.
    explicit NamedMutex(std::string_view name);
    ~NamedMutex();  // gives the mutex back if held
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // One try. True when the mutex is now held by this object.
    bool TryLock();

    // Tries until the mutex is held (Signaled), `timeout` has passed on the
    // program's clock (Timeout; a negative time-out allows a single try), or
    // the calling thread is asked to stop (Stopped). Never waits without a
    // limit.
    WaitResult Lock(std::chrono::milliseconds timeout);

    // Gives one level of ownership back; nothing when not held.
    void Unlock();

    bool IsHeld() const { return m_depth > 0; }
    const std::filesystem::path& Path() const { return m_path; }

private:
    bool SetLock(short type);

    std::filesystem::path m_path;
    int m_fd = -1;
    unsigned m_depth = 0;
};

}  // namespace platform
