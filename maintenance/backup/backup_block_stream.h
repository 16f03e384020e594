#pragma once

// The reply stream of a backup download: from its first byte a sequence of
// blocks, each an 8-byte header {u32 length, u32 type} (little-endian) and,
// for data blocks only, `length` bytes of recorded data. The stream has no
// HTTP header of its own.
//
// The reader never trusts the stream: a data block longer than its buffer is
// refused (never copied past it), and a run of headers of unknown types is
// bounded, so that an HTTP error page or other bytes that are not blocks end
// the download as a failure instead of being read as headers forever.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace maintenance {

inline constexpr std::size_t kBackupBlockHeaderBytes = 8;
inline constexpr std::size_t kBackupBlockPayloadBytes = 2048;

enum BackupBlockType : std::uint32_t {
    kBackupBlockEnd = 1,
    kBackupBlockData = 3,
    kBackupBlockBusy = 6,
};

// Headers of unknown types in a row that are skipped; one more is a failure.
inline constexpr int kMaxUnknownBlockRun = 16;

struct BackupBlockHeader {
    std::uint32_t length = 0;
    std::uint32_t type = 0;
};

BackupBlockHeader ParseBackupBlockHeader(
    std::span<const std::uint8_t, kBackupBlockHeaderBytes> bytes);

// Reads at most buffer.size() bytes: the count read (> 0), or 0 or less when
// the read failed, timed out or the connection closed.
using BackupByteSource = std::function<int(std::span<std::uint8_t> buffer)>;

enum class BackupBlockKind {
    kData,        // payload() holds the block's bytes
    kEnd,         // the device finished the backup
    kBusy,        // the device is busy
    kReadFailed,  // the stream failed, timed out or ended inside a block
    kTooLong,     // a data block longer than kBackupBlockPayloadBytes
    kGarbage,     // more than kMaxUnknownBlockRun unknown headers in a row
    kCancelled,   // the cancel check said so (before or after a header)
};

// Bytes are taken from the source in reads of up to kBackupReadAheadBytes,
// so that a stream of small blocks costs a few reads per many blocks.
inline constexpr std::size_t kBackupReadAheadBytes = 64 * 1024;

class BackupBlockReader {
public:
    explicit BackupBlockReader(BackupByteSource source,
                               std::size_t readAhead = kBackupReadAheadBytes);

    // Reads up to the next block that matters, skipping headers of unknown
    // types (their length is not read as a payload). `cancelled` is asked
    // before every header and after it; it may be empty.
    BackupBlockKind Next(const std::function<bool()>& cancelled = {});

    // The payload of the last kData block; valid until the next call. It is
    // handed out where it lies in the read-ahead buffer, and copied only when
    // the block straddles two reads.
    std::span<const std::uint8_t> Payload() const { return m_payloadView; }
    // Every byte taken from the source so far.
    std::uint64_t BytesRead() const { return m_bytesRead; }

private:
    bool ReadExactly(std::span<std::uint8_t> buffer);

    BackupByteSource m_source;
    std::vector<std::uint8_t> m_readAhead;
    std::size_t m_begin = 0;  // the unread bytes of m_readAhead: [m_begin, m_end)
    std::size_t m_end = 0;
    std::array<std::uint8_t, kBackupBlockPayloadBytes> m_payload{};  // a straddling block
    std::span<const std::uint8_t> m_payloadView;
    std::uint64_t m_bytesRead = 0;
};

}  // namespace maintenance
