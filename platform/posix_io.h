#pragma once

#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

// The program's one way of holding a file descriptor and of moving bytes
// through one. Every loop here restarts a call that a signal interrupted
// (EINTR) and goes on after a short read or write, so callers never write
// those loops again.
namespace platform {

// Owns one file descriptor and closes it when it goes; move-only. -1 means
// "none".
class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : m_fd(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.m_fd, -1));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const noexcept { return m_fd; }
    bool Valid() const noexcept { return m_fd >= 0; }
    explicit operator bool() const noexcept { return Valid(); }

    // Gives the descriptor up without closing it.
    int Release() noexcept { return std::exchange(m_fd, -1); }
    // Closes the descriptor held (if any) and holds `fd` instead.
    void Reset(int fd = -1) noexcept;
    // Closes the descriptor and reports whether close succeeded; the
    // descriptor is released whatever close says (closing it again could
    // close one opened meanwhile elsewhere). True when none was held.
    bool Close() noexcept;

private:
    int m_fd = -1;
};

// Reads until `buffer` is full or the file ends. Returns the count read
// (less than the buffer only at the end), or -1 with errno set on an error.
ssize_t ReadFull(int fd, std::span<std::uint8_t> buffer) noexcept;
ssize_t ReadFull(int fd, void* buffer, std::size_t size) noexcept;
// As ReadFull, from `offset` on (pread; the file position is not used).
ssize_t ReadFullAt(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset) noexcept;
ssize_t ReadFullAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) noexcept;

// True when exactly buffer.size() bytes were read; false on an error or an
// early end of the file.
bool ReadExactly(int fd, std::span<std::uint8_t> buffer) noexcept;
bool ReadExactly(int fd, void* buffer, std::size_t size) noexcept;
bool ReadExactlyAt(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset) noexcept;
bool ReadExactlyAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) noexcept;

// Writes every byte. False on an error, or when the system takes nothing
// (a full disk reports that as a write of 0 bytes on some file systems).
bool WriteAll(int fd, std::span<const std::uint8_t> bytes) noexcept;
bool WriteAll(int fd, std::string_view bytes) noexcept;
bool WriteAll(int fd, const void* data, std::size_t size) noexcept;
// As WriteAll, from `offset` on (pwrite; the file position is not used).
bool WriteAllAt(int fd, std::span<const std::uint8_t> bytes, std::uint64_t offset) noexcept;
bool WriteAllAt(int fd, std::string_view bytes, std::uint64_t offset) noexcept;
bool WriteAllAt(int fd, const void* data, std::size_t size, std::uint64_t offset) noexcept;
// Writes the whole of every part, in order, with as few calls as the system
// allows (writev). The parts are used up: on return their lengths say
// nothing any more.
bool WriteAllVectors(int fd, std::span<iovec> parts) noexcept;

// openat(2) restarted when a signal interrupts it; `folder` may be
// AT_FDCWD. The descriptor, or -1 with errno set.
int OpenAt(int folder, const char* path, int flags, mode_t mode = 0) noexcept;

// One iovec part over bytes that writev only reads.
inline iovec WritePart(std::span<const std::uint8_t> bytes) noexcept {
    return {const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
}

}  // namespace platform
