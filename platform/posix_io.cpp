#include "platform/posix_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <limits>

namespace platform {

namespace {

// pread and pwrite take a signed offset; an offset beyond it cannot be
// reached and is refused instead of wrapping.
bool OffsetFits(std::uint64_t offset, std::size_t size) {
    constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    return offset <= kMaxOffset && size <= kMaxOffset - offset;
}

// The one read loop: `readOnce(data, size, done)` is read or pread.
template <class ReadOnce>
ssize_t ReadLoop(std::uint8_t* data, std::size_t size, ReadOnce readOnce) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = readOnce(data + done, size - done, done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;  // the end of the file
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

template <class WriteOnce>
bool WriteLoop(const std::uint8_t* data, std::size_t size, WriteOnce writeOnce) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = writeOnce(data + done, size - done, done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            errno = EIO;  // no progress; trying again would spin
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

void UniqueFd::Reset(int fd) noexcept {
    const int old = std::exchange(m_fd, fd);
    if (old >= 0 && old != fd) {
        ::close(old);
    }
}

bool UniqueFd::Close() noexcept {
    if (m_fd < 0) {
        return true;
    }
    // EINTR from close still releases the descriptor on Linux.
    return ::close(std::exchange(m_fd, -1)) == 0 || errno == EINTR;
}

ssize_t ReadFull(int fd, void* buffer, std::size_t size) noexcept {
    return ReadLoop(
        static_cast<std::uint8_t*>(buffer), size,
        [fd](std::uint8_t* at, std::size_t left, std::size_t) { return ::read(fd, at, left); });
}

ssize_t ReadFull(int fd, std::span<std::uint8_t> buffer) noexcept {
    return ReadFull(fd, buffer.data(), buffer.size());
}

ssize_t ReadFullAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) noexcept {
    if (!OffsetFits(offset, size)) {
        errno = EOVERFLOW;
        return -1;
    }
    return ReadLoop(static_cast<std::uint8_t*>(buffer), size,
                    [fd, offset](std::uint8_t* at, std::size_t left, std::size_t done) {
                        return ::pread(fd, at, left, static_cast<off_t>(offset + done));
                    });
}

ssize_t ReadFullAt(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset) noexcept {
    return ReadFullAt(fd, buffer.data(), buffer.size(), offset);
}

bool ReadExactly(int fd, void* buffer, std::size_t size) noexcept {
    const ssize_t got = ReadFull(fd, buffer, size);
    return got >= 0 && static_cast<std::size_t>(got) == size;
}

bool ReadExactly(int fd, std::span<std::uint8_t> buffer) noexcept {
    return ReadExactly(fd, buffer.data(), buffer.size());
}

bool ReadExactlyAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) noexcept {
    const ssize_t got = ReadFullAt(fd, buffer, size, offset);
    return got >= 0 && static_cast<std::size_t>(got) == size;
}

bool ReadExactlyAt(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset) noexcept {
    return ReadExactlyAt(fd, buffer.data(), buffer.size(), offset);
}

bool WriteAll(int fd, const void* data, std::size_t size) noexcept {
    return WriteLoop(static_cast<const std::uint8_t*>(data), size,
                     [fd](const std::uint8_t* at, std::size_t left, std::size_t) {
                         return ::write(fd, at, left);
                     });
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) noexcept {
    return WriteAll(fd, bytes.data(), bytes.size());
}

bool WriteAll(int fd, std::string_view bytes) noexcept {
    return WriteAll(fd, bytes.data(), bytes.size());
}

bool WriteAllAt(int fd, const void* data, std::size_t size, std::uint64_t offset) noexcept {
    if (!OffsetFits(offset, size)) {
        errno = EOVERFLOW;
        return false;
    }
    return WriteLoop(static_cast<const std::uint8_t*>(data), size,
                     [fd, offset](const std::uint8_t* at, std::size_t left, std::size_t done) {
                         return ::pwrite(fd, at, left, static_cast<off_t>(offset + done));
                     });
}

bool WriteAllAt(int fd, std::span<const std::uint8_t> bytes, std::uint64_t offset) noexcept {
    return WriteAllAt(fd, bytes.data(), bytes.size(), offset);
}

bool WriteAllAt(int fd, std::string_view bytes, std::uint64_t offset) noexcept {
    return WriteAllAt(fd, bytes.data(), bytes.size(), offset);
}

int OpenAt(int folder, const char* path, int flags, mode_t mode) noexcept {
    int fd = -1;
    do {
        fd = ::openat(folder, path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool WriteAllVectors(int fd, std::span<iovec> parts) noexcept {
    std::size_t first = 0;
    while (first < parts.size()) {
        if (parts[first].iov_len == 0) {
            ++first;
            continue;
        }
        const std::size_t count = std::min<std::size_t>(parts.size() - first, IOV_MAX);
        const ssize_t n = ::writev(fd, parts.data() + first, static_cast<int>(count));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        auto left = static_cast<std::size_t>(n);
        while (first < parts.size() && left >= parts[first].iov_len) {
            left -= parts[first].iov_len;
            ++first;
        }
        if (first < parts.size()) {
            parts[first].iov_base = static_cast<std::uint8_t*>(parts[first].iov_base) + left;
            parts[first].iov_len -= left;
        }
    }
    return true;
}

}  // namespace platform
